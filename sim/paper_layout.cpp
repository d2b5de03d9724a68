#include "sim/paper_layout.h"

#include <cstdio>

namespace velka::sim {

std::string PaperAmount(std::int64_t hundredths) {
  const bool negative = hundredths < 0;
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(hundredths)
                                     : static_cast<std::uint64_t>(hundredths);
  const unsigned cents = static_cast<unsigned>(magnitude % 100);
  std::string whole = std::to_string(magnitude / 100);
  for (int i = static_cast<int>(whole.size()) - 3; i > 0; i -= 3) whole.insert(i, ".");
  char tail[8];
  std::snprintf(tail, sizeof tail, ",%02u", cents);
  return (negative ? "-" : "") + whole + tail;
}

std::string PaperPercent(std::int64_t hundredths) {
  return PaperAmount(hundredths) + "%";
}

std::string LeftRight(std::string_view left, std::string_view right) {
  if (right.size() >= kPaperWidth) return std::string(right.substr(0, kPaperWidth));
  const std::size_t room = kPaperWidth - right.size() - 1;
  std::string line(left.substr(0, room));
  line.append(kPaperWidth - line.size() - right.size(), ' ');
  line += right;
  return line;
}

std::string Centered(std::string_view text) {
  text = text.substr(0, kPaperWidth);
  return std::string((kPaperWidth - text.size()) / 2, ' ') + std::string(text);
}

std::string Rule() {
  return std::string(kPaperWidth, '-');
}

std::string FullWidth(std::string_view line) {
  std::string out(line.substr(0, kPaperWidth));
  out.resize(kPaperWidth, ' ');
  return out;
}

std::string Padded(std::int64_t value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*lld", width, static_cast<long long>(value));
  return buffer;
}

}  // namespace velka::sim
