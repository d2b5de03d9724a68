#include "platform/win32/temporary_file.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace velka::win32 {

namespace {
// Names tried for a temporary file before giving up (stale ones of a crashed run are skipped).
constexpr int kTemporaryAttempts = 100;
}  // namespace

void* CreateTemporaryBeside(const std::string& path, std::string& temporary) {
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    temporary = path + "." + std::to_string(::GetCurrentProcessId()) + "_" +
                std::to_string(attempt) + ".tmp";
    HANDLE file = ::CreateFileW(Widen(temporary).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

bool PutInPlace(void* file, bool written, const std::string& temporary, const std::string& path,
                bool durable) {
  bool ok = written;
  if (ok && durable) ok = ::FlushFileBuffers(file) != 0;
  ok = ::CloseHandle(file) != 0 && ok;
  const std::wstring from = Widen(temporary);
  if (ok) {
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
    ok = ::MoveFileExW(from.c_str(), Widen(path).c_str(), flags) != 0;
  }
  if (!ok) ::DeleteFileW(from.c_str());
  return ok;
}

}  // namespace velka::win32
