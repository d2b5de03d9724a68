// Whole-file reads and replacing writes on Windows: a temporary file made with CREATE_NEW
// beside the target, MoveFileEx over it, and FlushFileBuffers with a write-through move for a
// durable write.
#include "platform/whole_file.h"

#include <windows.h>

#include "platform/file_status.h"
#include "platform/win32/handle_io.h"
#include "platform/win32/wide_text.h"

namespace velka {

namespace {

constexpr DWORD kChunk = 64 * 1024;
// Names tried for a temporary file before giving up (stale ones of a crashed run are skipped).
constexpr int kTemporaryAttempts = 100;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A file on a disk opened for reading; INVALID_HANDLE_VALUE with the status otherwise. A pipe
// or a device in the file's place is refused, never read.
HANDLE OpenRegularForReading(const std::string& path, FileReadStatus& status) {
  HANDLE file = ::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    status = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                 ? FileReadStatus::Missing
                 : FileReadStatus::Unreadable;
    return INVALID_HANDLE_VALUE;
  }
  if (::GetFileType(file) != FILE_TYPE_DISK) {
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

// A new file beside path, "<path>.<process>_<n>.tmp".
HANDLE CreateTemporaryBeside(const std::string& path, std::string& temporary) {
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    temporary = path + "." + std::to_string(::GetCurrentProcessId()) + "_" +
                std::to_string(attempt) + ".tmp";
    HANDLE file = ::CreateFileW(win32::Widen(temporary).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// Closes the written temporary file and moves it over path; the temporary file is removed on
// any failure.
bool PutInPlace(HANDLE file, bool written, const std::string& temporary, const std::string& path,
                bool durable) {
  bool ok = written;
  if (ok && durable) ok = ::FlushFileBuffers(file) != 0;
  ok = ::CloseHandle(file) != 0 && ok;
  const std::wstring from = win32::Widen(temporary);
  if (ok) {
    const DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
    ok = ::MoveFileExW(from.c_str(), win32::Widen(path).c_str(), flags) != 0;
  }
  if (!ok) ::DeleteFileW(from.c_str());
  return ok;
}

}  // namespace

FileRead ReadRegularFile(const std::string& path, std::size_t max_bytes) {
  FileRead read;
  HANDLE file = OpenRegularForReading(path, read.status);
  if (file == INVALID_HANDLE_VALUE) return read;
  read.status = ReadUpTo(file, max_bytes, read.bytes);
  ::CloseHandle(file);
  return read;
}

bool WriteFileReplacing(const std::string& path, std::string_view content, ReplaceOptions options) {
  // Only a file, or nothing, is replaced when asked to keep what is there.
  if (options.keep_link_and_mode && IsFolder(path)) return false;
  const bool read_only = options.keep_link_and_mode && IsReadOnly(path);
  std::string temporary;
  HANDLE file = CreateTemporaryBeside(path, temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = win32::WriteAll(file, content);
  if (!PutInPlace(file, written, temporary, path, options.durable)) return false;
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
  HANDLE out = CreateTemporaryBeside(to, temporary);
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
  return PutInPlace(out, written, temporary, to, false);
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
