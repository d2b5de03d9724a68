#pragma once
// The simulated register: command strings in, answers and paper out, time passed in.
// No input or output, no waiting: the session (register_session.h) puts the answers on the
// line and SimulatedRegister (simulated_register.h) serves a pseudo-terminal with it.
//
// Physical conditions (cover open, paper out, error 105) hold the next command that would
// print: it is answered with an "E" status carrying "1" at offset 15 and executed when the
// condition is cleared, whose report is then the "O" status of that command ("0" at 15).
// Commands that print nothing (data requests, settings, key positions) are answered as usual.
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "sim/register_frames.h"
#include "sim/register_state.h"

namespace velka::sim {

// A data answer: kind (not "O", "E") and the answer data after it. Kind "|" is a data line
// answer: a further answer always follows it.
struct DataAnswer {
  char kind = 'D';
  std::string data;
  bool operator==(const DataAnswer&) const = default;
};

// Lines of text, each ended by CR LF, and the status answer that closes them.
struct DataLines {
  std::vector<std::string> lines;
  StatusAnswer closing;
  bool operator==(const DataLines&) const = default;
};

using Answer = std::variant<StatusAnswer, DataAnswer, DataLines>;

struct Outcome {
  std::vector<Answer> answers;     // in order; the session spaces consecutive frames
  std::vector<std::string> paper;  // lines printed
  bool held = false;               // the command waits for a condition to clear
  // What the register did, one line each, for a reader that counts rather than reads paper:
  //   exec <command>                 carried out
  //   refuse <error number> <command> refused, nothing changed
  //   hold <command>                 held until a condition is cleared
  //   receipt <NNNN> closed|cancelled  the command ended the fiscal receipt number NNNN
  std::vector<std::string> record;
};

enum class Condition { CoverOpen, PaperOut, Error105 };

class RegisterModel {
 public:
  static constexpr std::size_t kJournalLimit = 5000;       // lines of the day
  static constexpr std::size_t kFiscalMemoryLimit = 2000;  // Z reports
  static constexpr std::size_t kZRecordsAnswered = 20;     // "<</?f" answers the latest ones
  static constexpr const char* kSerialNumber = "VS00000001";

  RegisterModel(const LocalDateTime& start, Millis start_ms);

  // Executes one command string of an "N" frame.
  Outcome execute(std::string_view command, Millis now_ms);
  // A command of a "V" frame: nobody reads its answer, so injected errors wait for the
  // next answered command.
  Outcome executeUnanswered(std::string_view command, Millis now_ms);

  // Switches a condition. Clearing the last condition while a command is held executes it:
  // the outcome is its clearing report.
  Outcome setCondition(Condition condition, bool on, Millis now_ms);
  bool condition(Condition condition) const;
  bool holding() const { return held_.has_value(); }

  // The next `count` commands are refused with register error `number`, unexecuted.
  void injectErrors(int number, int count);
  int injectedErrorsLeft() const { return injected_count_; }

  // The operator sets the clock (no document may be open); false when refused.
  bool setClock(const LocalDateTime& t, Millis now_ms);

  const RegisterState& state() const { return state_; }
  const std::vector<std::string>& journal() const { return journal_; }
  const std::vector<ZRecord>& fiscalMemory() const { return fiscal_memory_; }
  // One readable line: key position, document, numbers, conditions.
  std::string summary(Millis now_ms) const;

 private:
  StatusAnswer conditionAnswer() const;
  DocumentDigit documentDigit(bool closed_now) const;
  Outcome run(std::string_view command, Millis now_ms, bool may_hold, bool answered = true);

  RegisterState state_;
  std::vector<std::string> journal_;
  std::vector<ZRecord> fiscal_memory_;
  bool cover_open_ = false;
  bool paper_out_ = false;
  bool error105_ = false;
  std::optional<std::string> held_;
  int injected_number_ = 0;
  int injected_count_ = 0;
};

}  // namespace velka::sim
