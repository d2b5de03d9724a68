#pragma once
// The one writer of trace lines. A line is a mark ("> " for what the control sends or
// decides, "< " for what it receives or judges), the general date-time and a message that
// begins with " - ". Lines are written only while TraceOn is true and a sink is attached.
#include <memory>
#include <string>
#include <string_view>

#include "platform/local_time.h"

namespace velka {

// Where trace lines go: the trace file, or a test's memory. Lines come without line end.
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  // False when the line could not be written.
  virtual bool writeLine(std::string_view line) = 0;
};

class TraceWriter {
 public:
  // trace_on is the control's TraceOn member, read at each line.
  TraceWriter(const bool& trace_on, WallClock clock);

  void setSink(TraceSink* sink) { sink_ = sink; }
  TraceSink* sink() const { return sink_; }

  // "> " + date-time + message.
  void sent(std::string_view message);
  // "< " + date-time + message.
  void received(std::string_view message);
  // A line without mark or date (the banners); written when a sink is attached.
  bool plain(std::string_view text);

  std::string now() const;  // the general date-time of the wall clock

 private:
  void line(std::string_view mark, std::string_view message);
  const bool& trace_on_;
  WallClock clock_;
  TraceSink* sink_ = nullptr;
};

}  // namespace velka
