#pragma once
// The per-user settings store: text values by application, section and key, kept in one INI
// file per application, $XDG_CONFIG_HOME/<application>/settings.ini ($XDG_CONFIG_HOME
// defaults to ~/.config). The control uses application "TMV SPA", section "VELKA".
#include <optional>
#include <string>

#include "platform/user_folders.h"

namespace velka {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // Nothing when the key is missing.
  virtual std::optional<std::string> read(const std::string& application,
                                          const std::string& section, const std::string& key) = 0;
  // False when the value could not be stored.
  virtual bool write(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) = 0;
  // A write for a value that changes often: it survives the program being killed but not
  // necessarily a power cut, at a fraction of the cost. A store without such a write stores
  // the value as write() does.
  virtual bool writeUnflushed(const std::string& application, const std::string& section,
                              const std::string& key, const std::string& value) {
    return write(application, section, key, value);
  }
};

// The store on INI files under ConfigHome(), read at each call (settings are few and small).
class IniSettingsStore : public SettingsStore {
 public:
  std::optional<std::string> read(const std::string& application, const std::string& section,
                                  const std::string& key) override;
  bool write(const std::string& application, const std::string& section, const std::string& key,
             const std::string& value) override;
  bool writeUnflushed(const std::string& application, const std::string& section,
                      const std::string& key, const std::string& value) override;
  static std::string PathFor(const std::string& application);
};

}  // namespace velka
