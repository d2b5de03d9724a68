#pragma once
// The register link in asynchronous mode on virtual time: commands are queued, the pump and
// the receive events send and complete them, and every event is recorded in order, as text,
// with the virtual time it was raised at.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "automation/result_codes.h"
#include "control/link/link_limits.h"
#include "tests/link/link_fixture.h"

namespace velka::testing {

class AsyncLinkTest : public LinkTest {
 protected:
  using Log = std::vector<std::string>;
  using QueueState = RegisterLink::QueueState;

  void SetUp() override {
    LinkTest::SetUp();
    state.AsyncMode = true;
    events.errorResponse = nullptr;  // the response the control presets stands
    events.onEvent = [this](const std::string&) { event_times.push_back(loop.now()); };
  }

  void queue(std::initializer_list<const char*> commands) {
    for (const char* command : commands) ASSERT_EQ(link->SendCommand(command, false), 0);
  }

  // Lets virtual time run until the queue has drained or halted.
  bool settle(Millis limit_ms = 300'000) {
    return loop.runUntil(
        [&] {
          const QueueState now = link->queueState();
          return now == QueueState::Empty || now == QueueState::Halted;
        },
        limit_ms);
  }

  // A status answer whose block check no longer matches.
  static Bytes Garbled(Bytes frame) {
    frame[10] ^= 0x01;
    return frame;
  }

  std::vector<Millis> event_times;  // one per entry of events.log
};

}  // namespace velka::testing
