#include "server/jobs/command_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

namespace velka::server {

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

bool IsCommandFileName(std::string_view name) {
  std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && Upper(name.substr(dot + 1)) == "TXT";
}

std::string BasePathOf(const std::string& path) {
  std::size_t name_start = path.rfind('/');
  name_start = name_start == std::string::npos ? 0 : name_start + 1;
  std::size_t found = Upper(path).find(".TXT", name_start);
  if (found == std::string::npos || found == 0) return {};
  return path.substr(0, found);
}

std::vector<std::string> SplitCommandLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

CommandFileContent ReadCommandFile(const std::string& path) {
  CommandFileContent content;
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    content.status = errno == ENOENT ? CommandFileContent::Status::Missing
                                     : CommandFileContent::Status::Unreadable;
    return content;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    content.status = CommandFileContent::Status::Unreadable;
    return content;
  }
  std::string text;
  char buffer[16 * 1024];
  content.status = CommandFileContent::Status::Read;
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) content.status = CommandFileContent::Status::Unreadable;
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
    if (static_cast<std::int64_t>(text.size()) > kMaxCommandFileBytes) {
      content.status = CommandFileContent::Status::TooLarge;
      break;
    }
  }
  ::close(fd);
  if (content.status == CommandFileContent::Status::Read) content.lines = SplitCommandLines(text);
  return content;
}

}  // namespace velka::server
