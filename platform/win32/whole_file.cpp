// Whole-file reads and replacing writes on Windows (temporary_file.h: a temporary file beside
// the target, moved over it).
#include "platform/whole_file.h"

#include <windows.h>

#include "platform/file_status.h"
#include "platform/win32/handle_identity.h"
#include "platform/win32/handle_io.h"
#include "platform/win32/temporary_file.h"
#include "platform/win32/wide_text.h"

namespace velka {

namespace {

constexpr DWORD kChunk = 64 * 1024;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A file on a disk opened for reading; INVALID_HANDLE_VALUE with the status otherwise. A pipe
// or a device in the file's place is refused, never read.
HANDLE OpenRegularForReading(const std::string& path, FileReadStatus& status,
                             bool follow_links = true) {
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (follow_links ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  HANDLE file = ::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                              OPEN_EXISTING, flags, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    status = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                 ? FileReadStatus::Missing
                 : FileReadStatus::Unreadable;
    return INVALID_HANDLE_VALUE;
  }
  if (::GetFileType(file) != FILE_TYPE_DISK || (!follow_links && win32::IsLinkHandle(file))) {
    ::CloseHandle(file);
    status = FileReadStatus::Unreadable;
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

FileReadStatus ReadUpTo(HANDLE file, std::size_t max_bytes, std::string& out) {
  char buffer[kChunk];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file, buffer, sizeof buffer, &n, nullptr)) return FileReadStatus::Unreadable;
    if (n == 0) return FileReadStatus::Read;
    const std::size_t room = max_bytes - out.size();
    if (n > room) {
      out.append(buffer, room);
      return FileReadStatus::TooLarge;
    }
    out.append(buffer, n);
  }
}

}  // namespace

FileRead ReadRegularFile(const std::string& path, std::size_t max_bytes, ReadOptions options) {
  FileRead read;
  HANDLE file = OpenRegularForReading(path, read.status, options.follow_links);
  if (file == INVALID_HANDLE_VALUE) return read;
  read.identity = win32::IdentityOfHandle(file);
  read.status = ReadUpTo(file, max_bytes, read.bytes);
  ::CloseHandle(file);
  return read;
}

bool WriteFileReplacing(const std::string& path, std::string_view content, ReplaceOptions options) {
  // Only a file, or nothing, is replaced when asked to keep what is there.
  if (options.keep_link_and_mode && IsFolder(path)) return false;
  const bool read_only = options.keep_link_and_mode && IsReadOnly(path);
  std::string temporary;
  HANDLE file = win32::CreateTemporaryBeside(path, temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = win32::WriteAll(file, content);
  if (!win32::PutInPlace(file, written, temporary, path, options.durable)) return false;
  if (read_only) {
    const std::wstring wide = win32::Widen(path);
    ::SetFileAttributesW(wide.c_str(),
                         ::GetFileAttributesW(wide.c_str()) | FILE_ATTRIBUTE_READONLY);
  }
  return true;
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
  FileReadStatus status;
  HANDLE in = OpenRegularForReading(from, status);
  if (in == INVALID_HANDLE_VALUE) return false;
  std::string temporary;
  HANDLE out = win32::CreateTemporaryBeside(to, temporary);
  if (out == INVALID_HANDLE_VALUE) {
    ::CloseHandle(in);
    return false;
  }
  bool written = true;
  char buffer[kChunk];
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(in, buffer, sizeof buffer, &got, nullptr)) written = false;
    if (!written || got == 0) break;
    if (!win32::WriteAll(out, std::string_view(buffer, got))) {
      written = false;
      break;
    }
  }
  ::CloseHandle(in);
  return win32::PutInPlace(out, written, temporary, to, false);
}

bool AppendToFile(const std::string& path, std::string_view bytes, bool empty_first) {
  HANDLE file = ::CreateFileW(
      win32::Widen(path).c_str(), empty_first ? GENERIC_WRITE : FILE_APPEND_DATA, FILE_SHARE_READ,
      nullptr, empty_first ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = win32::WriteAll(file, bytes);
  return ::CloseHandle(file) != 0 && written;
}

bool RemoveFile(const std::string& path) {
  const std::wstring wide = win32::Widen(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) return false;
  return ::DeleteFileW(wide.c_str()) != 0 || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

}  // namespace velka
