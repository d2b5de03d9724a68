#include "sim/register_model.h"

#include "sim/command_run.h"
#include "sim/paper_layout.h"
#include "sim/register_errors.h"

namespace velka::sim {

namespace {

// An open receipt may run past the journal limit by its own lines; nothing beyond this is kept.
constexpr std::size_t kJournalHardLimit = RegisterModel::kJournalLimit + 4 * kMaxReceiptLines;

const char* KeyName(KeyPosition key) {
  switch (key) {
    case KeyPosition::Sales:
      return "sales";
    case KeyPosition::XReport:
      return "X";
    case KeyPosition::ZReport:
      return "Z";
    case KeyPosition::FiscalMemory:
      return "fiscal-memory";
  }
  return "?";
}

void SetDocumentDigit(std::vector<Answer>& answers, DocumentDigit digit) {
  for (Answer& answer : answers) {
    if (auto* status = std::get_if<StatusAnswer>(&answer)) status->document = digit;
    if (auto* lines = std::get_if<DataLines>(&answer)) lines->closing.document = digit;
  }
}

}  // namespace

RegisterModel::RegisterModel(const LocalDateTime& start, Millis start_ms)
    : state_(RegisterClock(start, start_ms)) {}

DocumentDigit RegisterModel::documentDigit(bool closed_now) const {
  if (closed_now) return DocumentDigit::ReceiptEnding;
  if (state_.non_fiscal_open) return DocumentDigit::NonFiscal;
  switch (state_.receipt.phase) {
    case ReceiptPhase::Lines:
      return DocumentDigit::FiscalReceipt;
    case ReceiptPhase::Paying:
      return DocumentDigit::PaymentIncomplete;
    case ReceiptPhase::None:
    case ReceiptPhase::Ending:
      break;
  }
  return DocumentDigit::None;
}

StatusAnswer RegisterModel::conditionAnswer() const {
  StatusAnswer answer;
  answer.error = true;
  answer.further = true;
  answer.document = documentDigit(false);
  if (cover_open_) {
    answer.condition = 'C';
    answer.error_number = register_error::CoverOpen;
  } else if (paper_out_) {
    answer.condition = 'P';
    answer.error_number = register_error::PaperOut;
  } else {
    answer.condition = 'R';
    answer.error_number = register_error::Error105;
  }
  return answer;
}

Outcome RegisterModel::execute(std::string_view command, Millis now_ms) {
  return run(command, now_ms, true);
}

Outcome RegisterModel::executeUnanswered(std::string_view command, Millis now_ms) {
  return run(command, now_ms, true, false);
}

Outcome RegisterModel::run(std::string_view command, Millis now_ms, bool may_hold, bool answered) {
  Outcome out;
  auto refuse = [&](int number) {
    out.record.push_back("refuse " + std::to_string(number) + " " + std::string(command));
    StatusAnswer answer;
    answer.error = true;
    answer.condition = 'R';
    answer.error_number = number;
    answer.document = documentDigit(false);
    out.answers.push_back(answer);
    return out;
  };
  if (answered && injected_count_ > 0) {
    --injected_count_;
    return refuse(injected_number_);
  }
  RegisterState work = state_;
  CommandRun run(work, journal_, fiscal_memory_, now_ms);
  run.condition_code = cover_open_ ? "01" : paper_out_ ? "02" : error105_ ? "03" : "00";
  run.run(command);
  if (run.error != 0) return refuse(run.error);
  const bool condition = cover_open_ || paper_out_ || error105_;
  if (may_hold && condition && run.printed()) {
    held_ = std::string(command);
    out.held = true;
    out.record.push_back("hold " + std::string(command));
    out.answers.push_back(conditionAnswer());
    return out;
  }
  state_ = std::move(work);
  if (run.clears_error) {
    error105_ = false;
    held_.reset();
  }
  for (std::string& line : run.journal) {
    if (journal_.size() < kJournalHardLimit) journal_.push_back(std::move(line));
  }
  if (run.clear_journal) journal_.clear();  // the Z report closed the day's journal
  if (run.z_record) fiscal_memory_.push_back(*run.z_record);
  out.paper = std::move(run.paper);
  out.answers = std::move(run.answers);
  out.record.push_back("exec " + std::string(command));
  if (run.closed_receipt) {
    out.record.push_back("receipt " + Padded(state_.last.number, 4) +
                         (state_.last.cancelled ? " cancelled" : " closed"));
  }
  if (out.answers.empty()) out.answers.push_back(StatusAnswer{});
  SetDocumentDigit(out.answers, documentDigit(run.closed_receipt));
  return out;
}

bool RegisterModel::condition(Condition c) const {
  switch (c) {
    case Condition::CoverOpen:
      return cover_open_;
    case Condition::PaperOut:
      return paper_out_;
    case Condition::Error105:
      return error105_;
  }
  return false;
}

Outcome RegisterModel::setCondition(Condition c, bool on, Millis now_ms) {
  switch (c) {
    case Condition::CoverOpen:
      cover_open_ = on;
      break;
    case Condition::PaperOut:
      paper_out_ = on;
      break;
    case Condition::Error105:
      error105_ = on;
      break;
  }
  if (cover_open_ || paper_out_ || error105_ || !held_) return {};
  const std::string command = std::move(*held_);
  held_.reset();
  Outcome report = run(command, now_ms, false);
  // The clearing report is one status answer: the last one the command would have given.
  for (auto it = report.answers.rbegin(); it != report.answers.rend(); ++it) {
    if (auto* status = std::get_if<StatusAnswer>(&*it)) {
      StatusAnswer last = *status;
      last.further = false;
      report.answers = {last};
      break;
    }
  }
  return report;
}

void RegisterModel::injectErrors(int number, int count) {
  injected_number_ = number;
  injected_count_ = count > 0 ? count : 0;
}

bool RegisterModel::setClock(const LocalDateTime& t, Millis now_ms) {
  const ReceiptPhase phase = state_.receipt.phase;
  if (phase == ReceiptPhase::Lines || phase == ReceiptPhase::Paying || state_.non_fiscal_open) {
    return false;
  }
  if (!IsValidDate(t.day, t.month, t.year) || !IsValidTimeOfDay(t.hour, t.minute) || t.second < 0 ||
      t.second > 59) {
    return false;
  }
  state_.clock.set(t, now_ms);
  return true;
}

std::string RegisterModel::summary(Millis now_ms) const {
  static constexpr const char* kDocument[] = {"none", "fiscal receipt", "payment incomplete",
                                              "receipt ending"};
  std::string document =
      state_.non_fiscal_open ? "non-fiscal" : kDocument[static_cast<int>(state_.receipt.phase)];
  std::string line = "clock " + ShortDateTime(state_.clock.at(now_ms));
  line += "; key " + std::string(KeyName(state_.key));
  line += "; document " + document;
  line += "; last receipt " + std::to_string(state_.last_receipt_number);
  line += "; Z reports " + std::to_string(state_.z_count);
  line += "; receipts today " + std::to_string(state_.day.receipts);
  line += "; cover " + std::string(cover_open_ ? "open" : "closed");
  line += "; paper " + std::string(paper_out_ ? "out" : "in");
  line += "; error 105 " + std::string(error105_ ? "on" : "off");
  if (injected_count_ > 0) {
    line += "; error " + std::to_string(injected_number_) + " for " +
            std::to_string(injected_count_) + " more";
  }
  line += held_ ? "; holding " + *held_ : "";
  return line;
}

}  // namespace velka::sim
