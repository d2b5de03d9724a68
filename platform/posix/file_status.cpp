// What a path names, from stat(2).
#include "platform/file_status.h"

#include <sys/stat.h>
#include <time.h>

#include "platform/posix/status_identity.h"

namespace velka {

namespace {

std::int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

}  // namespace

std::optional<FileIdentity> IdentityOfStatus(const struct stat& info) {
  if (!S_ISREG(info.st_mode)) return std::nullopt;
  FileIdentity id;
  id.device = info.st_dev;
  id.inode = info.st_ino;
  id.size = info.st_size;
  id.modified_ns = Nanoseconds(info.st_mtim);
  id.changed_ns = Nanoseconds(info.st_ctim);
  return id;
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return IdentityOfStatus(info);
}

std::optional<FileIdentity> EntryIdentityOf(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return IdentityOfStatus(info);
}

bool IsSymbolicLink(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool SameFolder(const std::string& a, const std::string& b) {
  struct stat first, second;
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         S_ISDIR(first.st_mode) && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool IsReadOnly(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

std::int64_t FileSize(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return -1;
  return info.st_size;
}

Millis MillisSinceModified(const FileIdentity& identity) {
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  return (Nanoseconds(now) - identity.modified_ns) / 1'000'000;
}

}  // namespace velka
