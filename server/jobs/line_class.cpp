// Line classes and the roles of a job's rows.
#include "server/jobs/line_class.h"

#include <algorithm>

#include "platform/ascii_text.h"
#include "server/jobs/command_file.h"

namespace velka::server {

namespace {

// The head of a command: the text before its first field.
std::string_view HeadOf(std::string_view line) {
  return line.substr(0, std::min(line.find('/'), line.size()));
}

bool Digits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsKeyPosition(std::string_view head) {
  return head.size() == 3 && head.starts_with("=C") && head[2] >= '1' && head[2] <= '4';
}

bool IsReceiptHead(std::string_view head) {
  if ((head.starts_with("=R") || head.starts_with("=T")) && Digits(head.substr(2))) return true;
  static constexpr std::string_view kHeads[] = {"=V", "=V+", "=%", "=%+", "=S", "=r", "=s", "=k"};
  return std::find(std::begin(kHeads), std::end(kHeads), head) != std::end(kHeads);
}

// A line that begins a new receipt when it follows a payment or a cancel.
bool IsSaleHead(std::string_view head) {
  if (head.starts_with("=R") && Digits(head.substr(2))) return true;
  static constexpr std::string_view kHeads[] = {"=V", "=V+", "=%", "=%+", "=r", "=s"};
  return std::find(std::begin(kHeads), std::end(kHeads), head) != std::end(kHeads);
}

bool IsClosingHead(std::string_view head) {
  return (head.starts_with("=T") && Digits(head.substr(2))) || head == "=k";
}

}  // namespace

LineClass ClassOfLine(std::string_view line) {
  if (line.starts_with("<</")) return LineClass::Read;
  if (line.starts_with(">>/")) return LineClass::Setting;
  const std::string_view head = HeadOf(line);
  if (IsKeyPosition(head)) return LineClass::Setting;
  if (head == "=\"") return LineClass::Message;
  if (IsReceiptHead(head)) return LineClass::Receipt;
  return LineClass::Other;
}

bool JobPlan::HasReceiptLines(const std::vector<std::string>& lines) {
  return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    const LineClass c = ClassOfLine(line);
    return c == LineClass::Receipt || c == LineClass::Message;
  });
}

JobPlan::JobPlan(const std::vector<std::string>& lines, std::optional<DocumentState> before) {
  enum class Receipt { NotYet, Open, Over } receipt = Receipt::NotYet;
  bool paid = false;  // the job's receipt has met a payment or a cancel
  bool non_fiscal = before == DocumentState::NonFiscal;
  const bool receipt_free = before == DocumentState::None;
  roles_.reserve(lines.size());
  closing_.reserve(lines.size());
  for (const std::string& line : lines) {
    const std::int32_t row = static_cast<std::int32_t>(roles_.size()) + 1;
    RowRole role = RowRole::Unknowable;
    bool closing = false;
    const LineClass c = ClassOfLine(line);
    const std::string_view head = HeadOf(line);
    if (line == kStopLine || TrimSpaces(line).empty()) {
      role = RowRole::NotSent;
    } else if (c == LineClass::Read || c == LineClass::Setting) {
      role = RowRole::Resendable;
    } else if (c == LineClass::Receipt || (c == LineClass::Message && !non_fiscal)) {
      if (receipt == Receipt::Open && paid && IsSaleHead(head)) receipt = Receipt::Over;
      if (receipt == Receipt::NotYet && receipt_free) {
        receipt = Receipt::Open;
        receipt_first_ = row;
      }
      if (receipt == Receipt::Open) {
        role = RowRole::InReceipt;
        closing = IsClosingHead(head);
        paid = paid || closing;
        receipt_last_ = row;
      }
    } else {
      if (receipt == Receipt::Open) receipt = Receipt::Over;
      if (head == "=o") non_fiscal = true;
      if (head == "=c") non_fiscal = false;
    }
    roles_.push_back(role);
    closing_.push_back(closing);
  }
}

RowRole JobPlan::role(std::int32_t row) const {
  if (row < 1 || row > rows()) return RowRole::NotSent;
  return roles_[static_cast<std::size_t>(row - 1)];
}

bool JobPlan::mayCloseReceipt(std::int32_t row) const {
  return row >= 1 && row <= rows() && closing_[static_cast<std::size_t>(row - 1)];
}

}  // namespace velka::server
