// The reserved file on Windows: a temporary file beside the target whose end is set at the
// reserved size (the file system allocates that space), then written from its start, cut to
// the content and moved into place at the commit.
#include "platform/reserved_file.h"

#include <windows.h>

#include "platform/win32/handle_io.h"
#include "platform/win32/temporary_file.h"
#include "platform/win32/wide_text.h"

namespace velka {

namespace {

bool SetEnd(HANDLE file, std::int64_t at) {
  LARGE_INTEGER position;
  position.QuadPart = at;
  return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

}  // namespace

bool ReservedFile::reserve(const std::string& beside, std::int64_t bytes) {
  release();
  std::string temporary;
  HANDLE file = win32::CreateTemporaryBeside(beside, temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  if (!SetEnd(file, bytes)) {
    ::CloseHandle(file);
    ::DeleteFileW(win32::Widen(temporary).c_str());
    return false;
  }
  handle_ = file;
  temporary_ = std::move(temporary);
  return true;
}

bool ReservedFile::adopt(const std::string& temporary) {
  release();
  HANDLE file = win32::OpenRegularForWriting(temporary, 0, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return false;
  handle_ = file;
  temporary_ = temporary;
  return true;
}

bool ReservedFile::commit(const std::string& path, std::string_view content, bool durable) {
  if (!held()) return false;
  // The space beyond the content was only held for it.
  const bool written = SetEnd(handle_, 0) && win32::WriteAll(handle_, content);
  const bool placed = win32::PutInPlace(handle_, written, temporary_, path, durable);
  handle_ = kNoHandle;
  temporary_.clear();
  return placed;
}

void ReservedFile::release() {
  if (!held()) return;
  ::CloseHandle(handle_);
  ::DeleteFileW(win32::Widen(temporary_).c_str());
  handle_ = kNoHandle;
  temporary_.clear();
}

}  // namespace velka
