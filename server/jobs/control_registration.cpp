#include "server/jobs/control_registration.h"

#include <unistd.h>

#include "automation/hresult.h"
#include "platform/shared_library.h"
#include "server/jobs/job_files.h"

namespace velka::server {

std::string ControlLibraryBesideProgram() {
  char buffer[4096];
  ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return kControlLibraryName;
  std::string exe(buffer, static_cast<std::size_t>(length));
  return exe.substr(0, exe.rfind('/') + 1) + kControlLibraryName;
}

bool RegisterControlBesideProgram(std::string& error) {
  const std::string path = ControlLibraryBesideProgram();
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
