#pragma once
// A register link on virtual time: a scripted register on the port, the trace in memory and
// the control's events recorded.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/core/control_events.h"
#include "control/core/control_state.h"
#include "control/core/trace_writer.h"
#include "control/link/frame_codec.h"
#include "control/link/register_link.h"
#include "tests/support/scripted_port.h"
#include "tests/support/virtual_event_loop.h"

namespace velka::testing {

class MemoryTrace : public TraceSink {
 public:
  bool writeLine(std::string_view line) override {
    lines.emplace_back(line);
    return true;
  }
  std::vector<std::string> lines;
};

class RecordedEvents : public ControlEvents {
 public:
  void StatusUpdateEvent(std::int32_t Status) override {
    statuses.push_back(Status);
    if (on_status) on_status(Status);
  }
  void ErrorEvent(std::int32_t ResultCode, std::int32_t ResultCodeExtended, std::int32_t,
                  std::int32_t& pErrorResponse) override {
    errors.push_back({ResultCode, ResultCodeExtended});
    pErrorResponse = error_response;
  }
  void ReceiveDataEvent(const std::u16string& pString) override {
    data.push_back(pString);
    if (on_data) on_data(pString);
  }

  struct Error {
    std::int32_t code;
    std::int32_t extended;
  };
  std::vector<std::int32_t> statuses;
  std::vector<Error> errors;
  std::vector<std::u16string> data;
  std::int32_t error_response = kErrorResponseClear;
  std::function<void(std::int32_t)> on_status;
  std::function<void(const std::u16string&)> on_data;
};

class LinkTest : public ::testing::Test {
 protected:
  LinkTest() : trace(state.TraceOn, [] { return LocalDateTime{2026, 12, 6, 10, 30, 0}; }) {}

  void SetUp() override {
    ASSERT_TRUE(port.open(1, 9600));
    state.LinkFree = true;
    state.TraceOn = true;
    state.events = &events;
    trace.setSink(&sink);
    link = std::make_unique<RegisterLink>(state, loop, port, trace);
  }

  // Trace lines as mark ("<" or ">") + message, without the date.
  std::vector<std::string> traceMessages() const {
    std::vector<std::string> out;
    for (const std::string& line : sink.lines) {
      const auto message = line.find(" - ");
      out.push_back(message == std::string::npos ? line : line.substr(0, 1) + line.substr(message));
    }
    return out;
  }
  bool traced(const std::string& mark_and_message) const {
    for (const std::string& m : traceMessages()) {
      if (m == mark_and_message) return true;
    }
    return false;
  }

  // Every write of the control that was a frame (not a single reply byte).
  std::vector<ScriptedPort::Written> framesWritten() const {
    std::vector<ScriptedPort::Written> frames;
    for (const auto& w : port.written()) {
      if (w.bytes.size() > 1) frames.push_back(w);
    }
    return frames;
  }

  static Bytes B(std::string_view text) { return Bytes(text.begin(), text.end()); }

  VirtualEventLoop loop;
  ScriptedPort port{loop};
  ScriptedRegister reg{port};
  ControlState state;
  MemoryTrace sink;
  TraceWriter trace;
  RecordedEvents events;
  std::unique_ptr<RegisterLink> link;
};

}  // namespace velka::testing
