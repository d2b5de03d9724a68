// The data requests "<</" and "<</?x": data answers, a stream of data lines (?m) and "|"
// data answers (?f).
#include "sim/command_run.h"
#include "sim/paper_layout.h"
#include "sim/register_errors.h"

namespace velka::sim {

namespace {

std::string Amount12(Hundredths64 value) {
  return Padded(value, 12);
}

char PhaseDigit(const RegisterState& s) {
  if (s.non_fiscal_open) return '3';
  switch (s.receipt.phase) {
    case ReceiptPhase::Lines:
      return '1';
    case ReceiptPhase::Paying:
      return '2';
    case ReceiptPhase::None:
    case ReceiptPhase::Ending:
      break;
  }
  return '0';
}

}  // namespace

// Layout of the "<</?s" answer data, positions counted from 1:
//   1-2  condition: "00" ready, "01" cover open, "02" paper out, "03" error 105
//   3-4  "01" when the day has documents not yet closed by a Z report, else "00"
//   5-6  document: "00" none, "01" fiscal receipt open, "02" payment incomplete,
//        "03" non-fiscal document open
//   7-8  key position: "01" sales, "02" X, "03" Z, "04" fiscal memory
//   9-12 number of the last receipt closed today
std::string CommandRun::statusData() const {
  std::string data = condition_code;
  data += s_.day.any() ? "01" : "00";
  data += std::string("0") + PhaseDigit(s_);
  data += Padded(static_cast<int>(s_.key), 2);
  data += Padded(s_.last_receipt_number, 4);
  return data;
}

void CommandRun::request(std::string_view code) {
  auto data = [&](char kind, std::string text) {
    answers.push_back(DataAnswer{kind, std::move(text)});
  };
  if (code.empty()) return data('I', std::string("VELKA SIM 1.0 ") + RegisterModel::kSerialNumber);
  if (code.size() != 2 || code[0] != '?') {
    fail(register_error::NotFound);
    return;
  }
  const char what = code[1];
  const DayCounters& day = s_.day;
  switch (what) {
    case 's':
      return data('s', statusData());
    case 'd':
      return data('d', ShortDateTime(now_));
    case '0':
      return data('0', RegisterModel::kSerialNumber);
    case '1':
      return data('1', Padded(day.receipts, 4) + " " + Padded(day.cancelled, 4) + " " +
                           Padded(day.non_fiscal, 4) + " " + Amount12(day.totals.total));
    case '5': {
      std::string rates;
      for (int v = 1; v <= kVatRates; ++v) rates += (v > 1 ? " " : "") + Padded(s_.vat[v], 4);
      return data('5', rates);
    }
    case '7': {
      std::string totals;
      for (int p = 1; p <= kPaymentTypes; ++p) {
        totals += (p > 1 ? " " : "") + Amount12(day.totals.by_payment[p]);
      }
      return data('7', totals);
    }
    case '8': {
      std::string totals;
      for (int v = 1; v <= kVatRates; ++v) {
        totals += (v > 1 ? " " : "") + Amount12(day.totals.by_vat[v]);
      }
      return data('8', totals);
    }
    case 'k':
      return data('k', Padded(s_.z_count, 4) + " " + Padded(s_.last_receipt_number, 4) + " " +
                           Padded(s_.grand_total, 14));
    case 'r':
      return data('r', Padded(static_cast<std::int64_t>(s_.receipt.lines), 3) + " " +
                           Amount12(s_.receipt.totals.total) + " " + Amount12(s_.receipt.paid) +
                           " " + PhaseDigit(s_));
    case 'u':
      return data('u', Padded(s_.last.number, 4) + " " + Amount12(s_.last.total) + " " +
                           (s_.last.cancelled ? "A" : "P") + " " + ShortDateTime(s_.last.at));
    case 'S':
      return data('S', s_.s_settings);
    case 'm':
      return journalDump();
    case 'f':
      return fiscalMemoryLines();
    default:
      break;
  }
  fail(register_error::NotFound);
}

// The electronic journal of the day as data lines of 32 characters, between a heading and a
// closing line, then the closing status answer.
void CommandRun::journalDump() {
  DataLines dump;
  dump.lines.reserve(journal_memory_.size() + 2);
  dump.lines.push_back(FullWidth("GI.EL. " + ShortDateTime(now_).substr(0, 14) + " R." +
                                 Padded(static_cast<std::int64_t>(journal_memory_.size()), 5)));
  for (const std::string& line : journal_memory_) dump.lines.push_back(FullWidth(line));
  dump.lines.push_back(FullWidth("FINE GI.EL."));
  answers.push_back(std::move(dump));
}

// One "|" answer naming the fiscal memory, one for each of the latest Z reports, then the
// closing status answer.
void CommandRun::fiscalMemoryLines() {
  answers.push_back(DataAnswer{
      '|', std::string("MF ") + RegisterModel::kSerialNumber + " Z " + Padded(s_.z_count, 4)});
  const std::size_t n = fiscal_memory_.size();
  const std::size_t first =
      n > RegisterModel::kZRecordsAnswered ? n - RegisterModel::kZRecordsAnswered : 0;
  for (std::size_t i = first; i < n; ++i) {
    const ZRecord& z = fiscal_memory_[i];
    answers.push_back(DataAnswer{'|', "Z" + Padded(z.number, 4) + " " + CompactDate(z.at) + " " +
                                          Padded(z.receipts, 4) + " " + Amount12(z.total)});
  }
  answers.push_back(StatusAnswer{});
}

}  // namespace velka::sim
