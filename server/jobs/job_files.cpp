#include "server/jobs/job_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velka::server {

namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;

std::int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Reads at most limit bytes of a file; nothing when it cannot be read or is longer.
std::optional<std::string> ReadWhole(const std::string& path, std::int64_t limit) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string content;
  char buffer[kCopyChunk];
  bool ok = true;
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;
    if (got <= 0) break;
    content.append(buffer, static_cast<std::size_t>(got));
    if (static_cast<std::int64_t>(content.size()) > limit) {
      ok = false;
      break;
    }
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  return content;
}

// A temporary file beside path; its descriptor, or -1.
int OpenTemporary(const std::string& path, std::string& temporary) {
  temporary = path + "." + std::to_string(::getpid()) + ".tmp";
  return ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

bool FinishTemporary(int fd, bool written, const std::string& temporary, const std::string& path) {
  bool ok = ::close(fd) == 0 && written;
  if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  FileIdentity id;
  id.device = info.st_dev;
  id.inode = info.st_ino;
  id.size = info.st_size;
  id.modified_ns = Nanoseconds(info.st_mtim);
  id.changed_ns = Nanoseconds(info.st_ctim);
  return id;
}

bool IsRegularFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool SameFolder(const std::string& a, const std::string& b) {
  struct stat first, second;
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         S_ISDIR(first.st_mode) && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
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

bool DeleteFile(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (IsReadOnly(path)) return false;
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool WriteFileReplacing(const std::string& path, std::string_view content) {
  std::string temporary;
  int fd = OpenTemporary(path, temporary);
  if (fd < 0) return false;
  bool written = WriteAll(fd, content);
  return FinishTemporary(fd, written, temporary, path);
}

bool AppendLineReplacing(const std::string& path, std::string_view line,
                         std::int64_t max_kept_bytes) {
  std::string content;
  if (IsRegularFile(path)) content = ReadWhole(path, max_kept_bytes).value_or(std::string());
  content.append(line);
  content.append("\r\n");
  return WriteFileReplacing(path, content);
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) return false;
  struct stat info;
  if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(in);
    return false;
  }
  std::string temporary;
  int out = OpenTemporary(to, temporary);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool written = true;
  char buffer[kCopyChunk];
  for (;;) {
    ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) written = false;
    if (got <= 0) break;
    if (!WriteAll(out, std::string_view(buffer, static_cast<std::size_t>(got)))) {
      written = false;
      break;
    }
  }
  ::close(in);
  return FinishTemporary(out, written, temporary, to);
}

bool AppendLogLine(const std::string& path, std::string_view line, std::int64_t limit_bytes) {
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
  flags |= FileSize(path) > limit_bytes ? O_TRUNC : O_APPEND;
  int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return false;
  std::string text(line);
  text.append("\r\n");
  bool written = WriteAll(fd, text);
  return ::close(fd) == 0 && written;
}

std::string FileNameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

}  // namespace velka::server
