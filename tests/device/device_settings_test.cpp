// Programming the register: clock, header lines, VAT rates.
#include <gtest/gtest.h>

#include "tests/support/control_fixture.h"

namespace velka::testing {
namespace {

using Strings = std::vector<std::string>;

class DeviceSettings : public ControlFixture {
 protected:
  void SetUp() override { open(); }
  std::int32_t Date(const std::string& data) {
    std::u16string text = U(data);
    return control->SetDate(text);
  }
  std::int32_t Header(std::int32_t line, const std::string& text, bool double_width) {
    std::u16string test = U(text);
    return control->SetHeaderLine(line, test, double_width);
  }
  std::int32_t Vat(std::int32_t id, const std::string& value) {
    std::u16string text = U(value);
    return control->SetVatValue(id, text);
  }
};

TEST_F(DeviceSettings, ClockCommand) {
  EXPECT_EQ(Date("061220261830"), 0);
  EXPECT_EQ(Date("290220280000"), 0);
  EXPECT_EQ(Date("311299992359"), 0);
  EXPECT_EQ(commands,
            (Strings{">>/?d/$061226/*183000", ">>/?d/$290228/*000000", ">>/?d/$311299/*235900"}));
}

TEST_F(DeviceSettings, BadClockTextIsRefused) {
  for (const char* data : {"061220262460", "061220261860", "290220261200", "06122026", "0612", "",
                           "06122026 830", "AB1220261830"}) {
    SCOPED_TRACE(data);
    EXPECT_EQ(Date(data), 114);
    EXPECT_EQ(control->ResultCodeExtended(), 211);
  }
  EXPECT_TRUE(commands.empty());
}

// The clock has no device or state test of its own.
TEST_F(DeviceSettings, ClockInAnyDocumentState) {
  control->state().PrinterState = 2;
  control->state().ResultCodeExtended = 9;
  EXPECT_EQ(Date("061220261830"), 0);
  EXPECT_EQ(control->ResultCodeExtended(), 0);
  EXPECT_EQ(commands.size(), 1u);
}

TEST_F(DeviceSettings, HeaderLineCommands) {
  const struct {
    std::int32_t line;
    const char* text;
    bool double_width;
    const char* sent;
  } rows[] = {
      {3, "SHOP", true, ">>/?H/$3/(SHOP)/*2"}, {1, "  BAR SPORT  ", false, ">>/?H/$1/(BAR SPORT)"},
      {6, "A)B/C", false, ">>/?H/$6/(A)B/C)"}, {0, "", false, ">>/?H/$0/()"},
      {-2, "X", false, ">>/?H/$-2/(X)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.sent);
    commands.clear();
    EXPECT_EQ(Header(row.line, row.text, row.double_width), 0);
    EXPECT_EQ(commands, Strings{row.sent});
  }
}

TEST_F(DeviceSettings, HeaderLineChecks) {
  EXPECT_EQ(Header(7, "X", false), 106);
  EXPECT_EQ(control->ResultCodeExtended(), 0);
  control->state().PrinterState = 2;
  EXPECT_EQ(Header(7, "X", false), 114);  // the state test comes before the line number
  EXPECT_EQ(control->ResultCodeExtended(), 204);
  control->TMVClose();
  EXPECT_EQ(Header(1, "X", false), 101);
  EXPECT_TRUE(commands.empty());
}

TEST_F(DeviceSettings, VatValues) {
  const struct {
    std::int32_t id;
    const char* value;
    std::int32_t code;
    std::int16_t stored;
  } rows[] = {
      {2, "22.5", 0, 2250},
      {1, "22", 0, 2200},
      {6, " 4 ", 0, 400},
      {3, "99.99", 0, 9999},
      {4, "0.125", 0, 12},  // half to even
      {4, "0.375", 0, 38},
      {5, "-1", 0, -100},
      {5, "-327.68", 0, -32768},
      {2, "100", 106, 0},
      {0, "10", 106, 0},
      {7, "10", 106, 0},
      {1, "abc", 106, 0},
      {1, "", 106, 0},
      {1, "10%", 106, 0},
      // The hundredths do not fit the 16-bit rate: refused, nothing stored.
      {5, "-327.69", 106, 0},
      {5, "-1000000", 106, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.id) + " " + row.value);
    control->state().VatRates.fill(0);
    control->state().ResultCodeExtended = 77;
    EXPECT_EQ(Vat(row.id, row.value), row.code);
    EXPECT_EQ(control->ResultCode(), row.code);
    EXPECT_EQ(control->ResultCodeExtended(), 77);
    if (row.code == 0) {
      EXPECT_EQ(control->state().VatRates.at(row.id - 1), row.stored);
    } else {
      for (auto rate : control->state().VatRates) EXPECT_EQ(rate, 0);
    }
  }
}

TEST_F(DeviceSettings, VatTableSendsAllSixRates) {
  EXPECT_EQ(control->SetVatTable(), 0);
  EXPECT_EQ(commands, (Strings{">>/?V/$1/*0", ">>/?V/$2/*0", ">>/?V/$3/*0", ">>/?V/$4/*0",
                               ">>/?V/$5/*0", ">>/?V/$6/*0"}));
  commands.clear();
  Vat(1, "22");
  Vat(2, "10");
  Vat(3, "4");
  Vat(6, "-0.5");
  control->state().PrinterState = 2;  // no state test
  EXPECT_EQ(control->SetVatTable(), 0);
  EXPECT_EQ(commands, (Strings{">>/?V/$1/*2200", ">>/?V/$2/*1000", ">>/?V/$3/*400", ">>/?V/$4/*0",
                               ">>/?V/$5/*0", ">>/?V/$6/*-50"}));
}

TEST_F(DeviceSettings, VatTableStopsAtTheFirstFailure) {
  Vat(3, "4");
  answerFor = [](const std::string& command) {
    return command == ">>/?V/$3/*400" ? R::ErrorStatus('X', "0061") : R::Status();
  };
  EXPECT_EQ(control->SetVatTable(), 114);
  EXPECT_EQ(control->ResultCode(), 114);
  EXPECT_EQ(commands.size(), 3u);
  control->TMVClose();
  EXPECT_EQ(control->SetVatTable(), 101);
  EXPECT_EQ(control->ResultCodeExtended(), 0);
}

// The rates live in the control, across closing and opening.
TEST_F(DeviceSettings, VatRatesOutliveTheDeviceSession) {
  Vat(1, "22");
  control->TMVClose();
  open();
  commands.clear();
  EXPECT_EQ(control->SetVatTable(), 0);
  EXPECT_EQ(commands.front(), ">>/?V/$1/*2200");
}

}  // namespace
}  // namespace velka::testing
