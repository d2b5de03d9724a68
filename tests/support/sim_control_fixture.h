#pragma once
// The real control against the simulated register, in one process and one thread: one
// PollEventLoop serves the register's pseudo-terminal and runs the control's waits. The
// terminal is linked as com<N> in a temporary XDG_CONFIG_HOME, so TMVOpen finds it the way a
// host's does (ports folder, PosixSerialPort, termios) and nothing touches the real home.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "control/device/tmv_ecr_velka.h"
#include "platform/posix/poll_event_loop.h"
#include "sim/port_link.h"
#include "sim/simulated_register.h"
#include "tests/support/recording_events.h"
#include "tests/support/temporary_home.h"

namespace velka::testing {

struct SimControlOptions {
  int port = 11;  // com<N>; each test program uses its own number
  sim::SimOptions register_options{0, 50, LocalDateTime{2026, 12, 6, 18, 30, 0}};
  bool trace = false;  // "TraceLOG" on before the control is created
};

class SimControlFixture : public ::testing::Test {
 protected:
  explicit SimControlFixture(SimControlOptions options = {}) : options_(std::move(options)) {}

  // The home, the register, its port link and the control, opened on the port.
  void SetUp() override;
  void TearDown() override;

  // GetData of one item; expects 0.
  std::u16string data(std::int32_t item);
  // DirectIO with Command and pData 0.
  std::int32_t direct(const std::u16string& command);
  // DirectIO2 (any printer state, unlike GetData); expects 0.
  std::u16string ask(const std::u16string& request);
  std::int32_t sell(const std::u16string& description, Currency price, std::int32_t quantity);
  std::int32_t pay(Currency payment, const std::u16string& description = u"1");

  // The trace file's lines as mark + message, the date and time left out:
  // "> - Invio ...".
  std::vector<std::string> traceMessages() const;
  // Some printed line holds the text.
  bool printed(const std::string& text) const;

  const SimControlOptions options_;
  PollEventLoop loop;
  std::unique_ptr<TemporaryHome> home;
  std::unique_ptr<sim::SimulatedRegister> sim;
  std::unique_ptr<sim::PortLink> link;
  RecordingEvents events;
  std::unique_ptr<TmvEcrVelka> control;
  std::vector<std::string> paper;
};

}  // namespace velka::testing
