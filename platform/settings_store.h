#pragma once
// The per-user settings store: text values by application, section and key, kept in one INI
// file per application, $XDG_CONFIG_HOME/<application>/settings.ini ($XDG_CONFIG_HOME
// defaults to ~/.config). The control uses application "TMV SPA", section "VELKA".
#include <map>
#include <optional>
#include <string>

#include "platform/overwritten_file.h"
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

// The store on INI files under ConfigHome(), read at each call (settings are few and small). A
// value written unflushed goes to a record of its own beside the INI file,
// <application>/<SECTION>.<KEY>.value, rewritten in place (platform/overwritten_file.h): a
// rewrite of the INI file costs a millisecond or more even without a flush, the record a few
// microseconds. A record that reads back whole is the value until the key is written again
// durably, which removes it.
class IniSettingsStore : public SettingsStore {
 public:
  std::optional<std::string> read(const std::string& application, const std::string& section,
                                  const std::string& key) override;
  bool write(const std::string& application, const std::string& section, const std::string& key,
             const std::string& value) override;
  bool writeUnflushed(const std::string& application, const std::string& section,
                      const std::string& key, const std::string& value) override;
  static std::string PathFor(const std::string& application);
  static std::string RecordPathFor(const std::string& application, const std::string& section,
                                   const std::string& key);

 private:
  std::map<std::string, OverwrittenFile> records_;  // kept open, by path
};

}  // namespace velka
