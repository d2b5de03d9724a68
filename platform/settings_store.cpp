#include "platform/settings_store.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/ascii_text.h"
#include "platform/content_digest.h"
#include "platform/ini_file.h"
#include "platform/whole_file.h"

namespace velka {

namespace {

// A record holds the digest of its value (16 hexadecimal digits), a blank and the value, padded
// with blanks to one length (values are at most 254 characters), then a line end.
constexpr std::size_t kRecordWidth = 16 + 1 + 256;

// One folder level under ConfigHome(): no separators, no way up.
bool SafeName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool CreateApplicationFolder(const std::string& application) {
  std::error_code error;
  std::filesystem::create_directories(ConfigHome() + "/" + application, error);
  return !error;
}

std::string Record(const std::string& value) {
  char digest[24];
  std::snprintf(digest, sizeof digest, "%016llx",
                static_cast<unsigned long long>(ContentDigest(value)));
  std::string record = std::string(digest) + " " + value;
  if (record.size() < kRecordWidth) record.resize(kRecordWidth, ' ');
  return record + "\n";
}

// The value of a record that reads back whole; nothing for a damaged one.
std::optional<std::string> ValueOfRecord(const std::string& path) {
  const FileRead read = ReadRegularFile(path, kRecordWidth + 1);
  if (read.status != FileReadStatus::Read || read.bytes.size() < 18) return std::nullopt;
  const std::string line = read.bytes.substr(0, read.bytes.find('\n'));
  const std::string rest = line.substr(17);
  const std::string value(TrimSpaces(rest));
  char digest[24];
  std::snprintf(digest, sizeof digest, "%016llx",
                static_cast<unsigned long long>(ContentDigest(value)));
  if (line.compare(0, 16, digest) != 0 || line[16] != ' ') return std::nullopt;
  return value;
}

}  // namespace

std::string IniSettingsStore::PathFor(const std::string& application) {
  return ConfigHome() + "/" + application + "/settings.ini";
}

std::string IniSettingsStore::RecordPathFor(const std::string& application,
                                            const std::string& section, const std::string& key) {
  return ConfigHome() + "/" + application + "/" + UpperAscii(section) + "." + UpperAscii(key) +
         ".value";
}

std::optional<std::string> IniSettingsStore::read(const std::string& application,
                                                  const std::string& section,
                                                  const std::string& key) {
  if (!SafeName(application)) return std::nullopt;
  if (SafeName(section) && SafeName(key)) {
    if (std::optional<std::string> value =
            ValueOfRecord(RecordPathFor(application, section, key))) {
      return value;
    }
  }
  return ReadProfileString(PathFor(application), section, key);
}

bool IniSettingsStore::write(const std::string& application, const std::string& section,
                             const std::string& key, const std::string& value) {
  if (!SafeName(application) || !CreateApplicationFolder(application)) return false;
  if (!WriteProfileString(PathFor(application), section, key, value)) return false;
  // The settings file holds the value now: a record of an earlier one must not hide it.
  if (SafeName(section) && SafeName(key)) {
    const std::string record = RecordPathFor(application, section, key);
    records_.erase(record);
    RemoveFile(record);
  }
  return true;
}

bool IniSettingsStore::writeUnflushed(const std::string& application, const std::string& section,
                                      const std::string& key, const std::string& value) {
  if (!SafeName(section) || !SafeName(key) || value.size() > kRecordWidth - 17) {
    return write(application, section, key, value);
  }
  if (!SafeName(application)) return false;
  const std::string path = RecordPathFor(application, section, key);
  OverwrittenFile& record = records_[path];
  if (!record.isOpen() && !(CreateApplicationFolder(application) && record.open(path))) {
    return false;
  }
  return record.write(Record(value));
}

}  // namespace velka
