#pragma once
// Initialization files with the Windows profile rules: [Section] headers and key=value lines;
// section and key names compared without letter case; blanks around a value dropped; one
// pair of surrounding double or single quotes removed; values cut at 254 characters. A write
// changes one key in place and keeps every other line (comments included); it goes to a
// temporary file in the same folder that is renamed over the old one, so a crash never leaves
// a half-written file. Text is single-byte, lines end in CR LF or LF (CR LF is written).
#include <optional>
#include <string>
#include <string_view>

namespace velka {

// The value of key in section, or nothing when the file, the section or the key is missing.
// A key present with an empty value gives the empty text.
std::optional<std::string> ReadProfileString(const std::string& path, std::string_view section,
                                             std::string_view key);

// ReadProfileString with a default for a missing file, section or key.
std::string GetProfileString(const std::string& path, std::string_view section,
                             std::string_view key, std::string_view default_value);

// Writes key=value in section, creating the file and the section when missing. False when
// the file cannot be written; the old file is then left as it was.
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

// Parses INI text held in memory (for tests and fuzzing): the value as ReadProfileString
// would find it.
std::optional<std::string> FindProfileValue(std::string_view ini_text, std::string_view section,
                                            std::string_view key);

}  // namespace velka
