#include "platform/settings_store.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/ini_file.h"

namespace velka {

namespace {

// One folder level under ConfigHome(): no separators, no way up.
bool SafeApplicationName(const std::string& application) {
  return !application.empty() && application != "." && application != ".." &&
         application.find('/') == std::string::npos;
}

bool WriteWith(const std::string& application, const std::string& section, const std::string& key,
               const std::string& value, ProfileWrite strength) {
  if (!SafeApplicationName(application)) return false;
  std::error_code error;
  std::filesystem::create_directories(ConfigHome() + "/" + application, error);
  if (error) return false;
  return WriteProfileString(IniSettingsStore::PathFor(application), section, key, value, strength);
}

}  // namespace

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
  return WriteWith(application, section, key, value, ProfileWrite::Durable);
}

bool IniSettingsStore::writeUnflushed(const std::string& application, const std::string& section,
                                      const std::string& key, const std::string& value) {
  return WriteWith(application, section, key, value, ProfileWrite::Unflushed);
}

}  // namespace velka
