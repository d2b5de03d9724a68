#include "platform/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace velka {

namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  std::vector<char> buffer(16 * 1024);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return "/";
}

// The folder an XDG variable names, else the given folder under the home folder.
std::string UserFolder(const char* variable, const char* under_home) {
  if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') {
    return WithoutTrailingSlashes(value);
  }
  const std::string home = WithoutTrailingSlashes(HomeFolder());
  return (home == "/" ? "" : home) + under_home;
}

}  // namespace

std::string ConfigHome() {
  return UserFolder("XDG_CONFIG_HOME", "/.config");
}

std::string DataHome() {
  return UserFolder("XDG_DATA_HOME", "/.local/share");
}

}  // namespace velka
