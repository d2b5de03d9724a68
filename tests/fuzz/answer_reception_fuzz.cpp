// Anything a register may send, in any split and at any pace, to the control's link on
// virtual time: the answer evaluation alone (ReceiveAnswer), a whole synchronous exchange
// after the frame is sent (acknowledgement, answer collection, data lines, clearing wait),
// and a queued command worked off by the pump and the receive events. Nothing may crash,
// leak or hang; results stay among the link's own, and buffers stay within the input.
//
// Input: a mode byte (bits 0-1: which of the three; bit 2: ForceSync of ReceiveAnswer; bit 3:
// an ACK in front; bits 4-7: the command, or how many bytes ReceiveAnswer finds already
// received), a pace byte (bits 0-4: chunk size; 5-7: pause), then the bytes the register sends.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "automation/result_codes.h"
#include "control/core/control_events.h"
#include "control/core/control_state.h"
#include "control/core/trace_writer.h"
#include "control/link/frame_codec.h"
#include "control/link/link_limits.h"
#include "control/link/register_link.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/scripted_port.h"
#include "tests/support/scripted_register.h"
#include "tests/support/virtual_event_loop.h"

namespace {

using namespace velka;
using fuzz::Require;

// Pauses between the chunks the register sends: none, a character's time, the limits of the
// link's waits and a little past them.
constexpr Millis kPauses[] = {0, 1, 20, 200, 2999, 3001, 29999, 30001};
// Longest of the link's waits, taken one after another: three acknowledgement waits, three
// answer waits, answer completions and one clearing wait. Whatever the register does, the
// link is done this long after its last byte.
constexpr Millis kLongestSilenceMs = 3 * link::kLongAckWaitMs + 3 * link::kAnswerWaitMs +
                                     3 * link::kAnswerCompletionMs + link::kClearingWaitMs +
                                     link::kDataLineGapMs;
constexpr std::string_view kCommands[] = {"=R/$1/(A)", "<</?m", ">c}1", "=T4", "<</?f", "=C10"};

class CheckedEvents : public ControlEvents {
 public:
  explicit CheckedEvents(std::size_t input_size) : input_size_(input_size) {}
  void StatusUpdateEvent(std::int32_t) override { count(); }
  // The host clears every error: the queued command is passed over. (A host that does not
  // has it sent again and again, by design.)
  void ErrorEvent(std::int32_t code, std::int32_t, std::int32_t,
                  std::int32_t& pErrorResponse) override {
    Require(code != result::FurtherAnswer && code != result::Success);
    pErrorResponse = kErrorResponseClear;
    count();
  }
  void OutputCompleteEvent(std::int32_t) override { count(); }
  // A data line, or the data of a "|" answer (which may hold any byte but ETX).
  void ReceiveDataEvent(const std::u16string& line) override {
    Require(line.size() <= link::kMaxDataLine && line.size() <= input_size_);
    count();
  }

 private:
  // Each event stands for bytes received, or for the one command sent.
  void count() { Require(++events_ <= input_size_ + 8); }
  std::size_t input_size_;
  std::size_t events_ = 0;
};

class BoundedTrace : public TraceSink {
 public:
  explicit BoundedTrace(std::size_t input_size) : limit_(input_size + 1100) {}
  bool writeLine(std::string_view line) override {
    Require(line.size() <= limit_);
    return true;
  }

