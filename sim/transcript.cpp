#include "sim/transcript.h"

#include <cstdio>

namespace velka::sim {

namespace {

const char* ControlName(std::uint8_t byte) {
  switch (byte) {
    case STX:
      return "STX";
    case ETX:
      return "ETX";
    case ACK:
      return "ACK";
    case NACK:
      return "NACK";
    case CR:
      return "CR";
    case LF:
      return "LF";
    default:
      return nullptr;
  }
}

void AppendToken(std::string& out, const std::string& token) {
  if (!out.empty()) out += ' ';
  out += token;
}

std::string Text(const Bytes& bytes, std::size_t from, std::size_t to) {
  std::string text;
  for (std::size_t i = from; i < to; ++i) {
    const std::uint8_t b = bytes[i];
    if (b < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<0x%02X>", b);
      text += hex;
    } else {
      text += static_cast<char>(b);
    }
  }
  return text;
}

// Bytes from..to-1 as tokens: control bytes named, the rest as text runs.
void AppendPlain(std::string& out, const Bytes& bytes, std::size_t from, std::size_t to) {
  std::size_t run = from;
  for (std::size_t i = from; i < to; ++i) {
    const char* name = ControlName(bytes[i]);
    if (name == nullptr) continue;
    if (i > run) AppendToken(out, Text(bytes, run, i));
    AppendToken(out, name);
    run = i + 1;
  }
  if (to > run) AppendToken(out, Text(bytes, run, to));
}

void AppendFrame(std::string& out, const Bytes& f, bool from_control) {
  const std::size_t n = f.size();
  AppendToken(out, "STX");
  AppendToken(out, Text(f, 1, 3));
  AppendToken(out, Text(f, 3, 6));
  AppendToken(out, Text(f, 6, 7));
  if (from_control) {
    AppendToken(out, n > 11 ? Text(f, 7, n - 4) : "\"\"");
    AppendToken(out, Text(f, n - 4, n - 3));
  } else {
    AppendToken(out, Text(f, 7, n - 3));
  }
  AppendToken(out, Text(f, n - 3, n - 1));
  AppendToken(out, "ETX");
}

}  // namespace

std::string DescribeBytes(const Bytes& bytes, bool from_control) {
  std::string out;
  std::size_t i = 0;
  const std::size_t smallest = from_control ? 11 : 10;
  while (i < bytes.size()) {
    if (bytes[i] == STX) {
      std::size_t end = i + 1;
      while (end < bytes.size() && bytes[end] != ETX && bytes[end] != STX) ++end;
      if (end < bytes.size() && bytes[end] == ETX && end + 1 - i >= smallest) {
        AppendFrame(out,
                    Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                          bytes.begin() + static_cast<std::ptrdiff_t>(end + 1)),
                    from_control);
        i = end + 1;
        continue;
      }
      AppendToken(out, "STX");
      ++i;
      continue;
    }
    std::size_t next = i;
    while (next < bytes.size() && bytes[next] != STX) ++next;
    AppendPlain(out, bytes, i, next);
    i = next;
  }
  return out;
}

std::string TranscriptLine(const Traffic& traffic, Micros since_start_us) {
  char time[32];
  const Micros t = since_start_us > 0 ? since_start_us : 0;
  std::snprintf(time, sizeof time, "%lld.%06lld", static_cast<long long>(t / 1'000'000),
                static_cast<long long>(t % 1'000'000));
  switch (traffic.direction) {
    case Traffic::Direction::In:
      return std::string(time) + " < " + DescribeBytes(traffic.bytes, true);
    case Traffic::Direction::Out: {
      // A stream of data lines: one transcript line for each.
      const std::string prefix = std::string(time) + " > ";
      std::string text = DescribeBytes(traffic.bytes, false);
      std::string out;
      for (std::size_t at; (at = text.find(" CR LF ")) != std::string::npos;) {
        out += prefix + text.substr(0, at + 6) + "\n";
        text.erase(0, at + 7);
      }
      return out + prefix + text;
    }
    case Traffic::Direction::Note:
      break;
  }
  return std::string(time) + " # " + traffic.note;
}

}  // namespace velka::sim
