// Queries and direct commands through the real control on a pseudo-terminal, answered by the
// simulated register: the layouts the control reads out of the register's answers, the
// events that carry them to the host, and the register's clock and numbers as they move.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/single_byte_text.h"
#include "sim/paper_layout.h"
#include "tests/support/sim_control_fixture.h"

namespace velka {
namespace {

using testing::SimControlFixture;

class QueriesE2E : public SimControlFixture {};

TEST_F(QueriesE2E, GetDateReadsTheClockTheOperatorSet) {
  ASSERT_TRUE(sim->setClock(LocalDateTime{2027, 3, 15, 9, 45, 0}));
  std::u16string when;
  ASSERT_EQ(control->GetDate(when), 0);
  EXPECT_EQ(when, u"150320270945");
}

TEST_F(QueriesE2E, SetDateThenGetDateReadsItBack) {
  std::u16string set = u"311220282359";
  ASSERT_EQ(control->SetDate(set), 0);
  std::u16string when;
  ASSERT_EQ(control->GetDate(when), 0);
  EXPECT_EQ(when, set);
  // GetDate's answer stays in AnswerData, in the register's own layout.
  EXPECT_EQ(control->state().AnswerData.substr(0, 14), "31/12/28 23:59");
}

TEST_F(QueriesE2E, GetDataAnswersEachRequestWithTheRegistersData) {
  struct Row {
    std::int32_t item;
    std::u16string expected;
  };
  const std::vector<Row> rows = {
      {3, u"VELKA SIM 1.0 VS00000001"},  // the bare "<</"
      {0, u"VELKA SIM 1.0 VS00000001"},  // any other item sends the bare request too
      {16, u"VELKA SIM 1.0 VS00000001"},
      {11, u"VS00000001"},                    // serial number
      {5, u"2200 1000 0500 0400 0000 0000"},  // VAT rates
      {6, u"0000 0000 00000000000000"},       // Z reports, last receipt, grand total
      {12, u"000000010000"},                  // status: ready, no document, sales key
  };
  for (const Row& row : rows) {
    EXPECT_EQ(data(row.item), row.expected) << "DataItem " << row.item;
    EXPECT_EQ(control->ResultCode(), 0);
  }
  EXPECT_EQ(data(13).substr(0, 14), u"06/12/26 18:30");
}

TEST_F(QueriesE2E, SettingSentWithoutAcknowledgementIsReadBackByGetData) {
  // ">>/?S" goes out as a "V" frame: no acknowledgement, no answer, result 0 at once.
  ASSERT_EQ(direct(u">>/?S/$1/*2"), 0);
  EXPECT_EQ(data(14), u">>/?S/$1/*2");
}

TEST_F(QueriesE2E, DirectIOHandsEachAnswerToDirectIOEvent) {
  struct Row {
    std::u16string command;
    std::int32_t result;
    std::u16string answer;  // pString of DirectIOEvent
  };
  const std::vector<Row> rows = {
      {u"=R1/$2.5/*2/(PANE)", 0, u""},  // status answers carry no data
      {u"=S", 0, u""},
      {u"<</?r", 0, u"001 000000000500 000000000000 1"},  // the receipt: 1 line, 5,00
      {u"=T1/$10", 0, u""},
      {u"=T1", 114, u""},  // no receipt open: the register refuses, and no event is raised
  };
  std::int32_t command_number = 100;
  std::size_t events_expected = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(Utf16ToUtf8(row.command));
    std::int32_t pData = 7;
    std::u16string text = row.command;
    EXPECT_EQ(control->DirectIO(++command_number, pData, text), row.result);
    EXPECT_EQ(text, row.command);  // the caller's command string is left alone
    if (row.result != 0) continue;
    ASSERT_EQ(events.direct_io.size(), ++events_expected);
    EXPECT_EQ(events.direct_io.back().Command, command_number);
    EXPECT_EQ(events.direct_io.back().pData, 7);
    EXPECT_EQ(events.direct_io.back().pString, row.answer);
    EXPECT_TRUE(control->state().AnswerData.empty());  // handed over, then emptied
  }
  EXPECT_EQ(events.direct_io.size(), events_expected);
  EXPECT_EQ(control->ResultCodeExtended(), 7);  // the register's refusal of the last row
  const auto& last = sim->model().state().last;
  EXPECT_EQ(last.number, 1);
  EXPECT_EQ(last.total, 500);
}

TEST_F(QueriesE2E, DirectIO2StatusShowsTheReceiptNumberAdvance) {
  auto status = [this] { return Utf16ToUtf8(ask(u"<</?s")); };
  std::string now = status();
  ASSERT_EQ(now.size(), 12u) << now;
  EXPECT_EQ(now.substr(4, 2), "00");  // no document
  EXPECT_EQ(now.substr(8, 4), "0000");
  for (const std::string number : {"0001", "0002"}) {
    ASSERT_EQ(direct(u"=R/$1/(ACQUA)"), 0);
    now = status();
    EXPECT_EQ(now.substr(4, 2), "01") << now;  // fiscal receipt open
    ASSERT_EQ(direct(u"=T1/$0.5"), 0);
    EXPECT_EQ(status().substr(4, 2), "02");  // paid in part
    ASSERT_EQ(direct(u"=T1"), 0);            // the rest
    now = status();
    EXPECT_EQ(now.substr(2, 2), "01");  // the day has documents
    EXPECT_EQ(now.substr(4, 2), "00");
    EXPECT_EQ(now.substr(8, 4), number);
  }
  EXPECT_TRUE(control->state().AnswerData.empty());  // handed over, then emptied
}

// Enough sales for a journal that crosses many reads of the terminal.
TEST_F(QueriesE2E, JournalStreamArrivesLineByLineAsReceiveDataEvents) {
  for (int receipt = 0; receipt < 3; ++receipt) {
    for (int item = 0; item < 20; ++item) {
      ASSERT_EQ(direct(u"=R/$1.1/(ARTICOLO " + Utf8ToUtf16(std::to_string(item)) + u")"), 0);
    }
    ASSERT_EQ(direct(u"=T"), 0);
  }
  const std::vector<std::string> journal = sim->model().journal();
  ASSERT_GT(journal.size(), 60u);
  events.log.clear();
  events.data.clear();
  events.direct_io.clear();

  std::int32_t pData = 0;
  std::u16string request = u"<</?m";
  ASSERT_EQ(control->DirectIO(9, pData, request), 0);

  std::vector<std::u16string> expected;
  expected.push_back(events.data.empty() ? u"" : events.data.front());  // heading: date, count
  for (const std::string& line : journal) expected.push_back(Utf8ToUtf16(sim::FullWidth(line)));
  expected.push_back(Utf8ToUtf16(sim::FullWidth("FINE GI.EL.")));
  ASSERT_EQ(events.data.size(), expected.size());
  EXPECT_EQ(events.data, expected);
  EXPECT_EQ(events.data.front().substr(0, 7), u"GI.EL. ");
  for (const std::u16string& line : events.data) EXPECT_EQ(line.size(), sim::kPaperWidth);
  // The lines come first, then the answer of the command (its closing status: no data).
  ASSERT_EQ(events.direct_io.size(), 1u);
  EXPECT_EQ(events.log.back(), "DirectIOEvent 9 0 ");
  EXPECT_EQ(events.log.size(), expected.size() + 1);
  // The link is free again: the next command goes through.
  EXPECT_EQ(ask(u"<</?s").substr(8, 4), u"0003");
}

}  // namespace
}  // namespace velka
