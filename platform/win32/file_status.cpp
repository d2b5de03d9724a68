// What a path names, from the file's attributes and its handle's information.
#include "platform/file_status.h"

#include <windows.h>

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

bool Information(const std::string& path, BY_HANDLE_FILE_INFORMATION& info,
                 std::int64_t* changed_ns = nullptr) {
  HANDLE file = OpenForInformation(path);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = ::GetFileInformationByHandle(file, &info) != 0;
  if (ok && changed_ns) {
    FILE_BASIC_INFO basic{};
    *changed_ns = ::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)
                      ? Nanoseconds(basic.ChangeTime.QuadPart)
                      : Nanoseconds(info.ftLastWriteTime);
  }
  ::CloseHandle(file);
  return ok;
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  std::int64_t changed = 0;
  if (!Information(path, info, &changed) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  FileIdentity id;
  id.device = info.dwVolumeSerialNumber;
  id.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  id.size = (static_cast<std::int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  id.modified_ns = Nanoseconds(info.ftLastWriteTime);
  id.changed_ns = changed;
  return id;
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
