// The control and the simulated register on one PollEventLoop, in one thread: the control's
// waits run the loop, the loop serves the register. The register's answers are read by the
// real control, so every layout it relies on is checked here end to end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/sim_control_fixture.h"

namespace velka::sim {
namespace {

velka::testing::SimControlOptions AtHighSpeed() {
  velka::testing::SimControlOptions options;
  options.port = 11;
  options.register_options = SimOptions{115200, 200, LocalDateTime{2026, 12, 6, 18, 30, 0}};
  return options;
}

class ControlOnSim : public velka::testing::SimControlFixture {
 protected:
  ControlOnSim() : SimControlFixture(AtHighSpeed()) {}
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
  ASSERT_GE(events.data.size(), 3u);
  EXPECT_EQ(events.data.front().substr(0, 6), u"GI.EL.");
  EXPECT_EQ(events.data.back().substr(0, 11), u"FINE GI.EL.");
  events.data.clear();
  ASSERT_EQ(direct(u"<</?f"), 0);
  ASSERT_EQ(events.data.size(), 1u);
  EXPECT_EQ(events.data[0], u"MF VS00000001 Z 0000");
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
