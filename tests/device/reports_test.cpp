// The day reports: their command sequences, the checks of a report's range, and the gates.
#include <gtest/gtest.h>

#include "tests/support/control_fixture.h"

namespace velka::testing {
namespace {

using Strings = std::vector<std::string>;

class Reports : public ControlFixture {
 protected:
  void SetUp() override { open(); }
  std::int32_t Report(std::int32_t type, const std::string& start, const std::string& end) {
    std::u16string first = U(start), last = U(end);
    return control->PrintReport(type, first, last);
  }
};

TEST_F(Reports, DayReportsSendTheirSequence) {
  EXPECT_EQ(control->PrintXReport(), 0);
  EXPECT_EQ(commands, (Strings{"=C2", "=C10", "=C1"}));
  commands.clear();
  EXPECT_EQ(control->PrintZReport(), 0);
  EXPECT_EQ(commands, (Strings{"=C3", "=C10", "=C1"}));
  EXPECT_EQ(control->ResultCode(), 0);
}

TEST_F(Reports, SequenceStopsAtTheFirstFailure) {
  answerFor = [](const std::string& command) {
    return command == "=C2" ? R::ErrorStatus('X', "0047") : R::Status();
  };
  EXPECT_EQ(control->PrintXReport(), 114);
  EXPECT_EQ(control->ResultCodeExtended(), 47);
  EXPECT_EQ(commands, (Strings{"=C2"}));

  commands.clear();
  answerFor = [](const std::string& command) {
    return command == "=S5" ? R::ErrorStatus('X', "0048") : R::Status();
  };
  EXPECT_EQ(Report(1, "5", "9"), 114);
  EXPECT_EQ(commands, (Strings{"=C4", "=402", "=S5"}));
}

TEST_F(Reports, RangeReportSequences) {
  const struct {
    std::int32_t type;
    const char* start;
    const char* end;
    Strings sent;
  } rows[] = {
      {2, "01012026", "31012026", {"=C4", "=401", "=S010126", "=S310126", "=S", "=C1"}},
      {2, "29022028", "01032028", {"=C4", "=401", "=S290228", "=S010328", "=S", "=C1"}},
      {1, "5", "0", {"=C4", "=402", "=S5", "=S0", "=S", "=C1"}},
      {1, " 5 ", " 7", {"=C4", "=402", "=S5", "=S7", "=S", "=C1"}},
      {3, "7", "7", {"=C4", "=402", "=S7", "=S7", "=S", "=C1"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.start) + " " + row.end);
    commands.clear();
    EXPECT_EQ(Report(row.type, row.start, row.end), 0);
    EXPECT_EQ(commands, row.sent);
  }
}

TEST_F(Reports, BadRangesAreRefused) {
  const struct {
    std::int32_t type;
    const char* start;
    const char* end;
    std::int32_t extended;
  } rows[] = {
      {1, "7", "5", 106},
      {1, "X", "5", 106},
      {1, "5", "", 106},
      {2, "32012026", "31012026", 211},
      {2, "01012026", "29022026", 211},
      {2, "010126", "31012026", 211},
      {2, "01-01-26", "31012026", 211},
      {2, "0101202", "31012026", 211},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.start) + " " + row.end);
    EXPECT_EQ(Report(row.type, row.start, row.end), 114);
    EXPECT_EQ(control->ResultCode(), 114);
    EXPECT_EQ(control->ResultCodeExtended(), row.extended);
  }
  EXPECT_TRUE(commands.empty());
}

// A bad range is checked even when the entry checks failed, and it is what the caller hears.
TEST_F(Reports, RangeCheckReplacesTheEntryResult) {
  control->state().PrinterState = 2;
  EXPECT_EQ(Report(1, "7", "5"), 114);
  EXPECT_EQ(control->ResultCodeExtended(), 106);
  EXPECT_EQ(Report(1, "5", "7"), 114);
  EXPECT_EQ(control->ResultCodeExtended(), 204);

  control->TMVClose();
  EXPECT_EQ(Report(2, "32012026", "01012026"), 114);
  EXPECT_EQ(control->ResultCodeExtended(), 211);
  EXPECT_EQ(Report(2, "01012026", "02012026"), 101);
  EXPECT_TRUE(commands.empty());
}

TEST_F(Reports, DayReportGates) {
  control->state().PrinterState = 9;
  EXPECT_EQ(control->PrintXReport(), 114);
  EXPECT_EQ(control->ResultCodeExtended(), 204);
  control->TMVClose();
  EXPECT_EQ(control->PrintZReport(), 101);  // the device test decides
  EXPECT_EQ(control->ResultCodeExtended(), 0);
  EXPECT_TRUE(commands.empty());
}

TEST_F(Reports, PeriodicTotalsReportDoesNothing) {
  control->TMVClose();
  control->state().ResultCode = 44;
  control->state().ResultCodeExtended = 55;
  std::u16string first = u"01012026", last = u"31012026";
  EXPECT_EQ(control->PrintPeriodicTotalsReport(first, last), 0);
  EXPECT_EQ(control->ResultCode(), 44);
  EXPECT_EQ(control->ResultCodeExtended(), 55);
}

}  // namespace
}  // namespace velka::testing