 private:
  std::size_t limit_;
};

struct Pace {
  std::size_t chunk;
  Millis pause_ms;
};

// The register's bytes in chunks, each after its pause.
ScriptedRegister::Reply InChunks(const Bytes& bytes, const Pace& pace) {
  ScriptedRegister::Reply reply;
  Millis delay = 0;
  for (std::size_t at = 0; at < bytes.size(); at += pace.chunk) {
    const std::size_t end = std::min(bytes.size(), at + pace.chunk);
    // Every fourth chunk waits longer, so the short and the long limits both meet it.
    delay += (at / pace.chunk) % 4 == 3 ? pace.pause_ms * 3 + 1 : pace.pause_ms;
    reply.push_back({delay, Bytes(bytes.begin() + at, bytes.begin() + end)});
  }
  return reply;
}

Millis LastDelay(const ScriptedRegister::Reply& reply) {
  return reply.empty() ? 0 : reply.back().delay_ms;
}

bool IsLinkResult(std::int32_t code) {
  return code == result::Success || code == result::AnswerRefused || code == result::Timeout ||
         code == result::Extended;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::uint8_t mode = input.take();
  const std::uint8_t pace_byte = input.take();
  const Bytes bytes = input.rest();
  const Pace pace{static_cast<std::size_t>(pace_byte & 0x1F) + 1, kPauses[pace_byte >> 5]};

  VirtualEventLoop loop;
  ScriptedPort port(loop);
  port.open(1, 9600);
  ControlState state;
  state.LinkFree = true;
  state.TraceOn = true;
  state.DeviceOpen = true;
  CheckedEvents events(bytes.size());
  state.events = &events;
  BoundedTrace sink(bytes.size());
  TraceWriter trace(state.TraceOn, [] { return LocalDateTime{2026, 12, 6, 18, 30, 0}; });
  trace.setSink(&sink);
  RegisterLink link(state, loop, port, trace);

  Millis last_byte_at = loop.now();
  const bool acknowledge = (mode & 0x08) != 0;
  const std::string_view command = kCommands[(mode >> 4) % std::size(kCommands)];
  // In an exchange the register's bytes follow the first frame written; nothing answers the
  // frames sent again.
  ScriptedRegister reg(port);
  const ScriptedRegister::Reply reply =
      InChunks(acknowledge ? ScriptedRegister::Join({{link::ACK}, bytes}) : bytes, pace);

  switch (mode & 0x03) {
    case 0: {
      // The answer evaluation alone: part of the bytes already received, the rest to come.
      const std::size_t held = std::min<std::size_t>(bytes.size(), (mode >> 4) * 7u);
      state.ReceiveBuffer.assign(bytes.begin(), bytes.begin() + held);
      const ScriptedRegister::Reply rest = InChunks(Bytes(bytes.begin() + held, bytes.end()), pace);
      for (const auto& send : rest) port.sendAfter(send.delay_ms, send.bytes);
      last_byte_at += LastDelay(rest);
      const bool force_sync = (mode & 0x04) != 0;
      std::int32_t outcome;
      int calls = 0;
      do {
        outcome = link.ReceiveAnswer(force_sync);
        Require(outcome == result::FurtherAnswer || IsLinkResult(outcome));
        Require(state.ReceiveBuffer.empty());
        // A further answer needs a frame of its own.
        Require(++calls <= static_cast<int>(bytes.size() / 11) + 2);
      } while (outcome == result::FurtherAnswer);
      break;
    }
    case 1: {
      // A synchronous exchange.
      reg.then(reply);
      const std::int32_t outcome = link.TransmitCommand(command, true);
      Require(IsLinkResult(outcome));
      Require(state.LinkFree);
      break;
    }
    default: {
      // A queued command: the pump sends it, receive events and the data timer finish it.
      state.AsyncMode = true;
      reg.then(reply);
      Require(link.SendCommand(command, false) == result::Success);
      const bool settled = loop.runUntil(
          [&] {
            const auto queue = link.queueState();
            return queue == RegisterLink::QueueState::Empty ||
                   queue == RegisterLink::QueueState::Halted;
          },
          kLongestSilenceMs + link::kLongQueuedAnswerMs +
              static_cast<Millis>(bytes.size() + 1) * (pace.pause_ms * 3 + 1));
      Require(settled);
      break;
    }
  }

  if (!reg.frameTimes().empty()) last_byte_at = reg.frameTimes()[0] + LastDelay(reply);
  Require(loop.now() - last_byte_at <= kLongestSilenceMs + link::kLongQueuedAnswerMs);
  Require(state.AnswerData.size() <= bytes.size());
  Require(state.ReceiveBuffer.size() <= bytes.size() + 1);
  Require(state.PrinterState == printer_state::Idle ||
          state.PrinterState == printer_state::PaymentIncomplete ||
          state.PrinterState == printer_state::ReceiptEnding);
  return 0;
}
