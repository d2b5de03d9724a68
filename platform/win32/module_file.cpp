// GetModuleFileNameW with a buffer that grows until the whole path fits.
#include "platform/win32/module_file.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/wide_text.h"

namespace velka::win32 {

std::string ModuleFileName(void* module) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (int attempt = 0; attempt < 6; ++attempt) {
    const DWORD length = ::GetModuleFileNameW(static_cast<HMODULE>(module), buffer.data(),
                                              static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::string path = Narrow(std::wstring(buffer.data(), length));
      std::replace(path.begin(), path.end(), '\\', '/');
      return path;
    }
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

}  // namespace velka::win32
