#include "platform/settings_store.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/ini_file.h"

namespace velka {

namespace {

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  // No HOME (a service started with an empty environment): the account's home folder.
  std::vector<char> buffer(16 * 1024);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir != nullptr) {
    return found->pw_dir;
  }
  return "/";
}

// One folder level under ConfigHome(): no separators, no way up.
bool SafeApplicationName(const std::string& application) {
  return !application.empty() && application != "." && application != ".." &&
         application.find('/') == std::string::npos;
}

}  // namespace

std::string ConfigHome() {
  // Relative values are not honoured, as desktop conventions require.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
    return WithoutTrailingSlashes(xdg);
  }
  const std::string home = WithoutTrailingSlashes(HomeFolder());
  return (home == "/" ? "" : home) + "/.config";
}

std::string IniSettingsStore::PathFor(const std::string& application) {
  return ConfigHome() + "/" + application + "/settings.ini";
}

std::optional<std::string> IniSettingsStore::read(const std::string& application,
                                                  const std::string& section,
                                                  const std::string& key) {
  if (!SafeApplicationName(application)) return std::nullopt;
  return ReadProfileString(PathFor(application), section, key);
}

bool IniSettingsStore::write(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& value) {
  if (!SafeApplicationName(application)) return false;
  std::error_code error;
  std::filesystem::create_directories(ConfigHome() + "/" + application, error);
  if (error) return false;
  return WriteProfileString(PathFor(application), section, key, value);
}

}  // namespace velka
