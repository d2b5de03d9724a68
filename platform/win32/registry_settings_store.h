#pragma once
// The per-user settings store of Windows: text values under
// HKEY_CURRENT_USER\Software\<application>\<section>, one value a key (REG_SZ). The control
// keeps its settings under "TMV SPA", "VELKA".
#include "platform/settings_store.h"

namespace velka {

class RegistrySettingsStore : public SettingsStore {
 public:
  std::optional<std::string> read(const std::string& application, const std::string& section,
                                  const std::string& key) override;
  bool write(const std::string& application, const std::string& section, const std::string& key,
             const std::string& value) override;
  // "Software\<application>\<section>"; empty when a name would leave that place.
  static std::string KeyPath(const std::string& application, const std::string& section);
};

}  // namespace velka
