#pragma once
// Everything the register remembers between commands, except its two long memories (the
// electronic journal and the fiscal memory, kept by RegisterModel). A command runs on a copy
// of this state and the copy replaces it only when the command succeeds, so a refused
// command changes nothing.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/register_clock.h"

namespace velka::sim {

using Hundredths64 = std::int64_t;  // euro cents, percent hundredths

inline constexpr int kVatRates = 6;      // codes 1..6
inline constexpr int kPaymentTypes = 5;  // codes 1..5
inline constexpr int kHeaderLines = 6;
inline constexpr std::size_t kMaxReceiptLines = 200;
inline constexpr Hundredths64 kMaxAmount = 99'999'999;  // 999.999,99 euro
inline constexpr int kMaxQuantity = 9999;

// The key position, chosen with =C1 .. =C4.
enum class KeyPosition { Sales = 1, XReport = 2, ZReport = 3, FiscalMemory = 4 };

enum class SaleMode { Sale, Refund, Void };  // =r and =s apply to the next sale line

enum class ReceiptPhase {
  None,
  Lines,   // sale lines, adjustments, subtotals
  Paying,  // a payment taken, the total not yet reached
  Ending,  // paid in full or cancelled; trailer message lines may still be printed
};

struct SoldItem {
  std::string description;
  Hundredths64 unit_price = 0;
  int vat = 1;
  int quantity = 0;  // still to be cancelled by item cancellation
};

// Money counted by VAT code (index 1..6) and by payment type (index 1..5).
struct Totals {
  std::array<Hundredths64, kVatRates + 1> by_vat{};
  std::array<Hundredths64, kPaymentTypes + 1> by_payment{};
  Hundredths64 total = 0;
  Hundredths64 refunds = 0;
  Hundredths64 voids = 0;
  Hundredths64 discounts = 0;
  Hundredths64 surcharges = 0;
};

struct Receipt {
  ReceiptPhase phase = ReceiptPhase::None;
  std::vector<SoldItem> items;
  Totals totals;
  Hundredths64 paid = 0;
  std::size_t lines = 0;  // sale lines and adjustments
  // What an adjustment applies to: the last item, or the subtotal just printed.
  enum class Target { None, Item, Subtotal } target = Target::None;
  Hundredths64 target_amount = 0;
  int target_vat = 1;
};

struct DayCounters {
  int receipts = 0;  // paid in full
  int cancelled = 0;
  int non_fiscal = 0;
  Totals totals;
  bool any() const { return receipts > 0 || cancelled > 0 || non_fiscal > 0; }
};

struct HeaderLine {
  std::string text;
  bool double_width = false;
};

// A report over the fiscal memory being set up: =401/=402, then =S bounds, then =S.
struct RangeRequest {
  bool chosen = false;
  bool by_date = false;
  std::vector<std::string> bounds;
};

struct LastReceipt {
  int number = 0;
  Hundredths64 total = 0;
  bool cancelled = false;
  LocalDateTime at;
};

struct RegisterState {
  explicit RegisterState(const RegisterClock& c) : clock(c) {}

  RegisterClock clock;
  KeyPosition key = KeyPosition::Sales;
  Receipt receipt;
  SaleMode mode = SaleMode::Sale;
  bool non_fiscal_open = false;
  int last_receipt_number = 0;  // the last receipt closed today; 0 after a Z report
  int z_count = 0;
  DayCounters day;
  Hundredths64 grand_total = 0;
  std::array<HeaderLine, kHeaderLines + 1> header{};  // index 1..6
  std::array<int, kVatRates + 1> vat{0, 2200, 1000, 500, 400, 0, 0};
  RangeRequest range;
  std::string s_settings;  // the last ">>/?S" setting (a frame without acknowledgement)
  LastReceipt last;
};

// One day closed by a Z report, as the fiscal memory keeps it.
struct ZRecord {
  int number = 0;
  LocalDateTime at;
  int receipts = 0;
  int cancelled = 0;
  Hundredths64 total = 0;
};

}  // namespace velka::sim
