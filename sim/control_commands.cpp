#include "sim/control_commands.h"

#include <optional>
#include <sstream>

#include "sim/simulated_register.h"

namespace velka::sim {

namespace {

constexpr long long kMaxCount = 1'000'000;
constexpr long long kMaxPauseMs = 600'000;

std::optional<long long> Number(const std::string& word, long long low, long long high) {
  if (word.empty() || word.size() > 9) return std::nullopt;
  long long value = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<bool> OnOff(const std::string& word) {
  if (word == "on") return true;
  if (word == "off") return false;
  return std::nullopt;
}

std::optional<LocalDateTime> ClockText(const std::string& word) {
  if (word.size() != 14) return std::nullopt;
  for (char c : word) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  auto at = [&](std::size_t pos, std::size_t n) { return std::stoi(word.substr(pos, n)); };
  LocalDateTime t;
  t.day = at(0, 2);
  t.month = at(2, 2);
  t.year = at(4, 4);
  t.hour = at(8, 2);
  t.minute = at(10, 2);
  t.second = at(12, 2);
  return t;
}

}  // namespace

const std::vector<ControlCommandInfo>& ControlCommands() {
  static const std::vector<ControlCommandInfo> kCommands = {
      {"cover open", "open the printer cover: printing commands get \"E\" C 0103 with 1 at 15"},
      {"cover close", "close it: a held command is executed and its \"O\" report sent"},
      {"paper out", "the paper runs out: printing commands get \"E\" P 0104 with 1 at 15"},
      {"paper in", "paper replaced: a held command is executed and its \"O\" report sent"},
      {"error 105", "the error 105 condition: printing commands get \"E\" R 0105 with 1 at 15"},
      {"error clear", "end the error 105 condition (=K ends it too) and injected errors"},
      {"error N [COUNT]", "refuse the next COUNT commands (default 1) with register error N"},
      {"nack N", "answer the next N frames with NACK, unexecuted"},
      {"noack on|off", "execute and answer, but send no ACK"},
      {"badbcc N", "a wrong block check in the next N answer frames"},
      {"pause MS", "wait MS milliseconds between the ACK and the answer (0: none)"},
      {"silence on|off", "no reply at all to anything; nothing is executed"},
      {"loseack N", "execute the next N commands, but lose their ACK and answer"},
      {"loseanswer N", "execute and acknowledge the next N commands, but lose their answer"},
      {"clock DDMMYYYYHHMMSS", "set the register's clock (no document may be open)"},
      {"baud 0|9600|115200", "pace the line at this speed (0: no pacing)"},
      {"gap MS", "answer gap: the longest wait for a verdict between two answer frames"},
      {"faults off", "end every fault and condition above"},
      {"status", "one line: clock, key, document, numbers, conditions, faults"},
      {"help", "this list"},
  };
  return kCommands;
}

std::string ApplyControlCommand(SimulatedRegister& sim, std::string_view line) {
  std::istringstream in{std::string(line)};
  std::vector<std::string> words;
  for (std::string word; in >> word && words.size() < 4;) words.push_back(word);
  if (words.empty()) return "error: empty command";
  const std::string& verb = words[0];
  const std::string arg = words.size() > 1 ? words[1] : "";
  const std::string arg2 = words.size() > 2 ? words[2] : "";
  LinkFaults& faults = sim.faults();
  auto toggle = [&](Condition condition, const char* on_word, const char* off_word) {
    if (arg == on_word || arg == off_word) {
      sim.setCondition(condition, arg == on_word);
      return std::string("ok");
    }
    return "error: say " + std::string(on_word) + " or " + off_word;
  };
  if (verb == "cover") {
    if (arg == "closed") return toggle(Condition::CoverOpen, "open", "closed");
    return toggle(Condition::CoverOpen, "open", "close");
  }
  if (verb == "paper") return toggle(Condition::PaperOut, "out", "in");
  if (verb == "error") {
    if (arg == "clear") {
      sim.injectErrors(0, 0);
      sim.setCondition(Condition::Error105, false);
      return "ok";
    }
    const std::optional<long long> number = Number(arg, 1, 9999);
    if (!number) return "error: a register error number 1..9999";
    if (*number == 105 && arg2.empty()) {
      sim.setCondition(Condition::Error105, true);
      return "ok";
    }
    const std::optional<long long> count = arg2.empty() ? 1 : Number(arg2, 1, kMaxCount);
    if (!count) return "error: a count 1.." + std::to_string(kMaxCount);
    sim.injectErrors(static_cast<int>(*number), static_cast<int>(*count));
    return "ok";
  }
  auto counter = [&](int& target) {
    const std::optional<long long> n = Number(arg, 0, kMaxCount);
    if (!n) return "error: a count 0.." + std::to_string(kMaxCount);
    target = static_cast<int>(*n);
    return std::string("ok");
  };
  auto flag = [&](bool& target) {
    const std::optional<bool> on = OnOff(arg);
    if (!on) return std::string("error: say on or off");
    target = *on;
    return std::string("ok");
  };
  if (verb == "nack") return counter(faults.nack);
  if (verb == "badbcc") return counter(faults.badbcc);
  if (verb == "loseack") return counter(faults.loseack);
  if (verb == "loseanswer") return counter(faults.loseanswer);
  if (verb == "noack") return flag(faults.noack);
  if (verb == "silence") return flag(faults.silence);
  if (verb == "pause" || verb == "gap") {
    const std::optional<long long> ms = Number(arg, 0, kMaxPauseMs);
    if (!ms) return "error: milliseconds 0.." + std::to_string(kMaxPauseMs);
    if (verb == "pause") {
      faults.pause_ms = *ms;
    } else {
      sim.setAnswerGapMs(*ms);
    }
    return "ok";
  }
  if (verb == "baud") {
    if (arg != "0" && arg != "9600" && arg != "115200") return "error: 0, 9600 or 115200";
    sim.setBaud(std::stoi(arg));
    return "ok";
  }
  if (verb == "clock") {
    const std::optional<LocalDateTime> t = ClockText(arg);
    if (!t) return "error: DDMMYYYYHHMMSS";
    return sim.setClock(*t) ? "ok" : "error: not a valid date and time, or a document is open";
  }
  if (verb == "faults" && arg == "off") {
    faults = LinkFaults{};
    sim.injectErrors(0, 0);
    sim.setCondition(Condition::CoverOpen, false);
    sim.setCondition(Condition::PaperOut, false);
    sim.setCondition(Condition::Error105, false);
    return "ok";
  }
  if (verb == "status") return "ok: " + sim.status();
  if (verb == "help") {
    std::string text = "ok:";
    for (const ControlCommandInfo& c : ControlCommands())
      text += std::string(" [") + c.syntax + "]";
    return text;
  }
  return "error: unknown command (try help)";
}

}  // namespace velka::sim
