#include "control/core/text_field.h"

#include "platform/single_byte_text.h"

namespace velka {

namespace {

template <class View>
View MidOf(View text, std::size_t start, std::size_t length) {
  if (start == 0 || start > text.size()) return {};
  return text.substr(start - 1, length);
}

}  // namespace

std::string TextField(std::u16string_view text) {
  if (text.empty()) return {};
  return "/(" + ToSingleByte(text) + ")";
}

std::string_view Mid(std::string_view text, std::size_t start, std::size_t length) {
  return MidOf(text, start, length);
}

std::u16string_view Mid(std::u16string_view text, std::size_t start, std::size_t length) {
  return MidOf(text, start, length);
}

}  // namespace velka
