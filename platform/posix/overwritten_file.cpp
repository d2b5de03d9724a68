// The record rewritten in place on POSIX: pwrite(2) at offset 0 of a descriptor kept open.
#include "platform/overwritten_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velka {

bool OverwrittenFile::open(const std::string& path) {
  close();
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  path_ = path;
  return true;
}

bool OverwrittenFile::write(std::string_view record) {
  if (!isOpen()) return false;
  std::size_t done = 0;
  while (done < record.size()) {
    const ssize_t n =
        ::pwrite(handle_, record.data() + done, record.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void OverwrittenFile::close() {
  if (isOpen()) ::close(handle_);
  handle_ = kNoHandle;
  path_.clear();
}

}  // namespace velka
