// The record rewritten in place on Windows: WriteFile at offset 0 of a handle kept open.
#include "platform/overwritten_file.h"

#include <windows.h>

#include "platform/win32/handle_io.h"

namespace velka {

bool OverwrittenFile::open(const std::string& path) {
  close();
  HANDLE file =
      win32::OpenRegularForWriting(path, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = file;
  path_ = path;
  return true;
}

bool OverwrittenFile::write(std::string_view record) {
  if (!isOpen() || record.size() > MAXDWORD) return false;
  OVERLAPPED at_start{};  // offset 0 on a handle opened for synchronous writes
  DWORD written = 0;
  return ::WriteFile(handle_, record.data(), static_cast<DWORD>(record.size()), &written,
                     &at_start) &&
         written == record.size();
}

void OverwrittenFile::close() {
  if (isOpen()) ::CloseHandle(handle_);
  handle_ = kNoHandle;
  path_.clear();
}

}  // namespace velka
