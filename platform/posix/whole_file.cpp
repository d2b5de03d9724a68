// Whole-file reads and replacing writes on POSIX: non-blocking opens, a temporary file made
// beside the target (temporary_file.h), rename(2), and fsync(2) of file and folder for a
// durable write.
#include "platform/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>

#include "platform/file_status.h"
#include "platform/posix/descriptor_io.h"
#include "platform/posix/status_identity.h"
#include "platform/posix/temporary_file.h"

namespace velka {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

// A regular file opened for reading without ever blocking; -1 with the status otherwise. The
// identity is that of the file opened.
int OpenRegularForReading(const std::string& path, FileReadStatus& status,
                          std::optional<FileIdentity>* identity = nullptr,
                          bool follow_links = true) {
  const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (follow_links ? 0 : O_NOFOLLOW);
  const int fd = ::open(path.c_str(), flags);
  if (fd < 0) {
    status = errno == ENOENT ? FileReadStatus::Missing : FileReadStatus::Unreadable;
    return -1;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    status = FileReadStatus::Unreadable;
    return -1;
  }
  if (identity) *identity = IdentityOfStatus(info);
  return fd;
}

FileReadStatus ReadUpTo(int fd, std::size_t max_bytes, std::string& out) {
  char buffer[kChunk];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return FileReadStatus::Unreadable;
    if (n == 0) return FileReadStatus::Read;
    const std::size_t room = max_bytes - out.size();
    if (static_cast<std::size_t>(n) > room) {
      out.append(buffer, room);
      return FileReadStatus::TooLarge;
    }
    out.append(buffer, static_cast<std::size_t>(n));
  }
}

// The file a write keeping links replaces (the one a link points to) and its permissions when
// it exists; false when something that is not a regular file is in its place.
bool ExistingTarget(const std::string& path, std::string& target,
                    std::optional<mode_t>& permissions) {
  target = path;
  struct stat st {};
  bool existed = ::lstat(path.c_str(), &st) == 0;
  if (existed && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return false;
    target = resolved;
    existed = ::stat(target.c_str(), &st) == 0;
  }
  if (!existed) return true;
  if (!S_ISREG(st.st_mode)) return false;
  permissions = st.st_mode & 07777;
  return true;
}

}  // namespace

FileRead ReadRegularFile(const std::string& path, std::size_t max_bytes, ReadOptions options) {
  FileRead read;
  const int fd = OpenRegularForReading(path, read.status, &read.identity, options.follow_links);
  if (fd < 0) return read;
  read.status = ReadUpTo(fd, max_bytes, read.bytes);
  ::close(fd);
  return read;
}

bool WriteFileReplacing(const std::string& path, std::string_view content, ReplaceOptions options) {
  std::string target = path;
  std::optional<mode_t> permissions;
  if (options.keep_link_and_mode && !ExistingTarget(path, target, permissions)) return false;
  std::string temporary;
  const int fd = CreateTemporaryBeside(target, temporary);
  if (fd < 0) return false;
  bool written = WriteAll(fd, content);
  if (written && permissions) written = ::fchmod(fd, *permissions) == 0;
  return PutInPlace(fd, written, temporary, target, options.durable);
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
  FileReadStatus status;
  const int in = OpenRegularForReading(from, status);
  if (in < 0) return false;
  std::string temporary;
  const int out = CreateTemporaryBeside(to, temporary);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool written = true;
  char buffer[kChunk];
  for (;;) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) written = false;
    if (got <= 0) break;
    if (!WriteAll(out, std::string_view(buffer, static_cast<std::size_t>(got)))) {
      written = false;
      break;
    }
  }
  ::close(in);
  return PutInPlace(out, written, temporary, to, false);
}

bool AppendToFile(const std::string& path, std::string_view bytes, bool empty_first) {
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (empty_first ? O_TRUNC : O_APPEND);
  const int fd = ::open(path.c_str(), flags, 0666);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, bytes);
  return ::close(fd) == 0 && written;
}

bool RemoveFile(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (IsReadOnly(path)) return false;
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace velka
