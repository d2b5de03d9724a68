// A whole receipt queued in asynchronous mode through the real control, its serial port on a
// pseudo-terminal and its poll loop, against the simulated register served on the same loop:
// the queue is worked off by the pump and the receive events alone.
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/device/control_events.h"
#include "control/device/tmv_ecr_velka.h"
#include "platform/poll_event_loop.h"
#include "sim/port_link.h"
#include "sim/simulated_register.h"

namespace velka {
namespace {

namespace fs = std::filesystem;

constexpr int kPort = 12;
constexpr Millis kQueueLimitMs = 20'000;

struct QueueEvents : ControlEvents {
  void StatusUpdateEvent(std::int32_t Status) override {
    log.push_back("StatusUpdateEvent " + std::to_string(Status));
  }
  void ErrorEvent(std::int32_t ResultCode, std::int32_t ResultCodeExtended, std::int32_t,
                  std::int32_t&) override {
    log.push_back("ErrorEvent " + std::to_string(ResultCode) + " " +
                  std::to_string(ResultCodeExtended));
  }
  void OutputCompleteEvent(std::int32_t OutputID) override {
    log.push_back("OutputCompleteEvent " + std::to_string(OutputID));
  }
  std::vector<std::string> log;
};

class AsyncReceiptE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("velka-async-e2e-" + std::to_string(::getpid()) + "-" +
              std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder);
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME"}) {
      const char* old = ::getenv(name);
      saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      ::setenv(name, folder.c_str(), 1);
    }
    sim = std::make_unique<sim::SimulatedRegister>(
        loop, sim::SimOptions{9600, 200, LocalDateTime{2026, 12, 6, 18, 30, 0}});
    ASSERT_TRUE(sim->ok()) << sim->error();
    sim->setPaperSink([this](const std::string& line) { paper.push_back(line); });
    port_link = std::make_unique<sim::PortLink>(kPort, sim->slavePath());
    ASSERT_TRUE(port_link->ok()) << port_link->error();
    ControlEnvironment environment;
    environment.loop = &loop;
    control = std::make_unique<TmvEcrVelka>(environment);
    control->setEventSink(&events);
    std::u16string port = u"12";
    ASSERT_EQ(control->TMVOpen(port), 0);
  }

  void TearDown() override {
    if (control) control->TMVClose();
    control.reset();
    port_link.reset();
    sim.reset();
    for (const auto& [name, value] : saved) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    fs::remove_all(folder);
  }

  // Runs the loop until the queue has drained, within a bound.
  bool drained() {
    const Millis until = loop.now() + kQueueLimitMs;
    while (control->state().QueueLast != -1 && loop.now() < until) loop.waitForEvents(-1, 100);
    return control->state().QueueLast == -1;
  }

  std::int32_t sell(const std::u16string& description, Currency price, std::int32_t quantity) {
    std::u16string d = description, unit;
    std::int32_t vat = 1, unit_price = 0;
    return control->PrintRecItem(d, price, quantity, vat, unit_price, unit);
  }

  fs::path folder;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
  PollEventLoop loop;
  std::unique_ptr<sim::SimulatedRegister> sim;
  std::unique_ptr<sim::PortLink> port_link;
  std::unique_ptr<TmvEcrVelka> control;
  QueueEvents events;
  std::vector<std::string> paper;
};

TEST_F(AsyncReceiptE2E, QueuedReceiptIsPrintedAndCompletedInOrder) {
  bool header = true;
  ASSERT_EQ(control->BeginFiscalReceipt(header), 0);
  control->setAsyncMode(true);
  // Every call returns at once: the commands are queued.
  ASSERT_EQ(sell(u"CAFFE", 15000, 2), 0);
  ASSERT_EQ(sell(u"ACQUA", 10000, 1), 0);
  Currency total = 40000, payment = 40000;
  std::u16string cash = u"1";
  ASSERT_EQ(control->PrintRecTotal(total, payment, cash), 0);  // the payment and "<</?s"
  std::u16string thanks = u"GRAZIE";
  ASSERT_EQ(control->PrintRecMessage(thanks), 0);
  ASSERT_EQ(control->EndFiscalReceipt(header), 0);
  EXPECT_EQ(control->state().QueueLast, 4);
  EXPECT_TRUE(events.log.empty());

  ASSERT_TRUE(drained()) << ::testing::PrintToString(events.log);
  EXPECT_EQ(events.log,
            (std::vector<std::string>{"OutputCompleteEvent 1", "OutputCompleteEvent 2",
                                      "OutputCompleteEvent 3", "OutputCompleteEvent 4",
                                      "OutputCompleteEvent 5", "StatusUpdateEvent 1001"}));

  // The register closed the receipt and counted it; the status request's answer came back.
  const auto& state = sim->model().state();
  EXPECT_EQ(state.day.receipts, 1);
  EXPECT_EQ(state.last.number, 1);
  EXPECT_EQ(state.last.total, 400);
  EXPECT_FALSE(state.last.cancelled);
  EXPECT_EQ(control->state().AnswerData.substr(8, 4), "0001");
  auto printed = [&](const std::string& text) {
    for (const std::string& line : paper) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  };
  EXPECT_TRUE(printed("CAFFE"));
  EXPECT_TRUE(printed("SCONTRINO N. 0001"));
  EXPECT_TRUE(printed("GRAZIE"));
}

}  // namespace
}  // namespace velka
