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
}

RegisterLink::~RegisterLink() {
  port_.setEventHandler(nullptr);
}

// The one shape of every wait: let pending events run, test, and otherwise sleep in the
// kernel until a byte arrives or a timer is due. A wait for bytes also ends when
// TimeoutElapsed is set (by tmrTimeout) or the port has gone, and in any case at the
// deadline, even if a handler stopped tmrTimeout. A wait for the output to drain has no
// handle to sleep on, so it sleeps for the wire time of what is still pending.
RegisterLink::WaitEnd RegisterLink::Wait(const std::function<bool()>& done, Millis deadline_ms,
                                         WakeOn wake) {
  const bool for_bytes = wake == WakeOn::PortBytes;
  for (;;) {
    loop_.processPendingEvents();
    if (done()) return WaitEnd::Done;
    if (for_bytes && state_.TimeoutElapsed) return WaitEnd::TimedOut;
    if (PortGone()) {
      if (for_bytes) state_.TimeoutElapsed = true;
      return WaitEnd::PortGone;
    }
    const Millis left = deadline_ms - loop_.now();
    if (left <= 0) {
      if (for_bytes) state_.TimeoutElapsed = true;
      return WaitEnd::TimedOut;
    }
    if (for_bytes) {
      loop_.waitForEvents(port_.readinessHandle(), left);
    } else {
      const Millis step = std::max<Millis>(1, WireTimeMs(port_.outputPending()));
      loop_.waitForEvents(kNoHandle, std::min(step, left));
    }
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

// The acknowledgement wait counts from the moment the frame has left the port: at 9600 baud
// a frame of 1010 bytes takes over a second on the wire.
void RegisterLink::WaitForOutputDrain(std::size_t frame_bytes) {
  const Millis deadline = loop_.now() + 2 * WireTimeMs(frame_bytes) + link::kOutputDrainSlackMs;
  Wait([this] { return port_.outputPending() == 0; }, deadline, WakeOn::OutputDrained);
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
