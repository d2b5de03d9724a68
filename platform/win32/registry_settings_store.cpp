// Settings in the current user's registry hive.
#include "platform/win32/registry_settings_store.h"

#include <windows.h>

#include <vector>

#include "platform/win32/wide_text.h"

namespace velka {

namespace {

// A value longer than this is not one of the control's settings.
constexpr DWORD kMaxValueBytes = 64 * 1024;

// One level of the key path: no separators, nothing empty.
bool PlainName(const std::string& name) {
  return !name.empty() && name.find('\\') == std::string::npos;
}

}  // namespace

std::string RegistrySettingsStore::KeyPath(const std::string& application,
                                           const std::string& section) {
  if (!PlainName(application) || !PlainName(section)) return "";
  return "Software\\" + application + "\\" + section;
}

std::optional<std::string> RegistrySettingsStore::read(const std::string& application,
                                                       const std::string& section,
                                                       const std::string& key) {
  const std::string path = KeyPath(application, section);
  if (path.empty()) return std::nullopt;
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, win32::Widen(path).c_str(), 0, KEY_QUERY_VALUE, &handle) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  const std::wstring name = win32::Widen(key);
  DWORD type = 0;
  DWORD bytes = 0;
  std::optional<std::string> value;
  if (::RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && bytes <= kMaxValueBytes) {
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD got = bytes;
    if (::RegQueryValueExW(handle, name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(text.data()), &got) == ERROR_SUCCESS) {
      value = win32::Narrow(std::wstring(text.data()));  // up to the first NUL
    }
  }
  ::RegCloseKey(handle);
  return value;
}

bool RegistrySettingsStore::write(const std::string& application, const std::string& section,
                                  const std::string& key, const std::string& value) {
  const std::string path = KeyPath(application, section);
  if (path.empty()) return false;
  HKEY handle = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, win32::Widen(path).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &handle, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring text = win32::Widen(value);
  const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  const bool ok =
      ::RegSetValueExW(handle, win32::Widen(key).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text.c_str()), bytes) == ERROR_SUCCESS;
  ::RegCloseKey(handle);
  return ok;
}

}  // namespace velka
