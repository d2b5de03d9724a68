#pragma once
// How the register lays out what it prints: 32 characters a line, amounts in euro with a
// decimal comma ("1.234,50").
#include <cstdint>
#include <string>
#include <string_view>

namespace velka::sim {

inline constexpr std::size_t kPaperWidth = 32;

// Hundredths as printed: "-1.234,50".
std::string PaperAmount(std::int64_t hundredths);
// A rate in hundredths of a percent as printed: "22,00%".
std::string PaperPercent(std::int64_t hundredths);
// `left` and `right` on one line, `left` cut so that both fit.
std::string LeftRight(std::string_view left, std::string_view right);
std::string Centered(std::string_view text);
std::string Rule();
// A line padded with blanks to exactly kPaperWidth characters (cut when longer).
std::string FullWidth(std::string_view line);
// Zero-padded decimal digits.
std::string Padded(std::int64_t value, int width);

}  // namespace velka::sim
