// Class registrations in HKEY_CLASSES_ROOT: <ProgID>\CLSID names the class, and
// CLSID\<class>\InprocServer32 its library.
#include "platform/system_class_registry.h"

#include <windows.h>

#include <vector>

#include "platform/win32/wide_text.h"

namespace velka {

namespace {

// A value of a registration is a path at most; nothing longer is read.
constexpr DWORD kMaxValueBytes = 64 * 1024;

std::optional<std::string> DefaultValue(const std::wstring& key) {
  DWORD bytes = 0;
  if (::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr,
                     &bytes) != ERROR_SUCCESS ||
      bytes > kMaxValueBytes) {
    return std::nullopt;
  }
  std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
  if (::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text.data(),
                     &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return win32::Narrow(std::wstring(text.data()));
}

}  // namespace

std::optional<SystemClassRegistration> FindSystemClassRegistration(const std::string& prog_id) {
  if (prog_id.empty() || prog_id.find('\\') != std::string::npos) return std::nullopt;
  const auto class_id = DefaultValue(win32::Widen(prog_id) + L"\\CLSID");
  if (!class_id) return std::nullopt;
  const auto library = DefaultValue(L"CLSID\\" + win32::Widen(*class_id) + L"\\InprocServer32");
  if (!library || library->empty()) return std::nullopt;
  return SystemClassRegistration{*class_id, *library};
}

}  // namespace velka
