// The program folder and the executable's name.
#include "server/jobs/program_folder.h"

#include <cstdlib>
#include <string_view>

#include "platform/executable_path.h"

namespace velka::server {

namespace {

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

std::string ProgramFolder() {
  const char* home = std::getenv("VELKA_SERVER_HOME");
  if (home != nullptr && *home != '\0') return WithoutTrailingSlash(home);
  std::string exe = ExecutablePath();
  std::size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

std::string ExecutableName() {
  std::string exe = ExecutablePath();
  std::string name = exe.substr(exe.rfind('/') + 1);
  std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name.empty() ? std::string("VelkaDriverServer") : name;
}

}  // namespace velka::server
