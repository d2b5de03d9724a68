// The record rewritten in place on Windows: WriteFile at offset 0 of a handle kept open.
#include "platform/overwritten_file.h"

#include <windows.h>

#include "platform/win32/handle_identity.h"
#include "platform/win32/wide_text.h"

namespace velka {

bool OverwrittenFile::open(const std::string& path) {
  close();
  HANDLE file = ::CreateFileW(win32::Widen(path).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  if (::GetFileType(file) != FILE_TYPE_DISK || win32::IsLinkHandle(file)) {
    ::CloseHandle(file);
    return false;
  }
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
