// Fiscal and non-fiscal documents through the real control's receipt methods, checked on the
// simulated register's side: what it counted, what it printed, and the printer state the
// control followed from its answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/sim_control_fixture.h"

namespace velka {
namespace {

using testing::SimControlFixture;

class ReceiptE2E : public SimControlFixture {
 protected:
  std::int32_t adjust(std::int32_t type, const std::u16string& description, Currency amount) {
    std::u16string d = description;
    std::int32_t vat = 0;
    return control->PrintRecItemAdjustment(type, d, amount, vat);
  }
  // Index of the first printed line holding the text, or paper.size().
  std::size_t printedAt(const std::string& text) const {
    return std::find_if(
               paper.begin(), paper.end(),
               [&](const std::string& line) { return line.find(text) != std::string::npos; }) -
           paper.begin();
  }
};

TEST_F(ReceiptE2E, TwoItemsADiscountAndTwoPayments) {
  bool header = true;
  ASSERT_EQ(control->BeginFiscalReceipt(header), 0);
  ASSERT_EQ(sell(u"CAFFE", 15000, 2), 0);     // 3,00
  ASSERT_EQ(sell(u"CORNETTO", 12000, 1), 0);  // 1,20
  ASSERT_EQ(adjust(1, u"SCONTO", 2000), 0);   // 0,20 off the last item
  EXPECT_EQ(control->PrinterState(), 2);

  ASSERT_EQ(pay(25000, u"1"), 0);  // 2,50 cash
  EXPECT_EQ(control->PrinterState(), 3);
  EXPECT_EQ(sim->model().state().receipt.paid, 250);
  bool trailer = true;
  EXPECT_EQ(control->EndFiscalReceipt(trailer), 114);  // not paid in full
  EXPECT_EQ(control->ResultCodeExtended(), 204);

  ASSERT_EQ(pay(15000, u"4"), 0);  // 1,50 by card: the rest
  EXPECT_EQ(control->PrinterState(), 4);
  ASSERT_EQ(control->EndFiscalReceipt(trailer), 0);
  EXPECT_EQ(control->PrinterState(), 1);

  const auto& state = sim->model().state();
  EXPECT_EQ(state.last.number, 1);
  EXPECT_EQ(state.last.total, 400);
  EXPECT_FALSE(state.last.cancelled);
  EXPECT_EQ(state.day.receipts, 1);
  EXPECT_EQ(state.day.totals.total, 400);
  EXPECT_EQ(state.day.totals.discounts, 20);
  EXPECT_EQ(state.day.totals.by_payment[1], 250);
  EXPECT_EQ(state.day.totals.by_payment[4], 150);
  // Printed in the order sent.
  EXPECT_LT(printedAt("CAFFE"), printedAt("CORNETTO"));
  EXPECT_LT(printedAt("CORNETTO"), printedAt("SCONTO"));
  EXPECT_LT(printedAt("SCONTO"), printedAt("SCONTRINO N. 0001"));
  EXPECT_LT(printedAt("SCONTRINO N. 0001"), paper.size());
}

TEST_F(ReceiptE2E, CancelledReceiptIsCountedAsCancelled) {
  bool header = true;
  ASSERT_EQ(control->BeginFiscalReceipt(header), 0);
  ASSERT_EQ(sell(u"ACQUA", 10000, 3), 0);
  std::u16string why = u"ERRORE CASSIERE";
  ASSERT_EQ(control->PrintRecVoid(why), 0);
  EXPECT_EQ(control->PrinterState(), 4);
  ASSERT_EQ(control->EndFiscalReceipt(header), 0);
  EXPECT_EQ(control->PrinterState(), 1);

  const auto& state = sim->model().state();
  EXPECT_TRUE(state.last.cancelled);
  EXPECT_EQ(state.last.number, 1);  // a cancelled receipt takes its number too
  EXPECT_EQ(state.day.cancelled, 1);
  EXPECT_EQ(state.day.receipts, 0);
  EXPECT_EQ(state.day.totals.total, 0);
  EXPECT_TRUE(printed("ERRORE CASSIERE"));
  EXPECT_EQ(ask(u"<</?u").substr(0, 22), u"0001 000000000300 A 06");
}

TEST_F(ReceiptE2E, NonFiscalDocumentOfThreeLines) {
  ASSERT_EQ(control->BeginNonFiscal(), 0);
  EXPECT_EQ(control->PrinterState(), 9);
  std::int32_t station = 2;
  // The third line is longer than a printed line: its first 20 characters go out.
  ASSERT_EQ(control->PrintNormal(station, u"PRIMA RIGA\n  SECONDA\nTERZA RIGA MOLTO PIU LUNGA"), 0);
  ASSERT_EQ(control->EndNonFiscal(), 0);
  EXPECT_EQ(control->PrinterState(), 1);

  const std::size_t first = printedAt("PRIMA RIGA");
  ASSERT_LT(first + 2, paper.size());
  EXPECT_EQ(paper[first + 1].find("SECONDA"), 0u) << paper[first + 1];  // trimmed
  EXPECT_EQ(paper[first + 2], "TERZA RIGA MOLTO PIU");
  EXPECT_EQ(sim->model().state().day.non_fiscal, 1);
  EXPECT_FALSE(sim->model().state().non_fiscal_open);
  EXPECT_EQ(sim->model().state().day.receipts, 0);
}

}  // namespace
}  // namespace velka
