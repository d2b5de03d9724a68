// Programming the register: header lines (>>/?H), VAT rates (>>/?V), the clock (>>/?d) and
// the settings sent without acknowledgement (>>/?S).
#include "sim/command_run.h"
#include "sim/paper_layout.h"
#include "sim/register_errors.h"

namespace velka::sim {

namespace {

constexpr std::size_t kMaxSettingText = 200;

bool SixDigits(const std::string& text, int& a, int& b, int& c) {
  if (text.size() != 6) return false;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return false;
  }
  a = (text[0] - '0') * 10 + (text[1] - '0');
  b = (text[2] - '0') * 10 + (text[3] - '0');
  c = (text[4] - '0') * 10 + (text[5] - '0');
  return true;
}

}  // namespace

void CommandRun::setting(const CommandFields& f, std::string_view command) {
  if (f.head == ">>/?S") {
    s_.s_settings = std::string(command.substr(0, kMaxSettingText));
    return;
  }
  finishEndingReceipt();
  if (f.head == ">>/?H") return headerLine(f);
  if (f.head == ">>/?V") return vatRate(f);
  if (f.head == ">>/?d") return clock(f);
  fail(register_error::InvalidCode);
}

void CommandRun::headerLine(const CommandFields& f) {
  if (!requireNoDocument()) return;
  if (!f.dollar || !f.text) {
    fail(register_error::InputError);
    return;
  }
  const WholeNumber line = ParseWholeNumber(*f.dollar);
  if (!checkPositive(line.error, line.value, kHeaderLines, register_error::AboveLimit)) return;
  bool double_width = false;
  if (f.star) {
    if (*f.star != "1" && *f.star != "2") {
      fail(register_error::InputError);
      return;
    }
    double_width = *f.star == "2";
  }
  if (!checkText(f.text, double_width ? kPaperWidth / 2 : kPaperWidth)) return;
  s_.header[line.value] = {Printable(*f.text), double_width};
}

void CommandRun::vatRate(const CommandFields& f) {
  if (!requireNoDocument()) return;
  if (!f.dollar || !f.star) {
    fail(register_error::InputError);
    return;
  }
  const WholeNumber code = ParseWholeNumber(*f.dollar);
  const WholeNumber rate = ParseWholeNumber(*f.star);
  if (code.error != 0 || rate.error != 0) {
    fail(code.error != 0 ? code.error : rate.error);
    return;
  }
  if (code.value < 1) {
    fail(register_error::BelowLimit);
    return;
  }
  if (code.value > kVatRates || rate.value > 9999) {
    fail(register_error::AboveLimit);
    return;
  }
  s_.vat[code.value] = static_cast<int>(rate.value);
}

void CommandRun::clock(const CommandFields& f) {
  if (!requireNoDocument()) return;
  LocalDateTime t;
  int yy = 0;
  if (!f.dollar || !f.star || !SixDigits(*f.dollar, t.day, t.month, yy) ||
      !SixDigits(*f.star, t.hour, t.minute, t.second)) {
    fail(register_error::InputError);
    return;
  }
  t.year = 2000 + yy;
  // The register refuses a date before its last Z report: the fiscal memory stays in order.
  const bool before_last_z =
      !fiscal_memory_.empty() && CompareDates(t, fiscal_memory_.back().at) < 0;
  if (!IsValidDate(t.day, t.month, t.year) || t.hour > 23 || t.minute > 59 || t.second > 59 ||
      before_last_z) {
    fail(register_error::BadDateTime);
    return;
  }
  s_.clock.set(t, now_ms_);
}

}  // namespace velka::sim
