#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace velka {

namespace {

// A value is read into a buffer of 255 characters, terminator included.
constexpr std::size_t kMaxValueLength = 254;
// Lines longer than this are not settings; the parser skips them (a write keeps them).
constexpr std::size_t kMaxLineLength = 64 * 1024;
// No initialization file is this large; reading stops here so a stray file cannot exhaust
// memory, and a write refuses to rewrite a file it could not read whole.
constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

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
  std::string_view text = Trim(line);
  if (text.empty() || text.front() == ';') return result;
  if (text.front() == '[') {
    text.remove_prefix(1);
    const std::size_t close = text.find(']');
    result.kind = ProfileLine::kSection;
    result.name = Trim(close == std::string_view::npos ? text : text.substr(0, close));
    return result;
  }
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return result;
  result.kind = ProfileLine::kKey;
  result.name = Trim(text.substr(0, equals));
  result.value = Trim(text.substr(equals + 1));
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

enum class ReadOutcome { kRead, kMissing, kFailed, kTooLarge };

// Reads at most kMaxFileSize bytes; kTooLarge when the file goes on beyond them.
ReadOutcome ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  // Non-blocking open: a pipe or device in the file's place must not hang the reader.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    return errno == ENOENT || errno == ENOTDIR ? ReadOutcome::kMissing : ReadOutcome::kFailed;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ReadOutcome::kFailed;
  }
  ReadOutcome outcome = ReadOutcome::kRead;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      outcome = ReadOutcome::kFailed;
      break;
    }
    if (n == 0) break;
    const std::size_t room = kMaxFileSize - out.size();
    if (static_cast<std::size_t>(n) > room) {
      out.append(buffer, room);
      outcome = ReadOutcome::kTooLarge;
      break;
    }
    out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return outcome;
}

// Names and values that would change the structure of the file are refused.
bool WritableEntry(std::string_view section, std::string_view key, std::string_view value) {
  auto has_line_end = [](std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
  };
  if (has_line_end(section) || has_line_end(key) || has_line_end(value)) return false;
  if (section.find(']') != std::string_view::npos) return false;
  key = Trim(key);
  if (key.empty() || key.find('=') != std::string_view::npos || key.front() == ';' ||
      key.front() == '[') {
    return false;
  }
  return key.size() <= kMaxLineLength && Trim(section).size() <= kMaxLineLength;
}

// The lines of text with key=value set in section, every other line unchanged.
std::vector<std::string> WithValue(std::string_view text, std::string_view section,
                                   std::string_view key, std::string_view value) {
  const std::vector<std::string_view> lines = SplitLines(text);
  std::vector<std::string> out(lines.begin(), lines.end());
  section = Trim(section);
  key = Trim(key);

  bool in_section = false;
  std::size_t first_section_end = std::string::npos;  // where a new key goes
  std::size_t last_content = 0;
  bool found_section = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ProfileLine line = ClassifyLine(i == 0 ? WithoutByteOrderMark(lines[i]) : lines[i]);
    if (line.kind == ProfileLine::kSection) {
      if (in_section && first_section_end == std::string::npos) first_section_end = last_content;
      in_section = SameName(line.name, section);
      if (in_section && !found_section) {
        found_section = true;
        last_content = i + 1;
      }
      continue;
    }
    if (!in_section) continue;
    if (line.kind == ProfileLine::kKey && SameName(line.name, key)) {
      out[i] = std::string(line.name) + "=" + std::string(value);
      return out;
    }
    if (!Trim(lines[i]).empty() && first_section_end == std::string::npos) last_content = i + 1;
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

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Writes the new contents beside the file and renames them over it, so that a reader sees
// the old file or the new one, never a part.
bool ReplaceFile(const std::string& path, std::string_view contents) {
  std::string target = path;
  struct stat st {};
  bool existed = ::lstat(path.c_str(), &st) == 0;
  if (existed && S_ISLNK(st.st_mode)) {
    // Keep the link: replace the file it points to.
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return false;
    target = resolved;
    existed = ::stat(target.c_str(), &st) == 0;
  }
  if (existed && !S_ISREG(st.st_mode)) return false;

  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = target + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteAll(fd, contents);
  if (ok && existed) ok = ::fchmod(fd, st.st_mode & 07777) == 0;
  if (ok) ok = ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view ini_text, std::string_view section,
                                            std::string_view key) {
  section = Trim(section);
  key = Trim(key);
  ini_text = WithoutByteOrderMark(ini_text);
  bool in_section = false;
  while (!ini_text.empty()) {
    const std::size_t end = ini_text.find('\n');
    std::string_view line = ini_text.substr(0, end);
    ini_text = end == std::string_view::npos ? std::string_view() : ini_text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

    const ProfileLine parsed = ClassifyLine(line);
    if (parsed.kind == ProfileLine::kSection) {
      in_section = SameName(parsed.name, section);
    } else if (in_section && parsed.kind == ProfileLine::kKey && SameName(parsed.name, key)) {
      return CleanValue(parsed.value);
    }
  }
  return std::nullopt;
}

std::optional<std::string> ReadProfileString(const std::string& path, std::string_view section,
                                             std::string_view key) {
  std::string text;
  const ReadOutcome outcome = ReadWholeFile(path, text);
  if (outcome == ReadOutcome::kMissing || outcome == ReadOutcome::kFailed) return std::nullopt;
  if (outcome == ReadOutcome::kTooLarge) {
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
  std::string text;
  const ReadOutcome outcome = ReadWholeFile(path, text);
  if (outcome == ReadOutcome::kFailed || outcome == ReadOutcome::kTooLarge) return false;

  std::string contents;
  for (const std::string& line : WithValue(text, section, key, value)) {
    contents += line;
    contents += "\r\n";
  }
  return ReplaceFile(path, contents);
}

}  // namespace velka
