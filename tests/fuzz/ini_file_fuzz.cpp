// Any initialization file to the profile reader, and a write into it: no crash; a value is
// within the profile limits; the file is read as the text is; after a write the key reads
// back as written and another key reads as before.
//
// Input: section, key, value, another section and key (one a line), then the file's text.
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/ini_file.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using namespace velka;
using fuzz::Require;

constexpr std::size_t kMaxValueLength = 254;
constexpr std::size_t kMaxName = 64;

// One scratch file for the whole run, in memory when the system has a memory file system.
const std::string& ScratchFile() {
  static const fuzz::ScratchFolder folder("velka-ini-fuzz");
  static const std::string path = folder.file("fuzz.ini");
  return path;
}

std::string Folded(std::string name) {
  while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.erase(0, 1);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

// A value that reads back unchanged: no blanks or quotes at its ends, within the limit.
std::string PlainValue(const std::string& raw) {
  std::string value;
  for (const char c : raw.substr(0, kMaxValueLength)) {
    value.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  }
  return value;
}

void CheckValue(const std::optional<std::string>& value) {
  if (!value) return;
  Require(value->size() <= kMaxValueLength);
  Require(value->find('\n') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::string section = input.takeField(kMaxName);
  const std::string key = input.takeField(kMaxName);
  const std::string value = PlainValue(input.takeField(kMaxValueLength + 10));
  const std::string other_section = input.takeField(kMaxName);
  const std::string other_key = input.takeField(kMaxName);
  const std::string text(input.restText());

  const std::optional<std::string> found = FindProfileValue(text, section, key);
  CheckValue(found);
  const std::optional<std::string> other_before = FindProfileValue(text, other_section, other_key);
  CheckValue(other_before);

  const std::string& path = ScratchFile();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  Require(ReadProfileString(path, section, key) == found);

  if (!WriteProfileString(path, section, key, value)) return 0;
  Require(ReadProfileString(path, section, key) == value);
  const bool same_entry =
      Folded(section) == Folded(other_section) && Folded(key) == Folded(other_key);
  if (!same_entry) Require(ReadProfileString(path, other_section, other_key) == other_before);
  return 0;
}
