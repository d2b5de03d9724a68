#pragma once
// The run-time command channel of the simulated register: one command a line, as read from
// velka-sim's control FIFO; the same commands set the faults given on its command line.
#include <string>
#include <string_view>
#include <vector>

namespace velka::sim {

class SimulatedRegister;

struct ControlCommandInfo {
  const char* syntax;
  const char* meaning;
};

// Every command of the channel, for --help.
const std::vector<ControlCommandInfo>& ControlCommands();

// Applies one command line; returns the reply: "ok", "ok: ..." or "error: ...".
std::string ApplyControlCommand(SimulatedRegister& sim, std::string_view line);

}  // namespace velka::sim
