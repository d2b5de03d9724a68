#include "sim/register_frames.h"

#include <cstdio>

namespace velka::sim {

namespace {

void AppendText(Bytes& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

std::string Digits(std::size_t value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*zu", width, value);
  return buffer;
}

// Closes a frame whose bytes up to the data are in `frame`: check digits, ETX.
Bytes CloseFrame(Bytes frame, bool corrupt_check) {
  std::uint8_t check = XorCheck(frame.data(), frame.data() + frame.size());
  if (corrupt_check) check ^= 0x5A;
  AppendText(frame, CheckDigits(check));
  frame.push_back(ETX);
  return frame;
}

Bytes AnswerFrame(std::string_view data_field, bool corrupt_check) {
  Bytes frame;
  frame.reserve(data_field.size() + 10);
  frame.push_back(STX);
  AppendText(frame, "01");
  AppendText(frame, Digits(data_field.size(), 3));
  frame.push_back('N');
  AppendText(frame, data_field);
  return CloseFrame(std::move(frame), corrupt_check);
}

}  // namespace

std::uint8_t XorCheck(const std::uint8_t* begin, const std::uint8_t* end) {
  std::uint8_t check = 0;
  bool started = false;
  for (const std::uint8_t* p = begin; p != end; ++p) {
    if (*p == STX) started = true;
    if (started) check ^= *p;
  }
  return check;
}

std::string CheckDigits(std::uint8_t check) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  return {kHex[check >> 4], kHex[check & 0x0F]};
}

std::string Printable(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
  }
  return out;
}

Bytes EncodeStatusAnswer(const StatusAnswer& answer, char sequence, bool corrupt_check) {
  int number = answer.error_number;
  if (number < 0 || number > 9999) number = 9999;
  std::string field;
  field += answer.error ? 'E' : 'O';
  field += answer.condition;
  field += Digits(static_cast<std::size_t>(number), 4);
  field += '0';
  field += static_cast<char>(answer.document);
  field += answer.further ? '1' : '0';
  field += sequence;
  field += '0';
  return AnswerFrame(Printable(field), corrupt_check);
}

Bytes EncodeDataAnswer(char kind, std::string_view data, bool corrupt_check) {
  std::string field(1, kind);
  field += data.substr(0, kMaxTextLength - 1);
  return AnswerFrame(Printable(field), corrupt_check);
}

Bytes EncodeDataLines(const std::vector<std::string>& lines) {
  Bytes out;
  for (const std::string& line : lines) {
    AppendText(out, Printable(line));
    out.push_back(CR);
    out.push_back(LF);
  }
  return out;
}

Bytes EncodeCommandFrame(std::string_view text, char sequence) {
  Bytes frame;
  frame.reserve(text.size() + 11);
  frame.push_back(STX);
  AppendText(frame, "01");
  AppendText(frame, Digits(text.size(), 3));
  const bool v_frame = text.starts_with(">>/?S") || text.starts_with("=W");
  frame.push_back(v_frame ? 'V' : 'N');
  AppendText(frame, text);
  frame.push_back(static_cast<std::uint8_t>(sequence));
  return CloseFrame(std::move(frame), false);
}

}  // namespace velka::sim
