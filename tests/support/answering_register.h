#pragma once
// The register that the tests of the control's methods talk to, played by a ScriptedRegister
// on each port the control is given: it acknowledges every "N" frame and answers it 5 ms
// after it was written, with what answerFor() gives for the command text (an "O" status
// unless a test says otherwise), then 25 ms later with what followUpFor() gives, if anything.
// "V" frames get nothing. The fixtures of the control and of its automation face derive from
// it, so a test sets answerFor and reads commands directly.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/scripted_port.h"
#include "tests/support/scripted_register.h"
#include "tests/support/virtual_event_loop.h"

namespace velka::testing {

class AnsweringRegister {
 public:
  AnsweringRegister(const AnsweringRegister&) = delete;
  AnsweringRegister& operator=(const AnsweringRegister&) = delete;

  // The register's answer to a command.
  std::function<Bytes(const std::string& command)> answerFor;
  // A second answer to the same command (unset or empty: none).
  std::function<Bytes(const std::string& command)> followUpFor;
  // Command texts received, in order; a test may clear it.
  std::vector<std::string> commands;
  // The port last made, owned by the control.
  ScriptedPort* port = nullptr;

 protected:
  AnsweringRegister();
  ~AnsweringRegister() = default;
  // A new port with this register on its other end, for the control to own.
  std::unique_ptr<ScriptedPort> newPort(VirtualEventLoop& loop);

 private:
  ScriptedRegister::Reply replyTo(const ScriptedRegister::Received& frame);
};

}  // namespace velka::testing
