#pragma once
// Blanks and letter case of text: the one way the system trims values and compares names.
// Only the ASCII letters have a case here. Names, keywords and extensions are ASCII, and the
// accented letters of single-byte text must come through unchanged whatever the locale.
#include <string>
#include <string_view>

namespace velka {

// Leading and trailing spaces removed; tabs stay. The trim of the register's text fields, of
// settings values and of command lines.
std::string_view TrimSpaces(std::string_view text);
std::u16string_view TrimSpaces(std::u16string_view text);

// Leading and trailing spaces and tabs removed: the trim of lines of INI files and port files,
// which editors indent with either.
std::string_view TrimSpacesAndTabs(std::string_view text);

// a-z made A-Z; every other byte unchanged.
std::string UpperAscii(std::string_view text);

// Equal when A-Z and a-z count as the same letters.
bool SameIgnoringAsciiCase(std::string_view a, std::string_view b);
bool SameIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

}  // namespace velka
