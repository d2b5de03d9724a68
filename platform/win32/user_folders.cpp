// The per-user folders on Windows: the roaming application data for configuration, the local
// one for data. XDG_CONFIG_HOME and XDG_DATA_HOME, when set to an absolute folder, take their
// place as on Linux (tests point them at a temporary folder).
#include "platform/user_folders.h"

#include <cstdlib>

namespace velka {

namespace {

bool Absolute(const std::string& path) {
  return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
         (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') &&
          (path[1] == '\\' || path[1] == '/'));
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

// The first of the variables that holds an absolute folder; else the user's profile.
std::string UserFolder(std::initializer_list<const char*> variables) {
  for (const char* name : variables) {
    const char* value = std::getenv(name);
    if (value != nullptr && Absolute(value)) return WithoutTrailingSeparators(value);
  }
  const char* profile = std::getenv("USERPROFILE");
  return profile != nullptr && *profile != '\0' ? WithoutTrailingSeparators(profile) : "C:";
}

}  // namespace

std::string ConfigHome() {
  return UserFolder({"XDG_CONFIG_HOME", "APPDATA"});
}

std::string DataHome() {
  return UserFolder({"XDG_DATA_HOME", "LOCALAPPDATA", "APPDATA"});
}

}  // namespace velka
