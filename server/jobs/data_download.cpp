#include "server/jobs/data_download.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace velka::server {

void DataDownload::ReceiveDataEvent(const std::string& pString) {
  if (fd_ < 0 && !failed_) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
    failed_ = fd_ < 0;
  }
  if (fd_ < 0) return;
  std::string line = pString + "\r\n";
  std::string_view rest(line);
  while (!rest.empty()) {
    ssize_t written = ::write(fd_, rest.data(), rest.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // a full disk loses this line, not the job
    rest.remove_prefix(static_cast<std::size_t>(written));
  }
}

void DataDownload::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  failed_ = false;
}

}  // namespace velka::server
