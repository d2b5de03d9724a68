#pragma once
// The register's answer to the receipt status request "<</?s", as the server decides from it:
// whether the printer waits for the operator, which document is open, and the number of the
// last receipt closed today.
//
// Layout (positions from 1): 1-2 condition ("00" ready, "01" cover open, "02" paper out, "03"
// error 105), 3-4 day state, 5-6 document ("00" none, "01" fiscal receipt open, "02" payment
// begun, "03" non-fiscal document open), 7-8 key position, 9-12 the last receipt's number.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velka::server {

enum class DocumentState { None, Receipt, PaymentBegun, NonFiscal };

struct ReceiptStatus {
  bool ready = true;  // no condition holds the printer
  DocumentState document = DocumentState::None;
  std::int32_t number = 0;  // the last receipt closed (paid or cancelled) today
  std::string answer;       // as the register gave it

  bool receiptOpen() const {
    return document == DocumentState::Receipt || document == DocumentState::PaymentBegun;
  }
};

// Nothing when the text is not a receipt status answer: fewer than 12 characters, or one of
// the first 12 not a digit, or a condition or document code the layout does not have. (The
// answer a register repeats for a retransmitted frame may be that of another command.)
std::optional<ReceiptStatus> ParseReceiptStatus(std::string_view answer);

}  // namespace velka::server
