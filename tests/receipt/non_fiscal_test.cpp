// Non-fiscal printing: opening and closing the document, and the lines of PrintNormal.
#include <gtest/gtest.h>

#include "tests/receipt/receipt_fixture.h"

namespace velka::testing {
namespace {

using Strings = std::vector<std::string>;

class NonFiscal : public ReceiptFixture {
 protected:
  void SetUp() override {
    ReceiptFixture::SetUp();
    ASSERT_EQ(control->BeginNonFiscal(), 0);
    commands.clear();
  }
};

std::string Line(const std::string& text) {
  return "=\"/(" + text + ")";
}

TEST_F(NonFiscal, DocumentOpensAndCloses) {
  EXPECT_EQ(control->PrinterState(), 9);
  EXPECT_EQ(control->EndNonFiscal(), 0);
  EXPECT_EQ(control->PrinterState(), 1);
  EXPECT_EQ(commands, (Strings{"=c"}));
  commands.clear();
  EXPECT_EQ(control->BeginNonFiscal(), 0);
  EXPECT_EQ(commands, (Strings{"=o"}));
}

TEST_F(NonFiscal, EachLineIsCutTrimmedAndSent) {
  const struct {
    const char* name;
    std::u16string data;
    Strings sent;
  } rows[] = {
      {"empty", u"", {Line("")}},
      {"final line feed adds no line", u"ABC\n", {Line("ABC")}},
      {"two line feeds", u"\n\n", {Line(""), Line("")}},
      {"blank line", u"   \nX", {Line(""), Line("X")}},
      {"cut at 20", u"ABCDEFGHIJKLMNOPQRSTUVWXY", {Line("ABCDEFGHIJKLMNOPQRST")}},
      {"cut before trimming", u"  ABCDEFGHIJKLMNOPQRSTUV ", {Line("ABCDEFGHIJKLMNOPQR")}},
      {"carriage return stays", u"A\r\nB", {Line("A\r"), Line("B")}},
      {"three lines", u"UNO\nDUE\nTRE", {Line("UNO"), Line("DUE"), Line("TRE")}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    commands.clear();
    EXPECT_EQ(Normal(row.data), 0);
    EXPECT_EQ(commands, row.sent);
    EXPECT_EQ(control->PrinterState(), 9);
  }
}

// A line feed lies far beyond 32767 characters into the text: every line is still printed.
TEST_F(NonFiscal, DataOfAnyLength) {
  const std::u16string data =
      std::u16string(70000, u'A') + u"\n" + std::u16string(40000, u' ') + u"\nFINE";
  EXPECT_EQ(Normal(data), 0);
  EXPECT_EQ(commands, (Strings{Line(std::string(20, 'A')), Line(""), Line("FINE")}));
}

TEST_F(NonFiscal, FirstFailingLineEndsTheCall) {
  answerFor = [](const std::string& command) {
    return command == Line("DUE") ? R::ErrorStatus('X', "0012") : R::Status();
  };
  EXPECT_EQ(Normal(u"UNO\nDUE\nTRE"), 114);
  EXPECT_EQ(control->ResultCode(), 114);
  EXPECT_EQ(commands, (Strings{Line("UNO"), Line("DUE")}));
  EXPECT_EQ(control->PrinterState(), 9);
}

TEST_F(NonFiscal, LineTextBecomesSingleByte) {
  EXPECT_EQ(Normal(u"\u20AC 5\u00E8"), 0);  // euro sign and e grave
  EXPECT_EQ(commands, (Strings{Line("\x80 5\xE8")}));
}

class NonFiscalGate : public ReceiptFixture {};

TEST_F(NonFiscalGate, ChecksInOrder) {
  const struct {
    const char* name;
    bool open;
    std::int32_t state;
    std::int32_t station;
    std::int32_t code;
    std::int32_t extended;
  } rows[] = {
      {"closed device first", false, 1, 1, 101, 0},
      {"station before state", true, 1, 1, 106, 0},
      {"station 0", true, 9, 0, 106, 0},
      {"no document open", true, 1, 2, 114, 204},
      {"fiscal receipt open", true, 2, 2, 114, 204},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::u16string port_name = u"1";
    if (row.open) {
      control->TMVOpen(port_name);
    } else {
      control->TMVClose();
    }
    setPrinterState(row.state);
    commands.clear();
    EXPECT_EQ(Normal(u"X", row.station), row.code);
    EXPECT_EQ(control->ResultCode(), row.code);
    EXPECT_EQ(control->ResultCodeExtended(), row.extended);
    EXPECT_TRUE(commands.empty());
  }
}

TEST_F(NonFiscalGate, BeginAndEndTestTheStateLast) {
  setPrinterState(2);
  EXPECT_EQ(control->BeginNonFiscal(), 114);
  EXPECT_EQ(control->ResultCodeExtended(), 204);
  control->TMVClose();
  setPrinterState(9);
  EXPECT_EQ(control->EndNonFiscal(), 101);
  setPrinterState(1);
  EXPECT_EQ(control->EndNonFiscal(), 114);
  EXPECT_EQ(control->ResultCodeExtended(), 204);
  EXPECT_TRUE(commands.empty());
}

// No error entry for opening and closing; PrintNormal reports like the receipt methods.
TEST_F(NonFiscalGate, AsynchronousErrors) {
  control->setAsyncMode(true);
  EXPECT_EQ(control->EndNonFiscal(), 114);
  control->TMVClose();
  EXPECT_EQ(control->BeginNonFiscal(), 101);
  EXPECT_EQ(control->state().QueueLast, -1);
  EXPECT_EQ(Normal(u"X", 1), 0);
  EXPECT_EQ(control->state().CommandQueue.at(control->state().QueueLast),
            "0000000001ERROR000101000000");
}

TEST_F(NonFiscalGate, FailedOpeningLeavesTheState) {
  answerFor = [](const std::string&) { return R::ErrorStatus('P', "0000"); };
  EXPECT_EQ(control->BeginNonFiscal(), 114);
  EXPECT_EQ(control->ResultCodeExtended(), 203);
  EXPECT_EQ(control->PrinterState(), 1);
}

}  // namespace
}  // namespace velka::testing
