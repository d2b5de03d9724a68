// Queries and direct commands: GetDate, GetData, DirectIO, DirectIO2.
#include <gtest/gtest.h>

#include "tests/support/control_fixture.h"

namespace velka::testing {
namespace {

using Strings = std::vector<std::string>;

class Queries : public ControlFixture {
 protected:
  void SetUp() override { open(); }
  std::int32_t Data(std::int32_t item, std::u16string& data) {
    std::vector<std::int32_t> options;
    return control->GetData(item, options, data);
  }
  // Every command answered with the same data answer.
  void answerAll(const std::string& answer_data) {
    answerFor = [answer_data](const std::string&) { return R::Frame("D" + answer_data); };
  }
};

TEST_F(Queries, GetDataSendsTheRequestOfItsItem) {
  const struct {
    std::int32_t item;
    const char* sent;
  } rows[] = {
      {2, "<</?1"},  {3, "<</"},    {4, "<</?r"},  {5, "<</?5"},  {6, "<</?k"},  {7, "<</?7"},
      {8, "<</?8"},  {9, "<</?m"},  {10, "<</?f"}, {11, "<</?0"}, {12, "<</?s"}, {13, "<</?d"},
      {14, "<</?S"}, {15, "<</?u"}, {0, "<</"},    {1, "<</"},    {16, "<</"},   {-5, "<</"},
  };
  answerAll("42;ANSWER");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.item);
    commands.clear();
    std::u16string data = u"old";
    EXPECT_EQ(Data(row.item, data), 0);
    EXPECT_EQ(commands, Strings{row.sent});
    EXPECT_EQ(data, u"42;ANSWER");
  }
  EXPECT_EQ(control->state().AnswerData, "42;ANSWER");  // GetData leaves the answer
}

TEST_F(Queries, GetDataGates) {
  std::u16string data = u"old";
  port->setCts(false);
  control->state().ResultCodeExtended = 44;
  EXPECT_EQ(Data(2, data), 107);
  EXPECT_EQ(control->ResultCode(), 107);
  EXPECT_EQ(control->ResultCodeExtended(), 44);
  EXPECT_EQ(data, u"");

  control->state().PrinterState = 2;
  EXPECT_EQ(Data(2, data), 106);  // replaces the 107
  port->setCts(true);
  EXPECT_EQ(Data(2, data), 106);
  EXPECT_EQ(control->ResultCodeExtended(), 0);

  port->setCts(false);
  control->TMVClose();
  EXPECT_EQ(Data(2, data), 101);
  EXPECT_TRUE(commands.empty());
}

// A register that answers a request with a bare status sends no data: the answer of the
// request before is not passed off as this one's.
TEST_F(Queries, EarlierAnswerIsNotHandedBackAsANewOne) {
  answerAll("STATUS TEXT 0123456");
  std::u16string data;
  EXPECT_EQ(Data(12, data), 0);
  answerFor = [](const std::string&) { return R::Status(); };
  EXPECT_EQ(Data(4, data), 0);
  EXPECT_EQ(data, u"");
  std::u16string date_time;
  EXPECT_EQ(control->GetDate(date_time), 0);
  EXPECT_EQ(date_time, u"20");  // the century alone, nothing of the earlier answer
}

TEST_F(Queries, GetDataKeepsDataEmptyWhenTheExchangeFails) {
  answerFor = [](const std::string&) { return R::ErrorStatus('X', "0005"); };
  std::u16string data = u"old";
  EXPECT_EQ(Data(12, data), 114);
  EXPECT_EQ(data, u"");
}

TEST_F(Queries, GetDateTakesTheCenturyFromTheComputersClock) {
  answerFor = [](const std::string& command) {
    return command == "<</?d" ? R::Frame("d06/12/26 18:30:59") : R::Status();
  };
  std::u16string date_time = u"old";
  EXPECT_EQ(control->GetDate(date_time), 0);
  EXPECT_EQ(date_time, u"061220261830");
  EXPECT_EQ(commands, Strings{"<</?d"});
  EXPECT_EQ(control->state().AnswerData, "06/12/26 18:30:59");

  ControlEnvironment env = environment();
  env.clock = [] { return LocalDateTime{2105, 1, 2, 3, 4, 5}; };
  control = std::make_unique<TmvEcrVelka>(env);
  open();
  EXPECT_EQ(control->GetDate(date_time), 0);
  EXPECT_EQ(date_time, u"061221261830");
}

