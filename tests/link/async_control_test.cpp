// A whole control in asynchronous mode on virtual time: receipt and direct commands queued,
// completed and reported, and hosts that call back into the control from its events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/link/register_link.h"
#include "tests/support/control_fixture.h"

namespace velka::testing {
namespace {

using Log = std::vector<std::string>;
using Strings = std::vector<std::string>;

class AsyncControl : public ControlFixture {
 protected:
  void SetUp() override {
    open();
    control->setAsyncMode(true);
  }
  bool drained(Millis limit_ms = 300'000) {
    return loop.runUntil([&] { return control->state().QueueLast == -1; }, limit_ms);
  }
  bool settled(Millis limit_ms = 300'000) {
    using Q = RegisterLink::QueueState;
    return loop.runUntil(
        [&] {
          const Q q = control->link().queueState();
          return q == Q::Empty || q == Q::Halted;
        },
        limit_ms);
  }
  std::int32_t Item(const std::string& description, std::int32_t quantity) {
    std::u16string text = U(description), unit_name;
    Currency price = 15000;
    std::int32_t vat = 1, unit_price = 0;
    return control->PrintRecItem(text, price, quantity, vat, unit_price, unit_name);
  }
  void Queue(const std::string& command) {
    ASSERT_EQ(control->link().SendCommand(command, false), 0);
  }
};

// An argument error of a receipt method reaches the host in queue order, between the
// completions of the lines around it.
TEST_F(AsyncControl, ReceiptErrorArrivesInQueueOrder) {
  control->setAsyncMode(false);
  bool header = false;
  ASSERT_EQ(control->BeginFiscalReceipt(header), 0);
  control->setAsyncMode(true);
  std::vector<std::int32_t> error_out_ids;
  events.onEvent = [&](const std::string& event) {
    if (event.starts_with("ErrorEvent")) error_out_ids.push_back(control->ErrorOutID());
  };
  EXPECT_EQ(Item("CAFFE", 1), 0);
  EXPECT_EQ(Item("CAFFE", -1), 0);
  EXPECT_EQ(control->ResultCodeExtended(), 0);
  EXPECT_EQ(Item("CAFFE", 2), 0);
  ASSERT_TRUE(drained());
  EXPECT_EQ(events.log, (Log{"OutputCompleteEvent 1", "ErrorEvent 114 205 0 12",
                             "OutputCompleteEvent 3", "StatusUpdateEvent 1001"}));
  EXPECT_EQ(error_out_ids, std::vector<std::int32_t>{2});
  EXPECT_EQ(commands, (Strings{"=R1/$1.5/*1/(CAFFE)", "=R1/$1.5/*2/(CAFFE)"}));
  EXPECT_EQ(control->ResultCode(), 0);
}

// DirectIO returns at once with the answer at hand; the register's answer arrives with the
// completion and is left in AnswerData.
TEST_F(AsyncControl, DirectIOIsCompletedThroughTheQueue) {
  answerFor = [](const std::string& command) {
    return command == "<</?s" ? R::Frame("D0000021234") : R::Status();
  };
  control->state().AnswerData = "EARLIER";
  std::int32_t data = 1;
  std::u16string command = u"<</?s";
  EXPECT_EQ(control->DirectIO(9, data, command), 0);
  EXPECT_EQ(events.log, Log{"DirectIOEvent 9 1 EARLIER"});
  EXPECT_EQ(control->state().AnswerData, "");
  EXPECT_TRUE(commands.empty());
  ASSERT_TRUE(drained());
  EXPECT_EQ(events.log,
            (Log{"DirectIOEvent 9 1 EARLIER", "OutputCompleteEvent 1", "StatusUpdateEvent 1001"}));
  EXPECT_EQ(commands, Strings{"<</?s"});
  EXPECT_EQ(control->state().AnswerData, "0000021234");
}

// A host that closes the control from inside an event: nothing crashes, the next entry is
// reported once as not sent and the queue halts; nothing follows.
TEST_F(AsyncControl, HandlerClosingTheControl) {
  struct Row {
    const char* name;
    const char* first;     // the first entry queued
    Bytes first_answer;    // the register's answer to it
    const char* close_on;  // the event whose handler calls TMVClose
    Log log;
  } rows[] = {
      {"completion",
       "=R1/$1",
       R::Status(),
       "OutputCompleteEvent 1",
       {"OutputCompleteEvent 1", "ErrorEvent 112 0 0 0"}},
      {"register error",
       "=R1/$1",
       R::ErrorStatus('X', "0042"),
       "ErrorEvent 114 42 0 12",
       {"ErrorEvent 114 42 0 12", "ErrorEvent 112 0 0 0"}},
      {"error entry",
       "ERROR000114000205",
       R::Status(),
       "ErrorEvent 114 205 0 12",
       {"ErrorEvent 114 205 0 12", "ErrorEvent 112 0 0 0"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    create();
    open();
    control->setAsyncMode(true);
    events.log.clear();
    const Bytes first_answer = row.first_answer;
    answerFor = [&](const std::string& command) {
      return command == "=R1/$1" ? first_answer : R::Status();
    };
    events.onEvent = [&](const std::string& event) {
      if (event == row.close_on) control->TMVClose();
    };
    Queue(row.first);
    Queue("=R1/$2");
    ASSERT_TRUE(settled());
    loop.advance(100'000);
    EXPECT_EQ(events.log, row.log);
    EXPECT_EQ(control->State(), 1);
    EXPECT_EQ(control->state().QueueNext, 1);
    EXPECT_EQ(control->link().queueState(), RegisterLink::QueueState::Halted);
    events.onEvent = nullptr;
  }
}

// A host may start an exchange of its own from OutputCompleteEvent: the queue waits for it and
// goes on afterwards, and receive completion does not run inside it.
TEST_F(AsyncControl, HandlerExchangingWithTheRegister) {
  answerFor = [](const std::string& command) {
    return command == "<</?d" ? R::Frame("D06/12/26 18:30") : R::Status();
  };
  std::u16string date;
  events.onEvent = [&](const std::string& event) {
    if (event == "OutputCompleteEvent 1") {
      EXPECT_EQ(control->GetDate(date), 0);
    }
  };
  Queue("=R1/$1");
  Queue("=R1/$2");
  ASSERT_TRUE(drained());
  EXPECT_EQ(date, u"061220261830");
  EXPECT_EQ(events.log,
            (Log{"OutputCompleteEvent 1", "OutputCompleteEvent 2", "StatusUpdateEvent 1001"}));
  EXPECT_EQ(commands, (Strings{"=R1/$1", "<</?d", "=R1/$2"}));
}

// Closing and opening again while an answer is awaited: the new session owes nothing to the
// old one: its exchanges are not refused as busy and the old data timer reports nothing.
TEST_F(AsyncControl, ReopeningForgetsTheAwaitedAnswer) {
  answerFor = [](const std::string&) { return Bytes{}; };  // ACK only, no answer
  Queue("=R1/$1");
  ASSERT_TRUE(loop.runUntil(
      [&] { return control->link().queueState() == RegisterLink::QueueState::AwaitingAnswer; },
      1000));
  control->TMVClose();
  open();
  answerFor = [](const std::string& command) {
    return command == "<</?d" ? R::Frame("D06/12/26 18:30") : R::Status();
  };
  std::u16string date;
  EXPECT_EQ(control->GetDate(date), 0);
  loop.advance(100'000);
  EXPECT_TRUE(events.log.empty());
}

}  // namespace
}  // namespace velka::testing
