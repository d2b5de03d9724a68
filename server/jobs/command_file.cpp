// Command files: their names, their base paths and their lines.
#include "server/jobs/command_file.h"

#include <algorithm>

#include "platform/ascii_text.h"
#include "platform/single_byte_text.h"
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

std::string CommandFileText(std::string_view bytes) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (!bytes.starts_with(kByteOrderMark)) return std::string(bytes);
  return Utf8ToSingleByte(bytes.substr(kByteOrderMark.size()));
}

bool BreaksFrame(char byte) {
  switch (byte) {
    case '\x00':  // NUL
    case '\x02':  // STX
    case '\x03':  // ETX
    case '\x06':  // ACK
    case '\x15':  // NACK
      return true;
    default:
      return false;
  }
}

std::int32_t FirstFrameBreakingRow(const std::vector<std::string>& lines) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (std::any_of(lines[i].begin(), lines[i].end(), BreaksFrame)) {
      return static_cast<std::int32_t>(i + 1);
    }
  }
  return 0;
}

CommandFileContent ReadCommandFile(const std::string& path, ReadOptions options) {
  FileRead read = ReadRegularFile(path, static_cast<std::size_t>(kMaxCommandFileBytes), options);
  CommandFileContent content;
  content.status = read.status;
  content.file = read.identity;
  if (read.identity) content.identity = IdentityOfJob(path, *read.identity, read.bytes);
  if (content.status == CommandFileContent::Status::Read)
    content.lines = SplitCommandLines(CommandFileText(read.bytes));
  content.bytes = std::move(read.bytes);
  return content;
}

}  // namespace velka::server
