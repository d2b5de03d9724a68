// Reading and writing INI files by the profile rules, on the platform's whole-file operations.
#include "platform/ini_file.h"

#include <vector>

#include "platform/ascii_text.h"
#include "platform/whole_file.h"

namespace velka {

namespace {

// A value is read into a buffer of 255 characters, terminator included.
constexpr std::size_t kMaxValueLength = 254;
// Lines longer than this are not settings; the parser skips them (a write keeps them).
constexpr std::size_t kMaxLineLength = 64 * 1024;
// No initialization file is this large; reading stops here so a stray file cannot exhaust
// memory, and a write refuses to rewrite a file it could not read whole.
constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;

// Editors on some systems put a byte-order mark before the first line.
std::string_view WithoutByteOrderMark(std::string_view text) {
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  if (text.substr(0, kMark.size()) == kMark) text.remove_prefix(kMark.size());
  return text;
}

// One line of an initialization file, as the profile rules see it.
struct ProfileLine {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed, quotes still on
};

ProfileLine ClassifyLine(std::string_view line) {
  ProfileLine result;
  if (line.size() > kMaxLineLength) return result;
  std::string_view text = TrimSpacesAndTabs(line);
  if (text.empty() || text.front() == ';') return result;
  if (text.front() == '[') {
    text.remove_prefix(1);
    const std::size_t close = text.find(']');
    result.kind = ProfileLine::kSection;
    result.name = TrimSpacesAndTabs(close == std::string_view::npos ? text : text.substr(0, close));
    return result;
  }
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return result;
  result.kind = ProfileLine::kKey;
  result.name = TrimSpacesAndTabs(text.substr(0, equals));
  result.value = TrimSpacesAndTabs(text.substr(equals + 1));
  return result;
}

std::string CleanValue(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value.substr(0, kMaxValueLength));
}

// Lines without their LF or CR LF; a final line without an end counts as a line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// Names and values that would change the structure of the file are refused.
bool WritableEntry(std::string_view section, std::string_view key, std::string_view value) {
  auto has_line_end = [](std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
  };
  if (has_line_end(section) || has_line_end(key) || has_line_end(value)) return false;
  if (section.find(']') != std::string_view::npos) return false;
  key = TrimSpacesAndTabs(key);
  if (key.empty() || key.find('=') != std::string_view::npos || key.front() == ';' ||
      key.front() == '[') {
    return false;
  }
  return key.size() <= kMaxLineLength && TrimSpacesAndTabs(section).size() <= kMaxLineLength;
}

// The lines of text with key=value set in section, every other line unchanged.
std::vector<std::string> WithValue(std::string_view text, std::string_view section,
                                   std::string_view key, std::string_view value) {
  const std::vector<std::string_view> lines = SplitLines(text);
  std::vector<std::string> out(lines.begin(), lines.end());
  section = TrimSpacesAndTabs(section);
  key = TrimSpacesAndTabs(key);

  bool in_section = false;
  std::size_t first_section_end = std::string::npos;  // where a new key goes
  std::size_t last_content = 0;
  bool found_section = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ProfileLine line = ClassifyLine(i == 0 ? WithoutByteOrderMark(lines[i]) : lines[i]);
    if (line.kind == ProfileLine::kSection) {
      if (in_section && first_section_end == std::string::npos) first_section_end = last_content;
      in_section = SameIgnoringAsciiCase(line.name, section);
      if (in_section && !found_section) {
        found_section = true;
        last_content = i + 1;
      }
      continue;
    }
    if (!in_section) continue;
    if (line.kind == ProfileLine::kKey && SameIgnoringAsciiCase(line.name, key)) {
      out[i] = std::string(line.name) + "=" + std::string(value);
      return out;
    }
    if (!TrimSpacesAndTabs(lines[i]).empty() && first_section_end == std::string::npos)
      last_content = i + 1;
  }
  const std::string entry = std::string(key) + "=" + std::string(value);
  if (found_section) {
    if (first_section_end == std::string::npos) first_section_end = last_content;
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(first_section_end), entry);
  } else {
    out.push_back("[" + std::string(section) + "]");
    out.push_back(entry);
  }
  return out;
}

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view ini_text, std::string_view section,
                                            std::string_view key) {
  section = TrimSpacesAndTabs(section);
  key = TrimSpacesAndTabs(key);
  ini_text = WithoutByteOrderMark(ini_text);
  bool in_section = false;
  while (!ini_text.empty()) {
    const std::size_t end = ini_text.find('\n');
    std::string_view line = ini_text.substr(0, end);
    ini_text = end == std::string_view::npos ? std::string_view() : ini_text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    const ProfileLine parsed = ClassifyLine(line);
    if (parsed.kind == ProfileLine::kSection) {
      in_section = SameIgnoringAsciiCase(parsed.name, section);
    } else if (in_section && parsed.kind == ProfileLine::kKey &&
               SameIgnoringAsciiCase(parsed.name, key)) {
      return CleanValue(parsed.value);
    }
  }
  return std::nullopt;
}

std::optional<std::string> ReadProfileString(const std::string& path, std::string_view section,
                                             std::string_view key) {
  FileRead read = ReadRegularFile(path, kMaxFileSize);
  std::string& text = read.bytes;
  if (read.status == FileReadStatus::Missing || read.status == FileReadStatus::Unreadable) {
    return std::nullopt;
  }
  if (read.status == FileReadStatus::TooLarge) {
    // The last line was cut; it must not be read as a shorter value.
    const std::size_t last_end = text.rfind('\n');
    text.resize(last_end == std::string::npos ? 0 : last_end + 1);
  }
  return FindProfileValue(text, section, key);
}

std::string GetProfileString(const std::string& path, std::string_view section,
                             std::string_view key, std::string_view default_value) {
  if (auto value = ReadProfileString(path, section, key)) return *value;
  return std::string(default_value);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
  if (!WritableEntry(section, key, value)) return false;
  const FileRead read = ReadRegularFile(path, kMaxFileSize);
  if (read.status == FileReadStatus::Unreadable || read.status == FileReadStatus::TooLarge) {
    return false;
  }

  std::string contents;
  for (const std::string& line : WithValue(read.bytes, section, key, value)) {
    contents += line;
    contents += "\r\n";
  }
  // A settings file that a link puts elsewhere stays there, and a crash never leaves it
  // half-written or empty.
  return WriteFileReplacing(path, contents, {.durable = true, .keep_link_and_mode = true});
}

}  // namespace velka
