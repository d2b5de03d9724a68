// The appending file on a POSIX descriptor.
#include "platform/appending_file.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/posix/descriptor_io.h"

namespace velka {

bool AppendingFile::openEmptied(const std::string& path) {
  close();
  handle_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
  return isOpen();
}

bool AppendingFile::append(std::string_view bytes) {
  return isOpen() && WriteAll(handle_, bytes);
}

void AppendingFile::close() {
  if (isOpen()) ::close(handle_);
  handle_ = kNoHandle;
}

}  // namespace velka