TEST_F(Queries, GetDateOfAShortAnswerTakesWhatIsThere) {
  answerAll("06/12");
  std::u16string date_time;
  EXPECT_EQ(control->GetDate(date_time), 0);
  EXPECT_EQ(date_time, u"061220");
}

TEST_F(Queries, GetDateGates) {
  std::u16string date_time = u"old";
  control->state().PrinterState = 2;
  EXPECT_EQ(control->GetDate(date_time), 106);
  EXPECT_EQ(date_time, u"");
  control->TMVClose();
  EXPECT_EQ(control->GetDate(date_time), 101);
  EXPECT_EQ(control->ResultCode(), 101);
  EXPECT_TRUE(commands.empty());

  open();
  answerFor = [](const std::string&) { return R::ErrorStatus('X', "0005"); };
  date_time = u"old";
  EXPECT_EQ(control->GetDate(date_time), 114);
  EXPECT_EQ(date_time, u"");
}

TEST_F(Queries, DirectIOPassesTheCommandAndRaisesTheEvent) {
  answerAll("RISPOSTA");
  std::int32_t data = 7;
  std::u16string command = U("=R1/$1/(\xE2\x82\xAC)");  // the euro sign becomes 0x80
  control->state().PrinterState = 2;                    // no state test
  EXPECT_EQ(control->DirectIO(3, data, command), 0);
  EXPECT_EQ(commands, Strings{"=R1/$1/(\x80)"});
  EXPECT_EQ(events.log, Strings{"DirectIOEvent 3 7 RISPOSTA"});
  EXPECT_EQ(control->state().AnswerData, "");
}

TEST_F(Queries, DirectIO2HandsTheAnswerOverOnce) {
  answerFor = [](const std::string& command) {
    return command == "<</?s" ? R::Frame("s00000200") : R::Status();
  };
  std::int32_t data = 0;
  std::u16string command = u"<</?s", answer = u"old";
  EXPECT_EQ(control->DirectIO2(0, data, command, answer), 0);
  EXPECT_EQ(answer, u"00000200");
  std::u16string status = u"=K";
  EXPECT_EQ(control->DirectIO2(0, data, status, answer), 0);  // answered "O": no data
  EXPECT_EQ(answer, u"");
}

TEST_F(Queries, DirectCommandsNeedCtsOnly) {
  std::int32_t data = 0;
  std::u16string command = u"=C1", answer = u"old";
  port->setCts(false);
  control->state().ResultCode = 55;
  EXPECT_EQ(control->DirectIO(0, data, command), 107);
  EXPECT_EQ(control->DirectIO2(0, data, command, answer), 107);
  EXPECT_EQ(control->ResultCode(), 55);  // not stored
  EXPECT_EQ(answer, u"old");
  EXPECT_TRUE(commands.empty());
  EXPECT_TRUE(events.log.empty());
}

TEST_F(Queries, FailedDirectCommandKeepsTheAnswer) {
  answerFor = [](const std::string&) { return R::ErrorStatus('X', "0005"); };
  control->state().AnswerData = "EARLIER";
  std::int32_t data = 0;
  std::u16string command = u"=C1", answer = u"old";
  EXPECT_EQ(control->DirectIO(0, data, command), 114);
  EXPECT_EQ(control->DirectIO2(0, data, command, answer), 114);
  EXPECT_EQ(answer, u"old");
  EXPECT_EQ(control->state().AnswerData, "EARLIER");
  EXPECT_TRUE(events.log.empty());
}

// Queued in asynchronous mode: the call returns at once with whatever answer is at hand.
TEST_F(Queries, DirectIOInAsynchronousMode) {
  control->setAsyncMode(true);
  control->state().AnswerData = "EARLIER";
  std::int32_t data = 1;
  std::u16string command = u"=C2";
  EXPECT_EQ(control->DirectIO(9, data, command), 0);
  EXPECT_EQ(events.log, Strings{"DirectIOEvent 9 1 EARLIER"});
  EXPECT_EQ(control->state().CommandQueue.at(control->state().QueueLast), "0000000001=C2");
  EXPECT_TRUE(commands.empty());
}

}  // namespace
}  // namespace velka::testing
