// The fiscal receipt methods: the command strings they send, their gates and check orders,
// the state moves and the payment status step.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tests/receipt/receipt_fixture.h"

namespace velka::testing {
namespace {

using Strings = std::vector<std::string>;

class FiscalReceipt : public ReceiptFixture {
 protected:
  void SetUp() override {
    ReceiptFixture::SetUp();
    ASSERT_EQ(Begin(), 0);
  }
};

struct Row {
  const char* name;
  std::function<std::int32_t(FiscalReceipt&)> call;
  Strings sent;
};

TEST_F(FiscalReceipt, LinesSendTheirCommandStrings) {
  const Row rows[] = {
      {"sale", [](auto& t) { return t.Item("CAFFE", Cu(1, 5000), 2, 1); }, {"=R1/$1.5/*2/(CAFFE)"}},
      {"sale without VAT code, blank description",
       [](auto& t) { return t.Item("   ", Cu(150), 1, 0); },
       {"=R/$150/*1"}},
      {"sale description trimmed, sent unchanged",
       [](auto& t) { return t.Item("  A/B)C\t ", Cu(0, 5000)); },
       {"=R/$.5/*1/(A/B)C\t)"}},
      {"amount discount",
       [](auto& t) { return t.ItemAdjustment(1, "SCONTO", Cu(2)); },
       {"=V/$2/(SCONTO)"}},
      {"amount surcharge",
       [](auto& t) { return t.ItemAdjustment(2, "", Cu(2, 2500)); },
       {"=V+/$2.25"}},
      {"percentage discount",
       [](auto& t) { return t.ItemAdjustment(3, "SCONTO", Cu(10)); },
       {"=%/*10/(SCONTO)"}},
      {"percentage surcharge",
       [](auto& t) { return t.ItemAdjustment(4, " X ", Cu(12, 5000)); },
       {"=%+/*12.5/(X)"}},
      {"subtotal adjustment",
       [](auto& t) { return t.SubtotalAdjustment(3, "PROMO", Cu(5)); },
       {"=%/*5/(PROMO)"}},
      {"subtotal", [](auto& t) { return t.Subtotal(); }, {"=S"}},
      {"subtotal with amount",
       [](auto& t) { return t.Subtotal(Cu(1234, 5678)); },
       {"=S/$1234.5678"}},
      {"refund",
       [](auto& t) { return t.Refund("RESO", Cu(4, 5000), 2); },
       {"=r", "=R2/$4.5/(RESO)"}},
      {"item cancellation",
       [](auto& t) { return t.VoidItem("CAFFE", Cu(1, 5000), 3); },
       {"=s", "=R/$1.5/*3/(CAFFE)"}},
      {"item cancellation with VAT and adjustment type",
       [](auto& t) { return t.VoidItem("", Cu(2), 1, 4, 3); },
       {"=s", "=R3/$2/*1"}},
      {"message", [](auto& t) { return t.Message("  GRAZIE  "); }, {"=\"/(GRAZIE)"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    commands.clear();
    setPrinterState(2);
    EXPECT_EQ(row.call(*this), 0);
    EXPECT_EQ(commands, row.sent);
    EXPECT_EQ(control->PrinterState(), 2);
    EXPECT_EQ(control->ResultCode(), 0);
  }
}

TEST_F(FiscalReceipt, ZeroQuantityIsOneAlsoForTheCaller) {
  EXPECT_EQ(Item("PANE", Cu(1), 0), 0);
  EXPECT_EQ(last_quantity, 1);
  EXPECT_EQ(VoidItem("PANE", Cu(1), 0), 0);
  EXPECT_EQ(last_quantity, 1);
  EXPECT_EQ(commands, (Strings{"=R/$1/*1/(PANE)", "=s", "=R/$1/*1/(PANE)"}));
}

struct CheckRow {
  const char* name;
  std::function<std::int32_t(FiscalReceipt&)> call;
  std::int32_t code;
  std::int32_t extended;
};

// The first failing check decides, and nothing reaches the register.
TEST_F(FiscalReceipt, ArgumentChecksRunInOrder) {
  const std::string d21 = "ABCDEFGHIJKLMNOPQRST ";  // 21 characters with the blank
  const std::string d20 = "ABCDEFGHIJKLMNOPQRST";
  const CheckRow rows[] = {
      {"item: quantity before price", [&](auto& t) { return t.Item(d21, 0, -1); }, 114, 205},
      {"item: price before description", [&](auto& t) { return t.Item(d21, 0); }, 114, 210},
      {"item: negative price", [&](auto& t) { return t.Item("X", -1); }, 114, 210},
      {"item: untrimmed description", [&](auto& t) { return t.Item(d21, 1); }, 114, 207},
      {"adjustment: description first", [&](auto& t) { return t.ItemAdjustment(5, d21, 0); }, 114,
       207},
      {"adjustment: type before amount", [&](auto& t) { return t.ItemAdjustment(5, "X", 0); }, 106,
       0},
      {"adjustment: type 0", [&](auto& t) { return t.SubtotalAdjustment(0, "X", 1); }, 106, 0},
      {"adjustment: amount", [&](auto& t) { return t.SubtotalAdjustment(1, "X", 0); }, 114, 206},
      {"message: empty", [&](auto& t) { return t.Message(""); }, 114, 207},
      {"message: blanks", [&](auto& t) { return t.Message("   "); }, 114, 207},
      {"message: 21 after trimming", [&](auto& t) { return t.Message(d20 + "U"); }, 114, 207},
      {"subtotal: negative", [&](auto& t) { return t.Subtotal(-1); }, 114, 206},
      {"refund: amount before description", [&](auto& t) { return t.Refund(d21, 0); }, 114, 206},
      {"refund: description", [&](auto& t) { return t.Refund(d21, 1); }, 114, 207},
      {"void item: quantity", [&](auto& t) { return t.VoidItem(d21, 0, -1, 9); }, 114, 205},
      {"void item: amount", [&](auto& t) { return t.VoidItem(d21, 0, 1, 9); }, 114, 206},
      {"void item: description", [&](auto& t) { return t.VoidItem(d21, 1, 1, 9); }, 114, 207},
      {"void item: adjustment type", [&](auto& t) { return t.VoidItem("X", 1, 1, 5); }, 106, 0},
      {"total: negative total", [&](auto& t) { return t.Total(-1, 10, "1"); }, 114, 206},
      {"total: negative payment", [&](auto& t) { return t.Total(0, -1, "1"); }, 114, 206},
      {"not paid: description first", [&](auto& t) { return t.NotPaid(d21, 0); }, 114, 207},
      {"not paid: amount", [&](auto& t) { return t.NotPaid("X", 0); }, 114, 206},
      {"void: trimmed description", [&](auto& t) { return t.Void(" " + d20 + "U"); }, 114, 207},
  };
  for (const CheckRow& row : rows) {
    SCOPED_TRACE(row.name);
    commands.clear();
    setPrinterState(2);
    EXPECT_EQ(row.call(*this), row.code);
    EXPECT_EQ(control->ResultCode(), row.code);
    EXPECT_EQ(control->ResultCodeExtended(), row.extended);
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(control->PrinterState(), 2);
  }
}

TEST_F(FiscalReceipt, LimitsAreInclusiveAndPrintRecVoidMeasuresTheTrimmedText) {
  const std::string d20 = "ABCDEFGHIJKLMNOPQRST";
  EXPECT_EQ(Item(d20, 1), 0);
  EXPECT_EQ(Message("  " + d20 + "  "), 0);
  EXPECT_EQ(VoidItem("X", 1, 1, -3), 0);  // a type below 1 is not looked at
  EXPECT_EQ(Void("   " + d20 + "   "), 0);
  EXPECT_EQ(commands.back(), "=k/(" + d20 + ")");
  EXPECT_EQ(control->PrinterState(), 4);
}

TEST_F(FiscalReceipt, PaymentLinesThenTheStatusRequest) {
  const struct {
    Currency payment;
    const char* description;
    const char* line;
  } rows[] = {
      {Cu(10), "1", "=T1/$10"},
      {Cu(10), "CONTANTI", "=T/$10/(CONTANTI)"},
      {Cu(10), "7", "=T/$10"},
      {Cu(10), "0", "=T/$10"},
      {0, "1", "=T1"},
      {Cu(10), " 3 ", "=T3/$10"},
      {Cu(10), "5", "=T5/$10"},
      {Cu(2, 5000), "", "=T/$2.5"},
      {Cu(10), "  CARTA  ", "=T/$10/(CARTA)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.description);
    commands.clear();
    setPrinterState(2);
    EXPECT_EQ(Total(Cu(10), row.payment, row.description), 0);
    EXPECT_EQ(commands, (Strings{row.line, "<</?s"}));
  }
}

TEST_F(FiscalReceipt, NotPaidAlwaysSendsPaymentTypeTwoWithoutDescription) {
  EXPECT_EQ(NotPaid("CREDITO", Cu(5, 5000)), 0);
  EXPECT_EQ(commands, (Strings{"=T2/$5.5", "<</?s"}));
}

// Characters 5 and 6 of the status answer: "02" while payment is incomplete.
TEST_F(FiscalReceipt, StatusAnswerDecidesWhetherThePaymentIsComplete) {
  answerStatusWith("02");
  EXPECT_EQ(Total(Cu(10), Cu(5), "1"), 0);
  EXPECT_EQ(control->PrinterState(), 3);
  EXPECT_EQ(End(), 114);
  EXPECT_EQ(control->ResultCodeExtended(), 204);
  EXPECT_EQ(Item("X", 1), 114);  // only payments and messages once a total is entered
  EXPECT_EQ(Void(), 114);
  EXPECT_EQ(Message("ANCORA"), 0);

  answerStatusWith("00");
  EXPECT_EQ(NotPaid("", Cu(5)), 0);
  EXPECT_EQ(control->PrinterState(), 4);
  EXPECT_EQ(End(), 0);
  EXPECT_EQ(control->PrinterState(), 1);
}

TEST_F(FiscalReceipt, ShortOrFailedStatusAnswerEndsTheReceipt) {
  answerFor = [](const std::string& command) {
    return command == "<</?s" ? R::Frame("s0000") : R::Status();
  };
  EXPECT_EQ(Total(0, Cu(5), "1"), 0);
  EXPECT_EQ(control->PrinterState(), 4);

  // The status request fails: the payment still succeeded.
  setPrinterState(2);
  answerFor = [](const std::string& command) {
    return command == "<</?s" ? R::ErrorStatus('X', "0009") : R::Status();
  };
  EXPECT_EQ(Total(0, Cu(5), "1"), 0);
  EXPECT_EQ(control->ResultCode(), 0);
  EXPECT_EQ(control->PrinterState(), 4);
}

TEST_F(FiscalReceipt, WholeReceipt) {
  answerStatusWith("00");
  EXPECT_EQ(Item("CAFFE", Cu(1, 2000), 1, 1), 0);
  EXPECT_EQ(Subtotal(), 0);
  EXPECT_EQ(Total(Cu(1, 2000), Cu(2), "CONTANTI"), 0);
  EXPECT_EQ(control->PrinterState(), 4);
  EXPECT_EQ(Message("GRAZIE"), 0);
  EXPECT_EQ(End(), 0);
  EXPECT_EQ(commands,
            (Strings{"=R1/$1.2/*1/(CAFFE)", "=S", "=T/$2/(CONTANTI)", "<</?s", "=\"/(GRAZIE)"}));
  EXPECT_EQ(control->PrinterState(), 1);
}

TEST_F(FiscalReceipt, VoidCancelsTheReceipt) {
  EXPECT_EQ(Void(" ANNULLO "), 0);
  EXPECT_EQ(commands, (Strings{"=k/(ANNULLO)"}));
  EXPECT_EQ(control->PrinterState(), 4);
  EXPECT_EQ(End(), 0);
}

// A failing exchange is the method's result and the state stays.
TEST_F(FiscalReceipt, FailedExchangeLeavesTheState) {
  answerFor = [](const std::string& command) {
    return command == "=r" || command == "=k" ? R::ErrorStatus('X', "0033") : R::Status();
  };
  EXPECT_EQ(Refund("RESO", Cu(1)), 114);
  EXPECT_EQ(control->ResultCodeExtended(), 33);
  EXPECT_EQ(commands, (Strings{"=r"}));  // no sale line after a failed mode command
  EXPECT_EQ(Void(), 114);
  EXPECT_EQ(control->PrinterState(), 2);

  commands.clear();
  answerFor = [](const std::string&) { return R::ErrorStatus('X', "0034"); };
  EXPECT_EQ(Total(0, Cu(5), "1"), 114);
  EXPECT_EQ(commands, (Strings{"=T1/$5"}));  // no status request either
  EXPECT_EQ(control->PrinterState(), 2);
}

class ReceiptGate : public ReceiptFixture {};

// Which PrinterState each method accepts, and what a closed device gives.
TEST_F(ReceiptGate, StatesAcceptedByEachMethod) {
  const struct {
    const char* name;
    std::function<std::int32_t(ReceiptGate&)> call;
    std::vector<std::int32_t> accepted;
  } rows[] = {
      {"BeginFiscalReceipt", [](auto& t) { return t.Begin(); }, {1}},
      {"EndFiscalReceipt", [](auto& t) { return t.End(); }, {4}},
      {"PrintRecItem", [](auto& t) { return t.Item("X", 1); }, {2}},
      {"PrintRecItemAdjustment", [](auto& t) { return t.ItemAdjustment(1, "X", 1); }, {2}},
      {"PrintRecSubtotalAdjustment", [](auto& t) { return t.SubtotalAdjustment(1, "X", 1); }, {2}},
      {"PrintRecMessage", [](auto& t) { return t.Message("X"); }, {1, 2, 3, 4, 9}},
      {"PrintRecSubtotal", [](auto& t) { return t.Subtotal(); }, {2}},
      {"PrintRecRefund", [](auto& t) { return t.Refund("X", 1); }, {2}},
      {"PrintRecVoidItem", [](auto& t) { return t.VoidItem("X", 1, 1); }, {2}},
      {"PrintRecTotal", [](auto& t) { return t.Total(0, 1, "1"); }, {2, 3}},
      {"PrintRecNotPaid", [](auto& t) { return t.NotPaid("X", 1); }, {2, 3}},
      {"PrintRecVoid", [](auto& t) { return t.Void(); }, {2}},
  };
  for (const auto& row : rows) {
    for (std::int32_t state : {1, 2, 3, 4, 9}) {
      SCOPED_TRACE(std::string(row.name) + " in state " + std::to_string(state));
      setPrinterState(state);
      control->state().ResultCodeExtended = 77;
      const bool accepted =
          std::find(row.accepted.begin(), row.accepted.end(), state) != row.accepted.end();
      EXPECT_EQ(row.call(*this), accepted ? 0 : 114);
      EXPECT_EQ(control->ResultCodeExtended(), accepted ? 0 : 204);
    }
  }
}

TEST_F(ReceiptGate, ClosedDevice) {
  control->TMVClose();
  commands.clear();
  EXPECT_EQ(Item("X", 1), 101);  // the device test decides over the state test
  EXPECT_EQ(control->ResultCodeExtended(), 0);
  EXPECT_EQ(Message("X"), 101);
  EXPECT_EQ(Begin(), 101);  // state 1: the device test is what fails
  setPrinterState(2);
  EXPECT_EQ(Begin(), 114);  // a wrong state wins over a closed device here
  EXPECT_EQ(control->ResultCodeExtended(), 204);
  EXPECT_EQ(Item("X", 1), 101);
  EXPECT_EQ(control->ResultCodeExtended(), 0);
  EXPECT_TRUE(commands.empty());
}

class AsyncReceipt : public ReceiptFixture {
 protected:
  void SetUp() override {
    ReceiptFixture::SetUp();
    ASSERT_EQ(Begin(), 0);
    control->setAsyncMode(true);
  }
  std::string lastQueued() const {
    const ControlState& s = control->state();
    return s.QueueLast < 0 ? std::string() : s.CommandQueue.at(s.QueueLast);
  }
};

// Argument errors reach the application through the queue, in order; the call succeeds.
TEST_F(AsyncReceipt, ArgumentErrorIsQueuedAsAnErrorEntry) {
  EXPECT_EQ(Item("CAFFE", Cu(1), -1), 0);
  EXPECT_EQ(control->ResultCode(), 0);
  EXPECT_EQ(control->ResultCodeExtended(), 0);
  EXPECT_EQ(lastQueued(), "0000000001ERROR000114000205");
  EXPECT_EQ(ItemAdjustment(5, "X", 1), 0);
  EXPECT_EQ(lastQueued(), "0000000002ERROR000106000000");
  EXPECT_EQ(Item("CAFFE", Cu(1)), 0);
  EXPECT_EQ(lastQueued(), "0000000003=R/$1/*1/(CAFFE)");
  EXPECT_EQ(control->PrinterState(), 2);
  EXPECT_TRUE(commands.empty());
}

TEST_F(AsyncReceipt, WrongStateIsReturnedAtOnce) {
  EXPECT_EQ(End(), 114);
  EXPECT_EQ(Void(), 0);  // queued: the state moves
  EXPECT_EQ(control->PrinterState(), 4);
  const std::int32_t queued = control->state().QueueLast;
  EXPECT_EQ(Item("X", 1), 114);
  EXPECT_EQ(control->ResultCodeExtended(), 204);
  EXPECT_EQ(control->state().QueueLast, queued);
}

TEST_F(AsyncReceipt, ClosedDeviceIsQueuedToo) {
  control->TMVClose();
  control->setAsyncMode(true);
  EXPECT_EQ(Subtotal(), 0);
  EXPECT_EQ(lastQueued(), "0000000001ERROR000101000000");
}

}  // namespace
}  // namespace velka::testing
