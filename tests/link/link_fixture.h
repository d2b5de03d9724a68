#pragma once
// A register link on virtual time: a scripted register on the port, the trace in memory and
// the control's events recorded.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "automation/result_codes.h"
#include "control/core/control_state.h"
#include "control/core/trace_writer.h"
#include "control/link/frame_codec.h"
#include "control/link/register_link.h"
#include "tests/support/memory_trace_sink.h"
#include "tests/support/recording_events.h"
#include "tests/support/scripted_port.h"
#include "tests/support/scripted_register.h"
#include "tests/support/virtual_event_loop.h"

namespace velka::testing {

// The link's bytes by name, for the tests' scripts.
using link::ACK;
using link::NACK;

class LinkTest : public ::testing::Test {
 protected:
  using R = ScriptedRegister;

  LinkTest() : trace(state.TraceOn, [] { return LocalDateTime{2026, 12, 6, 10, 30, 0}; }) {}

  void SetUp() override {
    ASSERT_TRUE(port.open(1, 9600));
    state.LinkFree = true;
    state.TraceOn = true;
    state.events = &events;
    events.answerErrorsWith(kErrorResponseClear);
    trace.setSink(&sink);
    link = std::make_unique<RegisterLink>(state, loop, port, trace);
  }

  // Trace lines as mark ("<" or ">") + message, without the date.
  std::vector<std::string> traceMessages() const {
    std::vector<std::string> out;
    for (const std::string& line : trace_lines) out.push_back(TraceMessage(line).value_or(line));
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
  std::vector<std::string> trace_lines;
  MemoryTraceSink sink{trace_lines};
  TraceWriter trace;
  RecordingEvents events;
  std::unique_ptr<RegisterLink> link;
};

}  // namespace velka::testing
