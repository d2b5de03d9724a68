// WriteFile until every byte is written; a regular file opened without following a link.
#include "platform/win32/handle_io.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/handle_identity.h"
#include "platform/win32/wide_text.h"

namespace velka::win32 {

bool WriteAll(void* handle, std::string_view bytes) {
  constexpr std::size_t kChunk = 1 << 20;
  while (!bytes.empty()) {
    const auto want = static_cast<DWORD>(std::min(bytes.size(), kChunk));
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data(), want, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

void* OpenRegularForWriting(const std::string& path, unsigned long share,
                            unsigned long disposition) {
  HANDLE file =
      ::CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, disposition,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  if (::GetFileType(file) != FILE_TYPE_DISK || IsLinkHandle(file)) {
    ::CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

}  // namespace velka::win32
