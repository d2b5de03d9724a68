#pragma once
// Text fields of command strings: descriptions, messages, header lines. Automation text is
// measured in UTF-16 units and trimmed as it came (of spaces only, TrimSpaces of
// platform/ascii_text.h: tabs stay); it becomes single-byte only when it is put into a
// command string.
#include <cstddef>
#include <string>
#include <string_view>

namespace velka {

// The register prints at most this many characters of a description or message line.
inline constexpr std::size_t kMaxTextField = 20;

// "/(" text ")" in single-byte characters, or nothing when the text is empty. The text goes
// out unchanged: a "/" or ")" inside it is not escaped.
std::string TextField(std::u16string_view text);

// The characters at positions start to start + length - 1 (counted from 1), as far as the
// text reaches; empty when it starts beyond the end.
std::string_view Mid(std::string_view text, std::size_t start, std::size_t length);
std::u16string_view Mid(std::u16string_view text, std::size_t start, std::size_t length);

}  // namespace velka
