// Registering the control library that lies beside the server's program.
#include "server/jobs/control_registration.h"

#include "automation/hresult.h"
#include "platform/executable_path.h"
#include "platform/file_status.h"
#include "platform/shared_library.h"

namespace velka::server {

std::string ControlLibraryBesideProgram() {
  const std::string exe = ExecutablePath();
  if (exe.empty()) return kControlLibraryName;
  return exe.substr(0, exe.find_last_of("/\\") + 1) + kControlLibraryName;
}

bool RegisterControlBesideProgram(std::string& error) {
  return RegisterControlLibrary(ControlLibraryBesideProgram(), error);
}

bool RegisterControlLibrary(const std::string& path, std::string& error) {
  if (!IsRegularFile(path)) {
    error = "no " + path + " to register";
    return false;
  }
  void* library = LoadSharedLibrary(path, error);
  if (!library) return false;
  using RegisterFunction = HResult (*)();
  auto register_server =
      reinterpret_cast<RegisterFunction>(FindLibrarySymbol(library, "DllRegisterServer", error));
  if (!register_server) return false;
  const HResult status = register_server();
  if (Failed(status)) {
    error = path + ": DllRegisterServer failed (" + HResultName(status) + ")";
    return false;
  }
  return true;
}

}  // namespace velka::server
