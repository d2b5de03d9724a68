#include "sim/command_run.h"

#include "sim/paper_layout.h"
#include "sim/register_errors.h"

namespace velka::sim {

namespace {

bool AllDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

const char* PaymentName(int type) {
  static constexpr const char* kNames[kPaymentTypes + 1] = {
      "", "CONTANTI", "NON RISCOSSO", "ASSEGNO", "CARTA DI CREDITO", "BUONO PASTO"};
  return type >= 1 && type <= kPaymentTypes ? kNames[type] : "PAGAMENTO";
}

CommandRun::CommandRun(RegisterState& state, const std::vector<std::string>& journal,
                       const std::vector<ZRecord>& fiscal_memory, Millis now_ms)
    : s_(state),
      journal_memory_(journal),
      fiscal_memory_(fiscal_memory),
      now_ms_(now_ms),
      now_(state.clock.at(now_ms)) {}

void CommandRun::run(std::string_view command) {
  if (command.starts_with("=W")) return;  // customer display: nothing printed, no answer read
  const std::optional<CommandFields> parsed = SplitCommand(command);
  if (!parsed) {
    fail(register_error::InputError);
    return;
  }
  const CommandFields& f = *parsed;
  const std::string_view head = f.head;
  if (head.starts_with("<</")) {
    request(head.substr(3));
    return;
  }
  if (head.starts_with(">>/")) {
    setting(f, command);
    return;
  }
  if (head == "=\"") {
    messageLine(f);
    return;
  }
  if (head == "=K") {
    clears_error = true;
    s_.mode = SaleMode::Sale;
    return;
  }
  finishEndingReceipt();
  if (head.starts_with("=R") && AllDigits(head.substr(2))) return sale(head.substr(2), f);
  if (head.starts_with("=T") && AllDigits(head.substr(2))) return payment(head.substr(2), f);
  if (head.starts_with("=C") && head.size() > 2 && AllDigits(head.substr(2))) {
    return keyPosition(head.substr(2));
  }
  if (head == "=V") return adjustment(false, false, f);
  if (head == "=V+") return adjustment(false, true, f);
  if (head == "=%") return adjustment(true, false, f);
  if (head == "=%+") return adjustment(true, true, f);
  if (head == "=k") return cancelReceipt(f);
  if (head == "=r") return saleMode(SaleMode::Refund);
  if (head == "=s") return saleMode(SaleMode::Void);
  if (head == "=o") return openNonFiscal();
  if (head == "=c") return closeNonFiscal();
  if (head == "=401") return rangeKind(true);
  if (head == "=402") return rangeKind(false);
  if (head.starts_with("=S") && AllDigits(head.substr(2))) {
    if (s_.key == KeyPosition::FiscalMemory) {
      return head.size() == 2 ? rangeReport() : rangeBound(head.substr(2));
    }
    if (head.size() == 2) return subtotal(f);
  }
  fail(register_error::InvalidCode);
}

void CommandRun::print(const std::string& line, bool fiscal) {
  std::string printable = Printable(line);
  if (fiscal) journal.push_back(printable);
  paper.push_back(std::move(printable));
}

void CommandRun::printHeader() {
  bool any = false;
  for (int i = 1; i <= kHeaderLines; ++i) {
    const HeaderLine& line = s_.header[i];
    if (line.text.empty()) continue;
    any = true;
    std::string text = line.text;
    if (line.double_width) {
      // Double width shown as spaced letters.
      std::string wide;
      for (char c : text) {
        wide += c;
        wide += ' ';
      }
      text = wide.substr(0, wide.size() - 1);
    }
    print(Centered(text));
  }
  if (!any) print(Centered("VELKA SIM"));
}

void CommandRun::printFooter(const std::string& document) {
  print(Rule());
  print(LeftRight(ShortDateTime(now_).substr(0, 14), document));
  print(Centered(std::string("MF ") + RegisterModel::kSerialNumber));
  print("");
}

void CommandRun::finishEndingReceipt() {
  if (s_.receipt.phase == ReceiptPhase::Ending) s_.receipt = Receipt{};
}

bool CommandRun::requireSalesKey() {
  return s_.key == KeyPosition::Sales || fail(register_error::WrongState);
}

bool CommandRun::requireNoDocument() {
  const ReceiptPhase phase = s_.receipt.phase;
  const bool receipt_open = phase == ReceiptPhase::Lines || phase == ReceiptPhase::Paying;
  return (!receipt_open && !s_.non_fiscal_open) || fail(register_error::Sequence);
}

bool CommandRun::checkPositive(int parse_error, std::int64_t value, std::int64_t max,
                               int over_error) {
  if (parse_error != 0) return fail(parse_error);
  if (value <= 0) return fail(register_error::BelowLimit);
  if (value > max) return fail(over_error);
  return true;
}

bool CommandRun::checkText(const std::optional<std::string>& text, std::size_t limit) {
  return !text || text->size() <= limit || fail(register_error::TooManyDigits);
}

}  // namespace velka::sim
