#include "sim/register_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sim/register_errors.h"

namespace velka::sim {
namespace {

class Model : public ::testing::Test {
 protected:
  Outcome run(const std::string& command) { return model.execute(command, now); }
  StatusAnswer status(const std::string& command) {
    Outcome out = run(command);
    EXPECT_FALSE(out.answers.empty()) << command;
    const auto* s = std::get_if<StatusAnswer>(&out.answers.back());
    return s ? *s : StatusAnswer{true, '?', -1};
  }
  int error(const std::string& command) {
    const StatusAnswer s = status(command);
    return s.error ? s.error_number : 0;
  }
  std::string data(const std::string& command) {
    Outcome out = run(command);
    const auto* d = out.answers.empty() ? nullptr : std::get_if<DataAnswer>(&out.answers[0]);
    return d ? d->data : "<no data answer>";
  }
  // Characters `from`..`from + n - 1` of the "<</?s" answer data, counted from 1.
  std::string statusChars(int from, int n) { return data("<</?s").substr(from - 1, n); }
  void runAll(const std::vector<std::string>& commands) {
    for (const std::string& c : commands) ASSERT_EQ(error(c), 0) << c;
  }
  static bool Printed(const Outcome& out, const std::string& text) {
    return std::any_of(out.paper.begin(), out.paper.end(), [&](const std::string& line) {
      return line.find(text) != std::string::npos;
    });
  }

