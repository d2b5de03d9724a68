#include "control/core/trace_writer.h"

#include <string>

namespace velka {

TraceWriter::TraceWriter(const bool& trace_on, WallClock clock)
    : trace_on_(trace_on), clock_(clock ? std::move(clock) : WallClock(CurrentLocalDateTime)) {}

std::string TraceWriter::now() const {
  return GeneralDateTime(clock_());
}

void TraceWriter::sent(std::string_view message) {
  line("> ", message);
}

void TraceWriter::received(std::string_view message) {
  line("< ", message);
}

bool TraceWriter::plain(std::string_view text) {
  return sink_ && sink_->writeLine(text);
}

void TraceWriter::line(std::string_view mark, std::string_view message) {
  if (!trace_on_ || !sink_) return;
  std::string text;
  text.reserve(mark.size() + 19 + message.size());
  text.append(mark).append(now()).append(message);
  sink_->writeLine(text);
}

}  // namespace velka
