// WriteFile until every byte is written.
#include "platform/win32/handle_io.h"

#include <windows.h>

#include <algorithm>

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

}  // namespace velka::win32