  Millis now = 0;
  RegisterModel model{LocalDateTime{2026, 12, 6, 18, 30, 0}, 0};
};

TEST_F(Model, ReceiptRunsFromFirstSaleToTheClosingPayment) {
  EXPECT_EQ(status("=R1/$1.5/*2/(CAFFE)").document, DocumentDigit::FiscalReceipt);
  EXPECT_EQ(statusChars(5, 2), "01");
  EXPECT_EQ(status("=S").document, DocumentDigit::FiscalReceipt);
  EXPECT_EQ(status("=T1/$2").document, DocumentDigit::PaymentIncomplete);
  EXPECT_EQ(statusChars(5, 2), "02");  // what PrintRecTotal reads
  EXPECT_EQ(statusChars(9, 4), "0000");
  EXPECT_EQ(status("=T2").document, DocumentDigit::ReceiptEnding);  // the rest, not paid
  EXPECT_EQ(statusChars(5, 2), "00");
  EXPECT_EQ(statusChars(9, 4), "0001");
  // A trailer message still prints; its answer no longer says "ending".
  EXPECT_EQ(status("=\"/(GRAZIE)").document, DocumentDigit::None);
  // The next sale starts receipt 2.
  runAll({"=R/$1", "=T"});
  EXPECT_EQ(statusChars(9, 4), "0002");
  EXPECT_EQ(data("<</?1"), "0002 0000 0000 000000000400");
}

TEST_F(Model, CashGivesChangeOtherPaymentsMayNotExceedTheRest) {
  runAll({"=R/$10"});
  EXPECT_EQ(error("=T4/$20"), register_error::ChangeDisabled);
  const Outcome cash = run("=T1/$20");
  EXPECT_TRUE(Printed(cash, "RESTO"));
  EXPECT_TRUE(Printed(cash, "10,00"));
  EXPECT_EQ(data("<</?7").substr(0, 12), "000000001000");  // cash counts what was due
}

TEST_F(Model, AdjustmentsRefundsAndCancellationsChangeTheTotal) {
  runAll({"=R1/$10/(PANE)", "=%/*10/(SCONTO)", "=R2/$5/*2/(LATTE)", "=s", "=R2/$5/(LATTE)", "=r",
          "=R1/$2/(RESO)", "=S", "=V+/$0.5"});
  // 10 - 1 + 10 - 5 - 2 + 0.5 in six lines; the surcharge on the subtotal is spread over
  // the VAT codes in proportion (7.00 and 5.00).
  EXPECT_EQ(data("<</?r"), "006 000000001250 000000000000 1");
  runAll({"=T"});
  EXPECT_EQ(data("<</?8"),
            "000000000730 000000000520 000000000000 000000000000 000000000000 000000000000");
}

TEST_F(Model, RefusedCommandsGiveTheirErrorAndChangeNothing) {
  struct Row {
    std::vector<std::string> before;
    std::string command;
    int expected;
  };
  using namespace register_error;
  const std::vector<Row> rows = {
      {{}, "=T1", Sequence},
      {{}, "=V/$1", Sequence},
      {{}, "=s", Sequence},
      {{}, "=c", Sequence},
      {{"=\"/(NO SALE YET)"}, "=T", Sequence},
      {{"=C2"}, "=\"/(IN X)", WrongState},
      {{"=R/$1"}, "=o", Sequence},
      {{"=R/$1"}, "=C2", Sequence},
      {{"=R/$1"}, "=V/$2", NegativeSubtotal},
      {{"=R/$1", "=s"}, "=R/$2", VoidNotAllowed},
      {{"=R/$1", "=r"}, "=R/$2", RefundNotAllowed},
      {{"=R/$1", "=T1/$0.5"}, "=R/$1", Sequence},          // no sale after a payment
      {{"=R/$1", "=T1/$0.5"}, "=k/(TOO LATE)", Sequence},  // paid in part: no cancel
      {{"=C2"}, "=R/$1", WrongState},
      {{}, "=C10", WrongState},
      {{}, "=Q", InvalidCode},
      {{}, "HELLO", InvalidCode},
      {{"=R/$1"}, "=T7", InvalidCode},
      {{}, "<</?x", NotFound},
      {{}, "=R/$1/(OPEN", InputError},
      {{}, "=R/$1/$2", InputError},
      {{}, "=R7/$1", VatCode},
      {{}, "=R/$1.555", DecimalPrice},
      {{}, "=R/$0", BelowLimit},
      {{}, "=R/$1/*10000", AboveLimit},
      {{}, "=R/$1/*-1", BelowLimit},
      {{}, "=R", AmountRequired},
      {{}, "=R/$1/(" + std::string(33, 'X') + ")", TooManyDigits},
      {{}, "=R/$999999.99/*2", AmountTooHigh},
      {{}, ">>/?H/$7/(SHOP)", AboveLimit},
      {{}, ">>/?H/$0/(SHOP)", BelowLimit},
      {{}, ">>/?H/$-1/(SHOP)", BelowLimit},
      {{}, ">>/?H/$1/(" + std::string(17, 'W') + ")/*2", TooManyDigits},
      {{}, ">>/?V/$1/*10000", AboveLimit},
      {{}, ">>/?d/$311326/*120000", BadDateTime},
      {{}, ">>/?d/$010126/*246000", BadDateTime},
      {{"=C4"}, "=S010126", Sequence},
      {{"=C4", "=401"}, "=S320126", BadDateTime},
      {{"=C4", "=402", "=S1"}, "=S", Sequence},
      {{}, "=401", WrongState},
  };
  for (const Row& row : rows) {
    RegisterModel fresh{LocalDateTime{2026, 12, 6, 18, 30, 0}, 0};
    for (const std::string& c : row.before) {
      const Outcome setup = fresh.execute(c, 0);
      const auto* s = std::get_if<StatusAnswer>(&setup.answers.at(0));
      ASSERT_TRUE(s && !s->error) << c;
    }
    const std::string before = fresh.summary(0);
    const std::size_t journal = fresh.journal().size();
    const Outcome out = fresh.execute(row.command, 0);
    const auto* s = std::get_if<StatusAnswer>(&out.answers.at(0));
    ASSERT_NE(s, nullptr) << row.command;
    EXPECT_EQ(s->error ? s->error_number : 0, row.expected) << row.command;
    if (row.expected != 0) {
      EXPECT_EQ(s->condition, 'R') << row.command;
      EXPECT_FALSE(s->further) << row.command;
      EXPECT_EQ(fresh.summary(0), before) << row.command;
      EXPECT_EQ(fresh.journal().size(), journal) << row.command;
      EXPECT_TRUE(out.paper.empty()) << row.command;
    }
  }
}

TEST_F(Model, AFailedSaleLeavesTheRefundModeWaitingForTheNextOne) {
  runAll({"=R/$5", "=r"});
  EXPECT_EQ(error("=R/$9"), register_error::RefundNotAllowed);
  runAll({"=R/$2"});  // still a refund
  EXPECT_EQ(data("<</?r").substr(4, 12), "000000000300");
}

TEST_F(Model, XReportPrintsTheDayZReportPrintsAndResetsIt) {
  runAll({"=R1/$1.5", "=T", "=R2/$2", "=T", "=R/$9", "=k", "=o", "=\"/(NOTE)", "=c"});
  EXPECT_EQ(data("<</?1"), "0002 0001 0001 000000000350");
  EXPECT_EQ(statusChars(3, 2), "01");
  runAll({"=C2"});
  const Outcome x = run("=C10");
  ASSERT_EQ(x.answers.size(), 2u);  // "printing, more follows", then "done"
  EXPECT_TRUE(std::get<StatusAnswer>(x.answers[0]).further);
  EXPECT_FALSE(std::get<StatusAnswer>(x.answers[1]).further);
  EXPECT_TRUE(Printed(x, "TOTALE GIORNO"));
  EXPECT_TRUE(Printed(x, "3,50"));
  runAll({"=C1"});
  EXPECT_EQ(data("<</?1"), "0002 0001 0001 000000000350");  // X changes nothing
  EXPECT_FALSE(model.journal().empty());

  runAll({"=C3"});
  const Outcome z = run("=C10");
  EXPECT_TRUE(Printed(z, "CHIUSURA GIORNALIERA"));
  EXPECT_TRUE(Printed(z, "3,50"));
  runAll({"=C1"});
  EXPECT_EQ(data("<</?1"), "0000 0000 0000 000000000000");
  EXPECT_EQ(statusChars(3, 2), "00");
  EXPECT_EQ(statusChars(9, 4), "0000");
  EXPECT_EQ(data("<</?k"), "0001 0000 00000000000350");  // grand total stays
  ASSERT_EQ(model.fiscalMemory().size(), 1u);
  EXPECT_EQ(model.fiscalMemory()[0].total, 350);
  EXPECT_EQ(model.fiscalMemory()[0].receipts, 2);
  EXPECT_TRUE(model.journal().empty());
  runAll({"=R/$1", "=T"});
  EXPECT_EQ(statusChars(9, 4), "0001");
}

TEST_F(Model, RangeReportPrintsTheZReportsInTheRange) {
  for (const char* price : {"=R/$1", "=R/$2", "=R/$4"}) {
    runAll({price, "=T", "=C3", "=C10", "=C1"});
    now += 86'400'000;  // the next day
  }
  runAll({"=C4", "=402", "=S2", "=S0"});
  const Outcome by_number = run("=S");
  ASSERT_EQ(by_number.answers.size(), 2u);
  EXPECT_FALSE(Printed(by_number, "Z 0001"));
  EXPECT_TRUE(Printed(by_number, "Z 0002"));
  EXPECT_TRUE(Printed(by_number, "Z 0003"));
  EXPECT_TRUE(Printed(by_number, "6,00"));
  runAll({"=401", "=S061226", "=S071226"});
  const Outcome by_date = run("=S");
  EXPECT_TRUE(Printed(by_date, "Z 0001"));
  EXPECT_TRUE(Printed(by_date, "Z 0002"));
  EXPECT_FALSE(Printed(by_date, "Z 0003"));
  runAll({"=C1"});
}

TEST_F(Model, HeaderLinesVatRatesAndTheClockAreProgrammed) {
  runAll({">>/?H/$1/(BAR SPORT)", ">>/?H/$2/(VIA ROMA 1)/*2", ">>/?V/$1/*2200", ">>/?V/$2/*0"});
  const Outcome first = run("=R/$1");
  EXPECT_TRUE(Printed(first, "BAR SPORT"));
  EXPECT_TRUE(Printed(first, "V I A   R O M A   1"));
  runAll({"=T"});
  EXPECT_EQ(data("<</?5"), "2200 0000 0500 0400 0000 0000");

  EXPECT_EQ(data("<</?d"), "06/12/26 18:30:00");
  now += 61'000;
  EXPECT_EQ(data("<</?d"), "06/12/26 18:31:01");  // the clock runs on
  runAll({">>/?d/$311227/*235959"});
  now += 2'000;
  EXPECT_EQ(data("<</?d"), "01/01/28 00:00:01");
  runAll({"=C3", "=C10", "=C1"});
  EXPECT_EQ(error(">>/?d/$301227/*120000"), register_error::BadDateTime);  // before the Z
}

TEST_F(Model, DataRequestsAnswerInTheirLayouts) {
  EXPECT_EQ(data("<</?s").size(), 12u);
  const std::string d = data("<</?d");
  EXPECT_EQ(d.substr(0, 2) + d.substr(3, 2) + d.substr(6, 2) + d.substr(9, 2) + d.substr(12, 2),
            "0612261830");
  EXPECT_EQ(data("<</"), "VELKA SIM 1.0 VS00000001");
  EXPECT_EQ(data("<</?0"), "VS00000001");
  runAll({">>/?S/$1"});
  EXPECT_EQ(data("<</?S"), ">>/?S/$1");
  runAll({"=R/$3", "=T"});
  EXPECT_EQ(data("<</?u").substr(0, 19), "0001 000000000300 P");
  for (const char* code : {"<</?1", "<</?5", "<</?7", "<</?8", "<</?k", "<</?r"}) {
    EXPECT_NE(data(code), "<no data answer>") << code;
  }
}

TEST_F(Model, JournalDumpIsAStreamOfFullWidthLines) {
  runAll({"=R/$1/(ACQUA)", "=T"});
  const Outcome out = run("<</?m");
  ASSERT_EQ(out.answers.size(), 1u);
  const auto& dump = std::get<DataLines>(out.answers[0]);
  ASSERT_GE(dump.lines.size(), 3u);
  for (const std::string& line : dump.lines) EXPECT_EQ(line.size(), 32u) << line;
  EXPECT_NE(dump.lines[0].find("GI.EL."), std::string::npos);
  EXPECT_NE(dump.lines.back().find("FINE GI.EL."), std::string::npos);
  EXPECT_TRUE(std::any_of(dump.lines.begin(), dump.lines.end(),
                          [](const std::string& l) { return l.find("ACQUA") == 0; }));
  EXPECT_FALSE(dump.closing.error);
  EXPECT_FALSE(dump.closing.further);
}

TEST_F(Model, FiscalMemoryAnswersWithDataLineAnswersThenAStatus) {
  runAll({"=R/$1", "=T", "=C3", "=C10", "=C1"});
  const Outcome out = run("<</?f");
  ASSERT_EQ(out.answers.size(), 3u);
  EXPECT_EQ(std::get<DataAnswer>(out.answers[0]), (DataAnswer{'|', "MF VS00000001 Z 0001"}));
  EXPECT_EQ(std::get<DataAnswer>(out.answers[1]).data, "Z0001 061226 0001 000000000100");
  EXPECT_FALSE(std::get<StatusAnswer>(out.answers[2]).error);
}

TEST_F(Model, MessageLineBeforeTheFirstSaleOpensTheReceipt) {
  const Outcome out = run("=\"/(CASSA 1)");
  EXPECT_TRUE(Printed(out, "SCONTRINO FISCALE"));
  EXPECT_EQ(statusChars(5, 2), "01");
  runAll({"=R/$1", "=T"});
  EXPECT_EQ(statusChars(9, 4), "0001");
}

TEST_F(Model, NonFiscalDocumentStaysOutOfTheJournal) {
  EXPECT_EQ(status("=o").document, DocumentDigit::NonFiscal);
  EXPECT_EQ(statusChars(5, 2), "03");
  EXPECT_EQ(status("=\"/(RIGA UNO)").document, DocumentDigit::NonFiscal);
  EXPECT_EQ(status("=\"/()").document, DocumentDigit::NonFiscal);  // an empty line prints
  EXPECT_EQ(error("=R/$1"), register_error::Sequence);
  EXPECT_EQ(status("=c").document, DocumentDigit::None);
  EXPECT_TRUE(model.journal().empty());
}

TEST_F(Model, PrintingCommandWaitsWhileTheCoverIsOpenAndRunsWhenItCloses) {
  runAll({"=R/$1"});
  EXPECT_TRUE(model.setCondition(Condition::CoverOpen, true, now).answers.empty());
  const StatusAnswer held = status("=R/$2");
  EXPECT_TRUE(held.error);
  EXPECT_EQ(held.condition, 'C');
  EXPECT_EQ(held.error_number, register_error::CoverOpen);
  EXPECT_TRUE(held.further);
  EXPECT_TRUE(model.holding());
  // Nothing printed meanwhile; requests are still answered, and say why.
  EXPECT_EQ(statusChars(1, 2), "01");
  EXPECT_EQ(data("<</?r").substr(4, 12), "000000000100");
  const Outcome report = model.setCondition(Condition::CoverOpen, false, now);
  ASSERT_EQ(report.answers.size(), 1u);
  const auto& cleared = std::get<StatusAnswer>(report.answers[0]);
  EXPECT_FALSE(cleared.error);
  EXPECT_FALSE(cleared.further);
  EXPECT_EQ(cleared.document, DocumentDigit::FiscalReceipt);
  EXPECT_FALSE(report.paper.empty());
  EXPECT_EQ(data("<</?r").substr(4, 12), "000000000300");
  EXPECT_FALSE(model.holding());
}

TEST_F(Model, ConditionsEachHaveTheirLetterAndNumber) {
  struct Row {
    Condition condition;
    char letter;
    int number;
    const char* code;
  };
  for (const Row& row :
       {Row{Condition::PaperOut, 'P', 104, "02"}, Row{Condition::Error105, 'R', 105, "03"}}) {
    RegisterModel m{LocalDateTime{2026, 12, 6, 18, 30, 0}, 0};
    m.setCondition(row.condition, true, 0);
    const auto s = std::get<StatusAnswer>(m.execute("=o", 0).answers.at(0));
    EXPECT_EQ(s.condition, row.letter);
    EXPECT_EQ(s.error_number, row.number);
    EXPECT_TRUE(s.further);
    EXPECT_EQ(std::get<DataAnswer>(m.execute("<</?s", 0).answers.at(0)).data.substr(0, 2),
              row.code);
  }
  // Error 105 is cleared by =K as well; the held command is then dropped.
  model.setCondition(Condition::Error105, true, now);
  EXPECT_TRUE(status("=o").error);
  EXPECT_EQ(error("=K"), 0);
  EXPECT_FALSE(model.condition(Condition::Error105));
  EXPECT_FALSE(model.holding());
  EXPECT_EQ(status("=o").document, DocumentDigit::NonFiscal);
}

TEST_F(Model, InjectedErrorsRefuseTheNextCommandsUnexecuted) {
  model.injectErrors(17, 2);
  EXPECT_EQ(error("=R/$1"), 17);
  EXPECT_EQ(error("<</?s"), 17);
  EXPECT_EQ(error("=R/$1"), 0);
  EXPECT_EQ(data("<</?r").substr(0, 3), "001");
}

// The record a crash test counts from: what was carried out, refused or held, and how each
// receipt ended.
TEST_F(Model, RecordSaysWhatWasCarriedOutAndHowEachReceiptEnded) {
  std::vector<std::string> record;
  auto keep = [&](const Outcome& out) {
    record.insert(record.end(), out.record.begin(), out.record.end());
  };
  for (const char* command : {"=R/$1/(A)", "=T1", "=R/$2", "=Q", "=k"}) keep(run(command));
  model.setCondition(Condition::PaperOut, true, now);
  keep(run("=R/$3"));
  keep(model.setCondition(Condition::PaperOut, false, now));
  EXPECT_EQ(record,
            (std::vector<std::string>{"exec =R/$1/(A)", "exec =T1", "receipt 0001 closed",
                                      "exec =R/$2", "refuse 19 =Q", "exec =k",
                                      "receipt 0002 cancelled", "hold =R/$3", "exec =R/$3"}));
}

TEST_F(Model, TextsMayHoldSlashesAndParentheses) {
  runAll({">>/?H/$1/(X)Y)/*2", "=R/$1/(A/B (1))"});
  EXPECT_EQ(model.state().header[1].text, "X)Y");
  EXPECT_TRUE(model.state().header[1].double_width);
  EXPECT_EQ(model.state().receipt.items.at(0).description, "A/B (1)");
}

}  // namespace
}  // namespace velka::sim
