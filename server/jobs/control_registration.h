#pragma once
// Registration of the control library that lies beside the server's executable
// ("libTMVVelka.so" in the same folder, "TMVVelka.dll" on Windows), through its own
// DllRegisterServer. The server does this by itself at start-up when the control is not registered
// yet (a fresh build, a fresh user), so nobody has to register it by hand; a registration made
// otherwise is kept.
#include <string>

namespace velka::server {

#if defined(_WIN32)
inline constexpr char kControlLibraryName[] = "TMVVelka.dll";
#else
inline constexpr char kControlLibraryName[] = "libTMVVelka.so";
#endif

// The library beside the running executable.
std::string ControlLibraryBesideProgram();

// Loads that library and calls its DllRegisterServer; false with the reason in error.
bool RegisterControlBesideProgram(std::string& error);

// The same for the control library at path.
bool RegisterControlLibrary(const std::string& path, std::string& error);

}  // namespace velka::server
