// The exclusive lock file on flock(2): the lock goes with the descriptor.
#include "platform/exclusive_lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace velka {

ExclusiveLockFile::~ExclusiveLockFile() {
  if (handle_ != kNoHandle) ::close(handle_);
}

ExclusiveLockFile::Status ExclusiveLockFile::acquire(const std::string& path) {
  if (handle_ != kNoHandle) return Status::Acquired;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return Status::Unavailable;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? Status::HeldByAnother : Status::Unavailable;
  }
  handle_ = fd;
  return Status::Acquired;
}

}  // namespace velka
