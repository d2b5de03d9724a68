#pragma once
// The command line of VelkaDriverServer. Without arguments the server starts; --help and
// --version print their text on standard output and end the program with status 0 before
// anything starts (no window, no folders, no lock); any other argument is refused with a usage
// line on standard error and status 64.
#include <optional>

namespace velka::server::ui {

inline constexpr int kExitUsage = 64;

// The exit status when the program is to end without starting; nothing when it starts.
std::optional<int> HandleCommandLine(int argc, char** argv);

}  // namespace velka::server::ui
