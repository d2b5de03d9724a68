#include "tests/support/answering_register.h"

namespace velka::testing {

namespace {

using R = ScriptedRegister;

constexpr Millis kAnswerAfterMs = 5;
constexpr Millis kFollowUpAfterMs = 30;

// A port that carries its register, so that whoever owns the port ends both, the register
// first.
class AnsweredPort : public ScriptedPort {
 public:
  explicit AnsweredPort(VirtualEventLoop& loop) : ScriptedPort(loop), reg(*this) {}
  ScriptedRegister reg;
};

}  // namespace

AnsweringRegister::AnsweringRegister() {
  answerFor = [](const std::string&) { return R::Status(); };
}

std::unique_ptr<ScriptedPort> AnsweringRegister::newPort(VirtualEventLoop& loop) {
  auto made = std::make_unique<AnsweredPort>(loop);
  made->reg.answering([this](const R::Received& frame) { return replyTo(frame); });
  port = made.get();
  return made;
}

ScriptedRegister::Reply AnsweringRegister::replyTo(const ScriptedRegister::Received& frame) {
  if (frame.kind == 0) return {};  // not a frame: nothing to answer
  commands.push_back(frame.command);
  if (frame.kind == 'V') return {};
  R::Reply reply = R::AckWith(answerFor(frame.command), kAnswerAfterMs);
  const Bytes later = followUpFor ? followUpFor(frame.command) : Bytes{};
  if (!later.empty()) reply.push_back({kFollowUpAfterMs, later});
  return reply;
}

}  // namespace velka::testing
