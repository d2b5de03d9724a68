// Day reports and the register's settings through the real control, checked in the simulated
// register's memory and on its paper.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>

#include "tests/support/sim_control_fixture.h"

namespace velka {
namespace {

using testing::SimControlFixture;

class ReportsSettingsE2E : public SimControlFixture {
 protected:
  // A receipt of one item paid in cash, through the receipt methods, so that the control is
  // idle again afterwards.
  void receipt(const std::u16string& item, Currency price, std::int32_t vat = 1) {
    bool header = true;
    ASSERT_EQ(control->BeginFiscalReceipt(header), 0);
    std::u16string description = item, unit;
    std::int32_t quantity = 1, unit_price = 0;
    ASSERT_EQ(control->PrintRecItem(description, price, quantity, vat, unit_price, unit), 0);
    ASSERT_EQ(pay(0), 0);  // the rest
    ASSERT_EQ(control->EndFiscalReceipt(header), 0);
  }
};

TEST_F(ReportsSettingsE2E, XReportLeavesTheDayAndZReportClosesIt) {
  receipt(u"PANE", 20000);
  receipt(u"LATTE", 15000);
  const auto& state = sim->model().state();
  ASSERT_EQ(state.day.receipts, 2);

  paper.clear();
  ASSERT_EQ(control->PrintXReport(), 0);
  EXPECT_TRUE(printed("LETTURA GIORNALIERA (X)"));
  EXPECT_EQ(state.day.receipts, 2);
  EXPECT_EQ(state.day.totals.total, 350);
  EXPECT_EQ(state.last_receipt_number, 2);
  EXPECT_EQ(state.z_count, 0);
  EXPECT_EQ(state.key, sim::KeyPosition::Sales);  // =C1 ended the report

  paper.clear();
  ASSERT_EQ(control->PrintZReport(), 0);
  EXPECT_TRUE(printed("CHIUSURA GIORNALIERA"));
  EXPECT_TRUE(printed("Z N. 0001"));
  EXPECT_FALSE(state.day.any());
  EXPECT_EQ(state.day.totals.total, 0);
  EXPECT_EQ(state.last_receipt_number, 0);
  EXPECT_EQ(state.z_count, 1);
  EXPECT_EQ(state.grand_total, 350);
  EXPECT_EQ(state.key, sim::KeyPosition::Sales);
  ASSERT_EQ(sim->model().fiscalMemory().size(), 1u);
  EXPECT_EQ(sim->model().fiscalMemory()[0].receipts, 2);
  EXPECT_EQ(sim->model().fiscalMemory()[0].total, 350);
  EXPECT_TRUE(sim->model().journal().empty());
  // The next receipt starts the new day's numbering.
  receipt(u"ACQUA", 10000);
  EXPECT_EQ(data(12).substr(8, 4), u"0001");
}

TEST_F(ReportsSettingsE2E, HeaderLineReachesTheRegisterAndItsPaper) {
  std::int32_t line = 3;
  std::u16string text = u"  BAR CENTRALE  ";
  bool double_width = true;
  ASSERT_EQ(control->SetHeaderLine(line, text, double_width), 0);
  line = 4;
  text = u"VIA ROMA 1";
  double_width = false;
  ASSERT_EQ(control->SetHeaderLine(line, text, double_width), 0);

  const auto& header = sim->model().state().header;
  EXPECT_EQ(header[3].text, "BAR CENTRALE");
  EXPECT_TRUE(header[3].double_width);
  EXPECT_EQ(header[4].text, "VIA ROMA 1");
  EXPECT_FALSE(header[4].double_width);
  paper.clear();
  ASSERT_EQ(control->PrintXReport(), 0);
  EXPECT_TRUE(printed("B A R   C E N T R A L E"));  // double width
  EXPECT_TRUE(printed("VIA ROMA 1"));
}

TEST_F(ReportsSettingsE2E, VatTableReachesTheRegister) {
  const std::pair<std::int32_t, std::u16string> rates[] = {{1, u"22"}, {2, u"10"}, {3, u"5.5"},
                                                           {4, u"4"},  {5, u"0"},  {6, u"0"}};
  for (auto [id, value] : rates) ASSERT_EQ(control->SetVatValue(id, value), 0);
  ASSERT_EQ(control->SetVatTable(), 0);

  const auto& vat = sim->model().state().vat;
  EXPECT_EQ((std::array<int, 6>{vat[1], vat[2], vat[3], vat[4], vat[5], vat[6]}),
            (std::array<int, 6>{2200, 1000, 550, 400, 0, 0}));
  EXPECT_EQ(data(5), u"2200 1000 0550 0400 0000 0000");
  // The day report shows the rate of a sale in VAT code 3.
  receipt(u"LIBRO", 100000, 3);
  paper.clear();
  ASSERT_EQ(control->PrintXReport(), 0);
  EXPECT_TRUE(printed("IVA 3 5,50%"));
}

}  // namespace
}  // namespace velka
