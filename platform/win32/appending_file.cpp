// The appending file on a Windows file handle.
#include "platform/appending_file.h"

#include <windows.h>

#include "platform/win32/handle_io.h"
#include "platform/win32/wide_text.h"

namespace velka {

bool AppendingFile::openEmptied(const std::string& path) {
  close();
  HANDLE file = ::CreateFileW(win32::Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Only a file on a disk: a pipe or a device in its place would block the writes.
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    return false;
  }
  handle_ = file;
  return true;
}

bool AppendingFile::append(std::string_view bytes) {
  return isOpen() && win32::WriteAll(handle_, bytes);
}

void AppendingFile::close() {
  if (isOpen()) ::CloseHandle(handle_);
  handle_ = kNoHandle;
}

}  // namespace velka
