// Libraries loaded at run time: LoadLibrary, GetProcAddress, and the module holding an address.
#include "platform/shared_library.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/module_file.h"
#include "platform/win32/wide_text.h"

namespace velka {

void* LoadSharedLibrary(const std::string& path, std::string& error) {
  // The loader looks for a library's own dependencies beside it only with backslashes.
  std::wstring name = win32::Widen(path);
  std::replace(name.begin(), name.end(), L'/', L'\\');
  HMODULE library = ::LoadLibraryExW(name.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!library) error = win32::ErrorText(::GetLastError());
  return reinterpret_cast<void*>(library);
}

void* FindLibrarySymbol(void* library, const char* name, std::string& error) {
  if (!library) {
    error = "no library";
    return nullptr;
  }
  FARPROC symbol = ::GetProcAddress(static_cast<HMODULE>(library), name);
  if (!symbol) error = win32::ErrorText(::GetLastError());
  return reinterpret_cast<void*>(symbol);
}

std::string PathOfLibraryHolding(const void* address) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(address), &module)) {
    return {};
  }
  return win32::ModuleFileName(module);
}

}  // namespace velka
