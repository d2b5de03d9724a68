// The reserved file on POSIX: posix_fallocate(3) on a temporary file beside the target, then
// pwrite, ftruncate and rename at the commit.
#include "platform/reserved_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/descriptor_io.h"
#include "platform/posix/temporary_file.h"

namespace velka {

bool ReservedFile::reserve(const std::string& beside, std::int64_t bytes) {
  release();
  std::string temporary;
  const int fd = CreateTemporaryBeside(beside, temporary);
  if (fd < 0) return false;
  int failed = 0;
  do {
    failed = ::posix_fallocate(fd, 0, static_cast<off_t>(bytes));
  } while (failed == EINTR);
  if (failed != 0) {
    ::close(fd);
    ::unlink(temporary.c_str());
    return false;
  }
  handle_ = fd;
  temporary_ = std::move(temporary);
  return true;
}

bool ReservedFile::adopt(const std::string& temporary) {
  release();
  const int fd = OpenRegularForWriting(temporary, 0);
  if (fd < 0) return false;
  handle_ = fd;
  temporary_ = temporary;
  return true;
}

bool ReservedFile::commit(const std::string& path, std::string_view content, bool durable) {
  if (!held()) return false;
  // The space beyond the content was only held for it.
  const bool written = WriteAllAt(handle_, content, 0) &&
                       ::ftruncate(handle_, static_cast<off_t>(content.size())) == 0;
  const bool placed = PutInPlace(handle_, written, temporary_, path, durable);
  handle_ = kNoHandle;
  temporary_.clear();
  return placed;
}

void ReservedFile::release() {
  if (!held()) return;
  ::close(handle_);
  ::unlink(temporary_.c_str());
  handle_ = kNoHandle;
  temporary_.clear();
}

}  // namespace velka
