#include "control/link/register_link.h"

#include <algorithm>

#include "control/core/control_events.h"
#include "control/core/control_state.h"
#include "control/link/link_limits.h"

namespace velka {

namespace {
constexpr int kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr int kFallbackBaud = 9600;
// Errors of the link concern the output of a command.
constexpr std::int32_t kErrorLocusOutput = 0;
}  // namespace

RegisterLink::RegisterLink(ControlState& state, EventLoop& loop, SerialPort& port,
                           TraceWriter& trace)
    : state_(state),
      loop_(loop),
      port_(port),
      trace_(trace),
      operator_wait_ms_(link::kClearingWaitMs) {
  tmrTimeout_ = loop_.createTimer([this] { tmrTimeout_Timer(); });
  tmrData_ = loop_.createTimer([this] { tmrData_Timer(); });
  tmrAvvio_ = loop_.createTimer([this] { tmrAvvio_Timer(); });
  tmrTimeout_->setInterval(link::kAckWaitMs);
  tmrData_->setInterval(link::kQueuedAnswerMs);
  tmrAvvio_->setInterval(link::kQueuePumpMs);
  port_.setEventHandler([this](int code) { OnComm(code); });
  port_.setHangUpHandler([this] { NoteIfPortGone(); });
}

RegisterLink::~RegisterLink() {
  port_.setEventHandler(nullptr);
  port_.setHangUpHandler(nullptr);
}

// The one shape of every wait: let pending events run, test, and otherwise sleep in the
// kernel until a byte arrives or a timer is due. A wait also ends when TimeoutElapsed is set
// (by tmrTimeout) or the port has gone, and in any case at the deadline, even if a handler
// stopped tmrTimeout. The blocking step ends when the port's bytes arrive and dispatches what
// is due before it returns, so a byte is taken up as soon as the kernel has it.
RegisterLink::WaitEnd RegisterLink::Wait(const std::function<bool()>& done, Millis deadline_ms) {
  loop_.processPendingEvents();
  for (;;) {
    if (done()) return WaitEnd::Done;
    if (state_.TimeoutElapsed) return WaitEnd::TimedOut;
    if (PortGone()) {
      state_.TimeoutElapsed = true;
      return WaitEnd::PortGone;
    }
    const Millis left = deadline_ms - loop_.now();
    if (left <= 0) {
      state_.TimeoutElapsed = true;
      return WaitEnd::TimedOut;
    }
    // Dispatches what is due (port events and timers included) before it returns.
    loop_.waitForEvents(port_.readinessHandle(), left);
  }
}

Millis RegisterLink::StartTimeout(Millis interval_ms) {
  state_.TimeoutElapsed = false;
  tmrTimeout_->setInterval(interval_ms);
  tmrTimeout_->start();
  return loop_.now() + interval_ms;
}

void RegisterLink::StopTimeout() {
  tmrTimeout_->stop();
}

bool RegisterLink::PortGone() const {
  return !port_.isOpen() || port_.hungUp();
}

Millis RegisterLink::WireTimeMs(std::size_t bytes) const {
  const int baud = port_.baud() > 0 ? port_.baud() : kFallbackBaud;
  const auto bits = static_cast<Millis>(bytes) * kBitsPerByte * 1000;
  return (bits + baud - 1) / baud;
}

// How long a frame just written takes to leave the port: at 9600 baud a frame of 1010 bytes
// takes over a second on the wire, and the acknowledgement wait counts from its end. The wait
// for the acknowledgement starts at once (it cannot come before the frame has left, and nothing
// is gained by sleeping apart), longer by this much: the wire time of what the port still
// holds, at least that of the frame, at most twice that and kOutputDrainSlackMs.
Millis RegisterLink::OutputTimeMs(std::size_t frame_bytes) {
  const Millis frame_ms = WireTimeMs(frame_bytes);
  const Millis pending_ms = WireTimeMs(port_.outputPending());
  return std::min(std::max(frame_ms, pending_ms), 2 * frame_ms + link::kOutputDrainSlackMs);
}

void RegisterLink::NoteIfPortGone() {
  if (!port_.isOpen() || !port_.hungUp() || port_gone_told_) return;
  port_gone_told_ = true;
  RaiseStatusUpdate(status::PortGone);
}

void RegisterLink::RaiseStatusUpdate(std::int32_t status) {
  if (state_.events) state_.events->StatusUpdateEvent(status);
}

void RegisterLink::RaiseErrorEvent(std::int32_t& ErrorResponse) {
  if (state_.events) {
    state_.events->ErrorEvent(state_.ResultCode, state_.ResultCodeExtended, kErrorLocusOutput,
                              ErrorResponse);
  }
}

}  // namespace velka
