// The control and the simulated register on one PollEventLoop, in one thread: the control's
// waits run the loop, the loop serves the register. The register's answers are read by the
// real control, so every layout it relies on is checked here end to end.
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "control/device/control_events.h"
#include "control/device/tmv_ecr_velka.h"
#include "platform/poll_event_loop.h"
#include "sim/port_link.h"
#include "sim/simulated_register.h"

namespace velka::sim {
namespace {

namespace fs = std::filesystem;

constexpr int kPort = 11;

struct Events : ControlEvents {
  void StatusUpdateEvent(std::int32_t status) override { statuses.push_back(status); }
  void ReceiveDataEvent(const std::u16string& line) override { lines.push_back(line); }
  std::vector<std::int32_t> statuses;
  std::vector<std::u16string> lines;
};

class ControlOnSim : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("velka-e2e-" + std::to_string(::getpid()) + "-" +
              std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder);
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME"}) {
      const char* old = ::getenv(name);
      saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      ::setenv(name, folder.c_str(), 1);
    }
    sim = std::make_unique<SimulatedRegister>(
        loop, SimOptions{115200, 200, LocalDateTime{2026, 12, 6, 18, 30, 0}});
    ASSERT_TRUE(sim->ok()) << sim->error();
    link = std::make_unique<PortLink>(kPort, sim->slavePath());
    ASSERT_TRUE(link->ok()) << link->error();
    ControlEnvironment environment;
    environment.loop = &loop;
    control = std::make_unique<TmvEcrVelka>(environment);
    control->setEventSink(&events);
    std::u16string port = u"11";
    ASSERT_EQ(control->TMVOpen(port), 0);
  }
  void TearDown() override {
    if (control) control->TMVClose();
    control.reset();
    link.reset();
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

  std::u16string data(std::int32_t item) {
    std::vector<std::int32_t> none;
    std::u16string out;
    EXPECT_EQ(control->GetData(item, none, out), 0) << item;
    return out;
  }
  std::int32_t direct(const std::u16string& command) {
    std::int32_t p = 0;
    std::u16string text = command;
    return control->DirectIO(0, p, text);
  }
  // A request in any printer state (GetData needs state 1).
  std::u16string ask(const std::u16string& request) {
    std::int32_t p = 0;
    std::u16string text = request, out;
    EXPECT_EQ(control->DirectIO2(0, p, text, out), 0);
    return out;
  }
  std::int32_t sell(const std::u16string& description, Currency price, std::int32_t quantity) {
    std::u16string d = description, unit;
    std::int32_t vat = 1, unit_price = 0;
    return control->PrintRecItem(d, price, quantity, vat, unit_price, unit);
  }
  std::int32_t pay(Currency payment, const std::u16string& description = u"1") {
    Currency total = 0;
    std::u16string d = description;
    return control->PrintRecTotal(total, payment, d);
  }

  fs::path folder;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
  PollEventLoop loop;
  std::unique_ptr<SimulatedRegister> sim;
  std::unique_ptr<PortLink> link;
  std::unique_ptr<TmvEcrVelka> control;
  Events events;
};

TEST_F(ControlOnSim, FiscalReceiptFromBeginToEnd) {
  bool header = true;
  ASSERT_EQ(control->BeginFiscalReceipt(header), 0);
  ASSERT_EQ(sell(u"CAFFE", 15000, 2), 0);
  EXPECT_EQ(control->PrinterState(), 2);
  ASSERT_EQ(pay(20000), 0);
  EXPECT_EQ(control->PrinterState(), 3);  // "02" in the status answer: not paid in full
  bool trailer = true;
  EXPECT_NE(control->EndFiscalReceipt(trailer), 0);
  ASSERT_EQ(pay(10000), 0);
  EXPECT_EQ(control->PrinterState(), 4);
  std::u16string message = u"GRAZIE";
  EXPECT_EQ(control->PrintRecMessage(message), 0);
  ASSERT_EQ(control->EndFiscalReceipt(trailer), 0);
  EXPECT_EQ(control->PrinterState(), 1);
  EXPECT_EQ(data(12).substr(8, 4), u"0001");  // receipt number at characters 9-12
  std::u16string when;
  ASSERT_EQ(control->GetDate(when), 0);
  EXPECT_EQ(when.substr(0, 8), u"06122026");
}

