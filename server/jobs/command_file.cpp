// Command files: their names, their base paths and their lines.
#include "server/jobs/command_file.h"

#include "platform/ascii_text.h"
#include "platform/whole_file.h"

namespace velka::server {

bool IsCommandFileName(std::string_view name) {
  std::size_t dot = name.rfind('.');
  return dot != std::string_view::npos && UpperAscii(name.substr(dot + 1)) == "TXT";
}

std::string BasePathOf(const std::string& path) {
  std::size_t name_start = path.rfind('/');
  name_start = name_start == std::string::npos ? 0 : name_start + 1;
  std::size_t found = UpperAscii(path).find(".TXT", name_start);
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
  const FileRead read = ReadRegularFile(path, static_cast<std::size_t>(kMaxCommandFileBytes));
  CommandFileContent content;
  content.status = read.status;
  if (content.status == CommandFileContent::Status::Read)
    content.lines = SplitCommandLines(read.bytes);
  return content;
}

}  // namespace velka::server
