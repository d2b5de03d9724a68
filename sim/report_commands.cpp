// Key positions and the reports: X (=C2 =C10), Z (=C3 =C10, prints and resets the day), and
// the fiscal-memory report over a range (=C4, =401 or =402, =S bound, =S bound, =S).
#include "sim/command_run.h"
#include "sim/paper_layout.h"
#include "sim/register_errors.h"

namespace velka::sim {

namespace {

// The further-answer pattern of the reports: "printing, more follows", then "done".
std::vector<Answer> PrintingAnswers() {
  StatusAnswer printing;
  printing.further = true;
  return {printing, StatusAnswer{}};
}

bool ValidCompactDate(std::string_view text, LocalDateTime& out) {
  if (text.size() != 6) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  out.day = (text[0] - '0') * 10 + (text[1] - '0');
  out.month = (text[2] - '0') * 10 + (text[3] - '0');
  out.year = 2000 + (text[4] - '0') * 10 + (text[5] - '0');
  return IsValidDate(out.day, out.month, out.year);
}

}  // namespace

void CommandRun::keyPosition(std::string_view code) {
  if (code == "10") return dayReport();
  if (code.size() != 1 || code[0] < '1' || code[0] > '4') {
    fail(register_error::InvalidCode);
    return;
  }
  if (!requireNoDocument()) return;
  s_.key = static_cast<KeyPosition>(code[0] - '0');
  s_.range = RangeRequest{};
  s_.mode = SaleMode::Sale;
}

void CommandRun::printDayCounters() {
  const DayCounters& day = s_.day;
  print(LeftRight("SCONTRINI", std::to_string(day.receipts)));
  print(LeftRight("ANNULLATI", std::to_string(day.cancelled)));
  print(LeftRight("NON FISCALI", std::to_string(day.non_fiscal)));
  for (int v = 1; v <= kVatRates; ++v) {
    if (day.totals.by_vat[v] == 0) continue;
    print(LeftRight("IVA " + std::to_string(v) + " " + PaperPercent(s_.vat[v]),
                    PaperAmount(day.totals.by_vat[v])));
  }
  for (int p = 1; p <= kPaymentTypes; ++p) {
    if (day.totals.by_payment[p] == 0) continue;
    print(LeftRight(PaymentName(p), PaperAmount(day.totals.by_payment[p])));
  }
  print(LeftRight("RESI", PaperAmount(day.totals.refunds)));
  print(LeftRight("STORNI", PaperAmount(day.totals.voids)));
  print(LeftRight("SCONTI", PaperAmount(day.totals.discounts)));
  print(LeftRight("MAGGIORAZIONI", PaperAmount(day.totals.surcharges)));
  print(LeftRight("TOTALE GIORNO", PaperAmount(day.totals.total)));
  print(LeftRight("GRAN TOTALE", PaperAmount(s_.grand_total)));
}

void CommandRun::dayReport() {
  if (s_.key != KeyPosition::XReport && s_.key != KeyPosition::ZReport) {
    fail(register_error::WrongState);
    return;
  }
  if (!requireNoDocument()) return;
  const bool z = s_.key == KeyPosition::ZReport;
  if (z && fiscal_memory_.size() >= RegisterModel::kFiscalMemoryLimit) {
    fail(register_error::FiscalMemoryFull);
    return;
  }
  printHeader();
  if (z) {
    print(Centered("CHIUSURA GIORNALIERA"));
    print(Centered("Z N. " + Padded(s_.z_count + 1, 4)));
  } else {
    print(Centered("LETTURA GIORNALIERA (X)"));
  }
  print(Centered(ShortDateTime(now_).substr(0, 14)));
  print(Rule());
  printDayCounters();
  print(Rule());
  print("");
  answers = PrintingAnswers();
  if (!z) return;
  ++s_.z_count;
  z_record = ZRecord{s_.z_count, now_, s_.day.receipts, s_.day.cancelled, s_.day.totals.total};
  s_.day = DayCounters{};
  s_.last_receipt_number = 0;
  clear_journal = true;
}

void CommandRun::rangeKind(bool by_date) {
  if (s_.key != KeyPosition::FiscalMemory) {
    fail(register_error::WrongState);
    return;
  }
  s_.range = RangeRequest{};
  s_.range.chosen = true;
  s_.range.by_date = by_date;
}

void CommandRun::rangeBound(std::string_view bound) {
  RangeRequest& range = s_.range;
  if (!range.chosen || range.bounds.size() >= 2) {
    fail(register_error::Sequence);
    return;
  }
  if (range.by_date) {
    LocalDateTime date;
    if (!ValidCompactDate(bound, date)) {
      fail(register_error::BadDateTime);
      return;
    }
  } else if (bound.size() > 9) {
    fail(register_error::TooManyDigits);
    return;
  }
  range.bounds.emplace_back(bound);
}

void CommandRun::rangeReport() {
  RangeRequest& range = s_.range;
  if (!range.chosen || range.bounds.size() != 2) {
    fail(register_error::Sequence);
    return;
  }
  printHeader();
  print(Centered("MEMORIA FISCALE"));
  LocalDateTime from_date, to_date;
  long long from = 0, to = 0;
  if (range.by_date) {
    ValidCompactDate(range.bounds[0], from_date);
    ValidCompactDate(range.bounds[1], to_date);
    print(Centered("DAL " + range.bounds[0] + " AL " + range.bounds[1]));
  } else {
    from = std::stoll(range.bounds[0]);
    to = std::stoll(range.bounds[1]);
    print(Centered("DA Z " + range.bounds[0] + " A Z " + (to == 0 ? "ULTIMO" : range.bounds[1])));
  }
  print(Rule());
  int records = 0;
  Hundredths64 total = 0;
  for (const ZRecord& z : fiscal_memory_) {
    const bool inside = range.by_date
                            ? CompareDates(z.at, from_date) >= 0 && CompareDates(z.at, to_date) <= 0
                            : z.number >= from && (to == 0 || z.number <= to);
    if (!inside) continue;
    ++records;
    total += z.total;
    print(LeftRight("Z " + Padded(z.number, 4) + " " + CompactDate(z.at), PaperAmount(z.total)));
  }
  print(Rule());
  print(LeftRight("CHIUSURE", std::to_string(records)));
  print(LeftRight("TOTALE", PaperAmount(total)));
  print("");
  range = RangeRequest{};
  answers = PrintingAnswers();
}

}  // namespace velka::sim