TEST_F(ControlOnSim, ReportsAnswerPrintingThenDone) {
  bool header = true;
  ASSERT_EQ(control->BeginFiscalReceipt(header), 0);
  ASSERT_EQ(sell(u"ACQUA", 10000, 1), 0);
  ASSERT_EQ(pay(10000), 0);
  ASSERT_EQ(control->EndFiscalReceipt(header), 0);
  EXPECT_EQ(control->PrintXReport(), 0);
  EXPECT_EQ(data(2), u"0001 0000 0000 000000000100");
  EXPECT_EQ(control->PrintZReport(), 0);
  EXPECT_EQ(data(2), u"0000 0000 0000 000000000000");
  std::int32_t by_number = 1;
  std::u16string from = u"1", to = u"0";
  EXPECT_EQ(control->PrintReport(by_number, from, to), 0);
}

TEST_F(ControlOnSim, JournalArrivesAsDataLinesAndFiscalMemoryAsDataLineAnswers) {
  ASSERT_EQ(direct(u"=R/$2/(PANE)"), 0);
  ASSERT_EQ(direct(u"=T"), 0);
  ASSERT_EQ(direct(u"<</?m"), 0);
  ASSERT_GE(events.lines.size(), 3u);
  EXPECT_EQ(events.lines.front().substr(0, 6), u"GI.EL.");
  EXPECT_EQ(events.lines.back().substr(0, 11), u"FINE GI.EL.");
  events.lines.clear();
  ASSERT_EQ(direct(u"<</?f"), 0);
  ASSERT_EQ(events.lines.size(), 1u);
  EXPECT_EQ(events.lines[0], u"MF VS00000001 Z 0000");
}

TEST_F(ControlOnSim, CoverOpenIsReportedAndClearedWhileTheControlWaits) {
  sim->setCondition(Condition::CoverOpen, true);
  auto closer = loop.createTimer([this] { sim->setCondition(Condition::CoverOpen, false); });
  closer->setInterval(500);
  closer->start();
  bool header = true;
  ASSERT_EQ(control->BeginFiscalReceipt(header), 0);
  EXPECT_EQ(sell(u"LATTE", 12000, 1), 0);
  closer->stop();
  EXPECT_EQ(events.statuses, (std::vector<std::int32_t>{11, 12}));
  EXPECT_EQ(ask(u"<</?r").substr(0, 3), u"001");  // the held sale was executed
}

TEST_F(ControlOnSim, RegisterErrorsReachResultCodeExtended) {
  EXPECT_EQ(direct(u"=T1"), 114);
  EXPECT_EQ(control->ResultCodeExtended(), 7);
  sim->injectErrors(105, 1);
  EXPECT_EQ(direct(u"<</?s"), 114);
  EXPECT_EQ(control->ResultCodeExtended(), 202);
}

TEST_F(ControlOnSim, AnswerWithAWrongCheckIsRefusedAndTheRepeatAccepted) {
  sim->faults().badbcc = 1;
  std::u16string when;
  EXPECT_EQ(control->GetDate(when), 0);
  EXPECT_EQ(when.substr(0, 8), u"06122026");
}

TEST_F(ControlOnSim, RetransmissionsAfterNackAndALostAckSellOnce) {
  sim->faults().nack = 2;
  bool header = true;
  ASSERT_EQ(control->BeginFiscalReceipt(header), 0);
  EXPECT_EQ(sell(u"UNO", 10000, 1), 0);
  sim->faults().loseack = 1;  // the control waits for its ACK, then sends the frame again
  EXPECT_EQ(sell(u"DUE", 10000, 1), 0);
  EXPECT_EQ(ask(u"<</?r").substr(0, 3), u"002");
}

}  // namespace
}  // namespace velka::sim
