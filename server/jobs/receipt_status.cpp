// Reading the receipt status answer.
#include "server/jobs/receipt_status.h"

#include <algorithm>

namespace velka::server {

namespace {

constexpr std::size_t kStatusLength = 12;

int TwoDigits(std::string_view text, std::size_t at) {
  return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

}  // namespace

std::optional<ReceiptStatus> ParseReceiptStatus(std::string_view answer) {
  if (answer.size() < kStatusLength) return std::nullopt;
  const std::string_view fields = answer.substr(0, kStatusLength);
  if (!std::all_of(fields.begin(), fields.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const int condition = TwoDigits(fields, 0);
  const int document = TwoDigits(fields, 4);
  if (condition > 3 || document > 3) return std::nullopt;
  ReceiptStatus status;
  status.ready = condition == 0;
  static constexpr DocumentState kDocuments[] = {DocumentState::None, DocumentState::Receipt,
                                                 DocumentState::PaymentBegun,
                                                 DocumentState::NonFiscal};
  status.document = kDocuments[document];
  status.number = (fields[8] - '0') * 1000 + (fields[9] - '0') * 100 + (fields[10] - '0') * 10 +
                  (fields[11] - '0');
  status.answer = std::string(answer);
  return status;
}

}  // namespace velka::server
