#include "server/jobs/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace velka::server {

SingleInstanceLock::~SingleInstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

SingleInstanceLock::Status SingleInstanceLock::Acquire(const std::string& program_folder) {
  if (fd_ >= 0) return Status::Acquired;
  const std::string path = program_folder + "/" + kLockFileName;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return Status::Unavailable;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? Status::HeldByAnother : Status::Unavailable;
  }
  fd_ = fd;
  return Status::Acquired;
}

}  // namespace velka::server
