// Trims and ASCII letter case, on single-byte and UTF-16 text alike.
#include "platform/ascii_text.h"

namespace velka {

namespace {

template <class View>
View TrimOf(View text, View blanks) {
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == View::npos) return {};
  const std::size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

template <class Char>
Char LowerAscii(Char c) {
  return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

template <class View>
bool SameIgnoringCase(View a, View b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string_view TrimSpaces(std::string_view text) {
  return TrimOf(text, std::string_view(" "));
}

std::u16string_view TrimSpaces(std::u16string_view text) {
  return TrimOf(text, std::u16string_view(u" "));
}

std::string_view TrimSpacesAndTabs(std::string_view text) {
  return TrimOf(text, std::string_view(" \t"));
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return SameIgnoringCase(a, b);
}

bool SameIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  return SameIgnoringCase(a, b);
}

}  // namespace velka
