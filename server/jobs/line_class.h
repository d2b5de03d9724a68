#pragma once
// What a job line is to the register, read from its text, and which lines of a job the server
// may send again after an interruption (a crash, a lost answer) without changing what the
// register did.
//
// - Read ("<</..."): asks for data; sending it again changes nothing.
// - Setting (">>/...", and the key positions =C1 to =C4): sets a value; sending it again sets
//   the same value.
// - Receipt: lives in the open fiscal receipt, which the cancel line =k undoes as a whole: sale
//   lines =R, discounts and surcharges =V =V+ =% =%+, the subtotal =S (=S/$...), payments =T,
//   the refund and item-cancel modes =r =s, the cancel =k. A message line ="/(...) belongs to
//   the receipt too, unless a non-fiscal document is open.
// - Other: everything else (reports, key position changes in the middle of one, non-fiscal
//   documents, =K ...): not undoable, and not visible in the receipt status; after an
//   interruption its outcome is unknown.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/jobs/receipt_status.h"

namespace velka::server {

enum class LineClass { Read, Setting, Receipt, Message, Other };

LineClass ClassOfLine(std::string_view line);

// What a row of a job is for its journal.
enum class RowRole {
  NotSent,     // blank, or the STOP line
  Resendable,  // a read or a setting
  InReceipt,   // a line of the job's own receipt: the receipt status shows where it stands
  Unknowable,  // its outcome cannot be seen from the register after an interruption
};

// The rows of a job and the job's receipt: the first run of receipt lines, from the first
// receipt line up to the line before a new sale that follows a payment or a cancel (a second
// receipt), or before the first line of another kind. Reads and settings in between belong to
// it. Lines of the receipt are InReceipt only when the register had no receipt open before the
// job (an application that finishes a receipt over several jobs has lines whose outcome
// the server cannot tell); otherwise, and for every receipt line after the job's receipt, they
// are Unknowable.
class JobPlan {
 public:
  // before: the document the register had open before the job (nothing when unknown).
  JobPlan(const std::vector<std::string>& lines, std::optional<DocumentState> before);

  // Whether the job has receipt or message lines: then the status before it is worth asking.
  static bool HasReceiptLines(const std::vector<std::string>& lines);

  RowRole role(std::int32_t row) const;
  std::int32_t rows() const { return static_cast<std::int32_t>(roles_.size()); }
  // The first and last rows of the job's receipt; 0 when it has none.
  std::int32_t receiptFirstRow() const { return receipt_first_; }
  std::int32_t receiptLastRow() const { return receipt_last_; }
  // The row is a payment or a cancel of the job's receipt: it may close the receipt.
  bool mayCloseReceipt(std::int32_t row) const;

 private:
  std::vector<RowRole> roles_;
  std::vector<bool> closing_;
  std::int32_t receipt_first_ = 0;
  std::int32_t receipt_last_ = 0;
};

}  // namespace velka::server
