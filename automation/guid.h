#pragma once
// Globally unique identifiers of the library, the class and its interfaces, and their text
// form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" used in the registration. Header-only: hosts
// and the control library both use it.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velka {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};

  friend constexpr bool operator==(const Guid&, const Guid&) = default;
};

namespace guid_text {
inline constexpr char kHexDigits[] = "0123456789ABCDEF";
inline void appendHex(std::string& out, std::uint64_t value, int digits) {
  for (int i = digits - 1; i >= 0; --i) out += kHexDigits[(value >> (4 * i)) & 0xF];
}
inline int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace guid_text

// "{2A584E1A-7CCE-4FD4-9180-6962032CE8AC}": upper-case digits, with braces.
inline std::string GuidToText(const Guid& g) {
  std::string out = "{";
  guid_text::appendHex(out, g.data1, 8);
  out += '-';
  guid_text::appendHex(out, g.data2, 4);
  out += '-';
  guid_text::appendHex(out, g.data3, 4);
  out += '-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) out += '-';
    guid_text::appendHex(out, g.data4[i], 2);
  }
  return out + "}";
}

// Reads the form GuidToText writes, in either letter case, with or without braces.
inline std::optional<Guid> GuidFromText(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
    text = text.substr(1, 36);
  }
  if (text.size() != 36) return std::nullopt;
  std::array<std::uint8_t, 16> bytes{};
  std::size_t n = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return std::nullopt;
      continue;
    }
    const int high = guid_text::hexValue(text[i]);
    const int low = i + 1 < text.size() ? guid_text::hexValue(text[i + 1]) : -1;
    if (high < 0 || low < 0) return std::nullopt;
    bytes[n++] = static_cast<std::uint8_t>(high * 16 + low);
    ++i;
  }
  Guid g;
  g.data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
            (std::uint32_t{bytes[2]} << 8) | bytes[3];
  g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
  g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) g.data4[i] = bytes[8 + i];
  return g;
}

}  // namespace velka
