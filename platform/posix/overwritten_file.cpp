// The record rewritten in place on POSIX: pwrite(2) at offset 0 of a descriptor kept open.
#include "platform/overwritten_file.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/posix/descriptor_io.h"

namespace velka {

bool OverwrittenFile::open(const std::string& path) {
  close();
  const int fd = OpenRegularForWriting(path, O_CREAT);
  if (fd < 0) return false;
  handle_ = fd;
  path_ = path;
  return true;
}

bool OverwrittenFile::write(std::string_view record) {
  return isOpen() && WriteAllAt(handle_, record, 0);
}

void OverwrittenFile::close() {
  if (isOpen()) ::close(handle_);
  handle_ = kNoHandle;
  path_.clear();
}

}  // namespace velka
