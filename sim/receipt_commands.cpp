// The fiscal receipt and the non-fiscal document: sale lines, adjustments, subtotal,
// payments, cancellation, message lines.
#include <algorithm>

#include "sim/command_run.h"
#include "sim/paper_layout.h"
#include "sim/register_errors.h"

namespace velka::sim {

namespace {

constexpr std::size_t kTextLimit = kPaperWidth;

bool ReceiptOpen(const Receipt& r) {
  return r.phase == ReceiptPhase::Lines || r.phase == ReceiptPhase::Paying;
}

std::string VatTag(int vat) {
  return " V" + std::to_string(vat);
}

// Spreads `amount` over the VAT codes in proportion to what each holds; the remainder of the
// division goes to the code holding most.
void Spread(Totals& totals, Hundredths64 amount, int sign) {
  Hundredths64 base = 0;
  int largest = 1;
  for (int v = 1; v <= kVatRates; ++v) {
    base += std::max<Hundredths64>(totals.by_vat[v], 0);
    if (totals.by_vat[v] > totals.by_vat[largest]) largest = v;
  }
  if (base <= 0) {
    totals.by_vat[largest] += sign * amount;
    return;
  }
  Hundredths64 given = 0;
  for (int v = 1; v <= kVatRates; ++v) {
    const Hundredths64 share = std::max<Hundredths64>(totals.by_vat[v], 0) * amount / base;
    totals.by_vat[v] += sign * share;
    given += share;
  }
  totals.by_vat[largest] += sign * (amount - given);
}

}  // namespace

void CommandRun::sale(std::string_view vat_code, const CommandFields& f) {
  if (!requireSalesKey()) return;
  if (s_.non_fiscal_open || s_.receipt.phase == ReceiptPhase::Paying) {
    fail(register_error::Sequence);
    return;
  }
  int vat = 1;
  if (!vat_code.empty()) {
    if (vat_code.size() != 1 || vat_code[0] < '1' || vat_code[0] > '0' + kVatRates) {
      fail(register_error::VatCode);
      return;
    }
    vat = vat_code[0] - '0';
  }
  if (!f.dollar) {
    fail(register_error::AmountRequired);
    return;
  }
  const Hundredths price = ParseHundredths(*f.dollar);
  if (!checkPositive(price.error, price.value, kMaxAmount, register_error::PriceTooHigh)) return;
  int quantity = 1;
  if (f.star) {
    const WholeNumber q = ParseWholeNumber(*f.star);
    if (!checkPositive(q.error, q.value, kMaxQuantity, register_error::AboveLimit)) return;
    quantity = static_cast<int>(q.value);
  }
  if (!checkText(f.text, kTextLimit)) return;
  const std::string description = f.text.value_or("");
  switch (s_.mode) {
    case SaleMode::Sale:
      return sellItem(vat, price.value, quantity, description);
    case SaleMode::Refund:
      return refundItem(vat, price.value * quantity, description);
    case SaleMode::Void:
      return voidItem(vat, price.value, quantity, description);
  }
}

void CommandRun::sellItem(int vat, Hundredths64 price, int quantity,
                          const std::string& description) {
  Receipt& r = s_.receipt;
  const Hundredths64 amount = price * quantity;
  if (amount > kMaxAmount || r.totals.total + amount > kMaxAmount) {
    fail(register_error::AmountTooHigh);
    return;
  }
  if (r.items.size() >= kMaxReceiptLines) {
    fail(register_error::BufferOverflow);
    return;
  }
  if (!ReceiptOpen(r) && !openReceipt()) return;
  r.items.push_back({description, price, vat, quantity});
  r.totals.by_vat[vat] += amount;
  r.totals.total += amount;
  ++r.lines;
  r.target = Receipt::Target::Item;
  r.target_amount = amount;
  r.target_vat = vat;
  if (quantity > 1) print("  " + std::to_string(quantity) + " x " + PaperAmount(price));
  print(LeftRight(description.empty() ? "REPARTO " + std::to_string(vat) : description,
                  PaperAmount(amount) + VatTag(vat)));
}

bool CommandRun::openReceipt() {
  if (journal_memory_.size() >= RegisterModel::kJournalLimit) {
    return fail(register_error::JournalFull);
  }
  s_.receipt = Receipt{};
  s_.receipt.phase = ReceiptPhase::Lines;
  printHeader();
  print(Centered("SCONTRINO FISCALE"));
  return true;
}

void CommandRun::refundItem(int vat, Hundredths64 amount, const std::string& description) {
  Receipt& r = s_.receipt;
  // A receipt never goes below zero, in total or in one VAT code.
  if (!ReceiptOpen(r) || amount > r.totals.total || amount > r.totals.by_vat[vat]) {
    fail(register_error::RefundNotAllowed);
    return;
  }
  if (r.items.size() >= kMaxReceiptLines) {
    fail(register_error::BufferOverflow);
    return;
  }
  r.totals.by_vat[vat] -= amount;
  r.totals.total -= amount;
  r.totals.refunds += amount;
  ++r.lines;
  r.target = Receipt::Target::None;
  s_.mode = SaleMode::Sale;
  print(LeftRight("RESO " + description, PaperAmount(-amount) + VatTag(vat)));
}

void CommandRun::voidItem(int vat, Hundredths64 price, int quantity,
                          const std::string& description) {
  Receipt& r = s_.receipt;
  auto match = std::find_if(r.items.begin(), r.items.end(), [&](const SoldItem& item) {
    return item.unit_price == price && item.vat == vat && item.quantity >= quantity &&
           (description.empty() || item.description == description);
  });
  const Hundredths64 amount = price * quantity;
  if (!ReceiptOpen(r) || match == r.items.end() || amount > r.totals.total ||
      amount > r.totals.by_vat[vat]) {
    fail(register_error::VoidNotAllowed);
    return;
  }
  match->quantity -= quantity;
  r.totals.by_vat[vat] -= amount;
  r.totals.total -= amount;
  r.totals.voids += amount;
  ++r.lines;
  r.target = Receipt::Target::None;
  s_.mode = SaleMode::Sale;
  print(LeftRight("STORNO " + (description.empty() ? match->description : description),
                  PaperAmount(-amount) + VatTag(vat)));
}

void CommandRun::adjustment(bool percent, bool surcharge, const CommandFields& f) {
  if (!requireSalesKey()) return;
  Receipt& r = s_.receipt;
  if (r.phase != ReceiptPhase::Lines || r.target == Receipt::Target::None) {
    fail(register_error::Sequence);
    return;
  }
  const std::optional<std::string>& field = percent ? f.star : f.dollar;
  if (!field) {
    fail(register_error::AmountRequired);
    return;
  }
  const Hundredths given = ParseHundredths(*field);
  if (!checkPositive(given.error, given.value, percent ? 10000 : kMaxAmount,
                     register_error::AboveLimit)) {
    return;
  }
  if (!checkText(f.text, kTextLimit)) return;
  const Hundredths64 value = percent ? (r.target_amount * given.value + 5000) / 10000 : given.value;
  if (!surcharge && value > r.target_amount) {
    fail(register_error::NegativeSubtotal);
    return;
  }
  if (surcharge && r.totals.total + value > kMaxAmount) {
    fail(register_error::AmountTooHigh);
    return;
  }
  const int sign = surcharge ? 1 : -1;
  if (r.target == Receipt::Target::Item) {
    r.totals.by_vat[r.target_vat] += sign * value;
  } else {
    Spread(r.totals, value, sign);
  }
  r.totals.total += sign * value;
  (surcharge ? r.totals.surcharges : r.totals.discounts) += value;
  ++r.lines;
  r.target = Receipt::Target::None;
  std::string label = f.text && !f.text->empty() ? *f.text : surcharge ? "MAGGIORAZIONE" : "SCONTO";
  if (percent) label += " " + PaperPercent(given.value);
  print(LeftRight(label, PaperAmount(sign * value)));
}

void CommandRun::subtotal(const CommandFields& f) {
  if (!requireSalesKey()) return;
  Receipt& r = s_.receipt;
  if (!ReceiptOpen(r)) {
    fail(register_error::Sequence);
    return;
  }
  if (f.dollar) {
    // The control may state the subtotal it expects; the register prints its own.
    const Hundredths stated = ParseHundredths(*f.dollar);
    if (stated.error != 0) {
      fail(stated.error);
      return;
    }
  }
  if (r.phase == ReceiptPhase::Lines) {
    r.target = Receipt::Target::Subtotal;
    r.target_amount = r.totals.total;
  }
  print(LeftRight("SUBTOTALE", PaperAmount(r.totals.total)));
}

void CommandRun::payment(std::string_view type_code, const CommandFields& f) {
  if (!requireSalesKey()) return;
  Receipt& r = s_.receipt;
  if (!ReceiptOpen(r) || r.items.empty()) {
    fail(register_error::Sequence);
    return;
  }
  int type = 1;
  if (!type_code.empty()) {
    if (type_code.size() != 1 || type_code[0] < '1' || type_code[0] > '0' + kPaymentTypes) {
      fail(register_error::InvalidCode);
      return;
    }
    type = type_code[0] - '0';
  }
  const Hundredths64 rest = r.totals.total - r.paid;
  Hundredths64 amount = rest;  // no amount: the rest, in full
  if (f.dollar) {
    const Hundredths given = ParseHundredths(*f.dollar);
    if (!checkPositive(given.error, given.value, kMaxAmount, register_error::AmountTooHigh)) {
      return;
    }
    amount = given.value;
  }
  // Only cash gives change.
  if (amount > rest && type != 1) {
    fail(register_error::ChangeDisabled);
    return;
  }
  if (!checkText(f.text, kTextLimit)) return;
  s_.mode = SaleMode::Sale;
  if (r.phase == ReceiptPhase::Lines) print(LeftRight("TOTALE EURO", PaperAmount(r.totals.total)));
  const std::string label = f.text && !f.text->empty() ? *f.text : PaymentName(type);
  print(LeftRight(label, PaperAmount(amount)));
  r.totals.by_payment[type] += std::min(amount, rest);
  r.paid += amount;
  r.target = Receipt::Target::None;
  if (r.paid < r.totals.total) {
    r.phase = ReceiptPhase::Paying;
    return;
  }
  if (r.paid > r.totals.total) print(LeftRight("RESTO", PaperAmount(r.paid - r.totals.total)));
  closeReceipt();
}

void CommandRun::closeReceipt() {
  Receipt& r = s_.receipt;
  s_.last_receipt_number = s_.last_receipt_number % 9999 + 1;
  DayCounters& day = s_.day;
  ++day.receipts;
  for (int v = 1; v <= kVatRates; ++v) day.totals.by_vat[v] += r.totals.by_vat[v];
  for (int p = 1; p <= kPaymentTypes; ++p) day.totals.by_payment[p] += r.totals.by_payment[p];
  day.totals.total += r.totals.total;
  day.totals.refunds += r.totals.refunds;
  day.totals.voids += r.totals.voids;
  day.totals.discounts += r.totals.discounts;
  day.totals.surcharges += r.totals.surcharges;
  s_.grand_total += r.totals.total;
  s_.last = {s_.last_receipt_number, r.totals.total, false, now_};
  printFooter("SCONTRINO N. " + Padded(s_.last_receipt_number, 4));
  r.phase = ReceiptPhase::Ending;
  closed_receipt = true;
}

// Once a payment has been taken the receipt can no longer be cancelled: it is paid to the end.
void CommandRun::cancelReceipt(const CommandFields& f) {
  if (!requireSalesKey()) return;
  Receipt& r = s_.receipt;
  if (r.phase != ReceiptPhase::Lines) {
    fail(register_error::Sequence);
    return;
  }
  if (!checkText(f.text, kTextLimit)) return;
  if (f.text && !f.text->empty()) print(*f.text);
  print(LeftRight("ANNULLAMENTO", PaperAmount(-r.totals.total)));
  print(Centered("SCONTRINO ANNULLATO"));
  s_.last_receipt_number = s_.last_receipt_number % 9999 + 1;
  ++s_.day.cancelled;
  s_.last = {s_.last_receipt_number, r.totals.total, true, now_};
  printFooter("SCONTRINO N. " + Padded(s_.last_receipt_number, 4));
  s_.mode = SaleMode::Sale;
  r.phase = ReceiptPhase::Ending;
  closed_receipt = true;
}

void CommandRun::saleMode(SaleMode mode) {
  if (!requireSalesKey()) return;
  const Receipt& r = s_.receipt;
  const bool allowed = mode == SaleMode::Refund
                           ? !s_.non_fiscal_open && r.phase != ReceiptPhase::Paying
                           : r.phase == ReceiptPhase::Lines && !r.items.empty();
  if (!allowed) {
    fail(register_error::Sequence);
    return;
  }
  s_.mode = mode;
}

// A message line prints in the open document; with none open it opens a fiscal receipt, so
// that a receipt may begin with a message before its first sale.
void CommandRun::messageLine(const CommandFields& f) {
  if (!checkText(f.text, kTextLimit)) return;
  if (s_.receipt.phase == ReceiptPhase::None && !s_.non_fiscal_open) {
    if (!requireSalesKey() || !openReceipt()) return;
  }
  print(f.text.value_or(""), !s_.non_fiscal_open);
}

void CommandRun::openNonFiscal() {
  if (!requireSalesKey() || !requireNoDocument()) return;
  s_.receipt = Receipt{};
  s_.non_fiscal_open = true;
  s_.mode = SaleMode::Sale;
  printHeader();
  print(Centered("DOCUMENTO NON FISCALE"), false);
  print(Rule(), false);
  // The header of a non-fiscal document is not part of the journal either.
  journal.clear();
}

void CommandRun::closeNonFiscal() {
  if (!s_.non_fiscal_open) {
    fail(register_error::Sequence);
    return;
  }
  s_.non_fiscal_open = false;
  ++s_.day.non_fiscal;
  print(Rule(), false);
  print(LeftRight(ShortDateTime(now_).substr(0, 14), "N.F. N. " + Padded(s_.day.non_fiscal, 4)),
        false);
  print("", false);
}

}  // namespace velka::sim
