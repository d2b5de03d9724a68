#pragma once
// The trace as the tests keep it: lines written to a vector of the test's, and the reading of
// a trace line without its date.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/core/trace_writer.h"

namespace velka::testing {

class MemoryTraceSink : public TraceSink {
 public:
  explicit MemoryTraceSink(std::vector<std::string>& lines) : lines_(lines) {}
  bool writeLine(std::string_view line) override {
    lines_.emplace_back(line);
    return true;
  }

 private:
  std::vector<std::string>& lines_;
};

// A trace line as mark + message, the date and time left out ("> - Invio ..."); nothing for
// a line without mark and message (the banners).
inline std::optional<std::string> TraceMessage(const std::string& line) {
  const auto message = line.find(" - ");
  if (message == std::string::npos || line.size() < 2 || line[1] != ' ') return std::nullopt;
  return line.substr(0, 1) + line.substr(message);
}

}  // namespace velka::testing
