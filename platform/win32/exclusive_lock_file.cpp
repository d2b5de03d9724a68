// The exclusive lock file on LockFileEx: the lock goes with the handle, and with the process.
#include "platform/exclusive_lock_file.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace velka {

ExclusiveLockFile::~ExclusiveLockFile() {
  if (handle_ != kNoHandle) ::CloseHandle(handle_);
}

ExclusiveLockFile::Status ExclusiveLockFile::acquire(const std::string& path) {
  if (handle_ != kNoHandle) return Status::Acquired;
  HANDLE file = ::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Status::Unavailable;
  OVERLAPPED whole{};
  if (!::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                    MAXDWORD, &whole)) {
    const bool held = ::GetLastError() == ERROR_LOCK_VIOLATION;
    ::CloseHandle(file);
    return held ? Status::HeldByAnother : Status::Unavailable;
  }
  handle_ = file;
  return Status::Acquired;
}

}  // namespace velka
