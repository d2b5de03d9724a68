// Temporary files beside their targets, and the rename that puts them in place.
#include "platform/posix/temporary_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace velka {

namespace {

// Names tried for a temporary file before giving up (stale ones of a crashed run are skipped).
constexpr int kTemporaryAttempts = 100;

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

int CreateTemporaryBeside(const std::string& path, std::string& temporary) {
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    temporary = path + "." + std::to_string(::getpid()) + "_" + std::to_string(attempt) + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool PutInPlace(int fd, bool written, const std::string& temporary, const std::string& path,
                bool durable) {
  bool ok = written;
  if (ok && durable) ok = ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  if (durable) {
    // The rename itself is on disk only once the folder is.
    const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      ::fsync(folder);
      ::close(folder);
    }
  }
  return true;
}

}  // namespace velka
