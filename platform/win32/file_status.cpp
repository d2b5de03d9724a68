// What a path names, from the file's attributes and its handle's information.
#include "platform/file_status.h"

#include <windows.h>

#include "platform/win32/handle_identity.h"
#include "platform/win32/wide_text.h"

namespace velka {

namespace {

// FILETIME counts 100 ns from 1601; the identity counts nanoseconds from 1970.
constexpr std::int64_t kFrom1601To1970 = 116444736000000000LL;

std::int64_t Nanoseconds(std::int64_t file_time) {
  return (file_time - kFrom1601To1970) * 100;
}
std::int64_t Nanoseconds(const FILETIME& t) {
  return Nanoseconds((static_cast<std::int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

DWORD Attributes(const std::string& path) {
  return ::GetFileAttributesW(win32::Widen(path).c_str());
}

bool IsFolderAttributes(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A handle for reading what the file system knows of the path (folders included).
HANDLE OpenForInformation(const std::string& path) {
  return ::CreateFileW(win32::Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool Information(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
  HANDLE file = OpenForInformation(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = ::GetFileInformationByHandle(file, &info) != 0;
  ::CloseHandle(file);
  return ok;
}

}  // namespace

namespace win32 {

std::optional<FileIdentity> IdentityOfHandle(void* file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  FILE_BASIC_INFO basic{};
  FileIdentity id;
  id.device = info.dwVolumeSerialNumber;
  id.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  id.size = (static_cast<std::int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  id.modified_ns = Nanoseconds(info.ftLastWriteTime);
  id.changed_ns = ::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)
                      ? Nanoseconds(basic.ChangeTime.QuadPart)
                      : id.modified_ns;
  return id;
}

void* OpenEntryForInformation(const std::string& path) {
  return ::CreateFileW(Widen(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                       nullptr);
}

bool IsLinkHandle(void* file) {
  BY_HANDLE_FILE_INFORMATION info{};
  return ::GetFileInformationByHandle(file, &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace win32

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  HANDLE file = OpenForInformation(path);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<FileIdentity> id = win32::IdentityOfHandle(file);
  ::CloseHandle(file);
  return id;
}

std::optional<FileIdentity> EntryIdentityOf(const std::string& path) {
  HANDLE file = win32::OpenEntryForInformation(path);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<FileIdentity> id;
  if (!win32::IsLinkHandle(file)) id = win32::IdentityOfHandle(file);
  ::CloseHandle(file);
  return id;
}

bool IsSymbolicLink(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsRegularFile(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(attributes & FILE_ATTRIBUTE_DEVICE);
}

bool IsFolder(const std::string& path) {
  return IsFolderAttributes(Attributes(path));
}

bool SameFolder(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first{}, second{};
  return Information(a, first) && Information(b, second) &&
         (first.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool IsReadOnly(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

std::int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(win32::Widen(path).c_str(), GetFileExInfoStandard, &data)) {
    return -1;
  }
  return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

Millis MillisSinceModified(const FileIdentity& identity) {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return (Nanoseconds(now) - identity.modified_ns) / 1'000'000;
}

}  // namespace velka
