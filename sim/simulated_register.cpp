#include "sim/simulated_register.h"

#include <algorithm>
#include <cstdio>

#include "sim/transcript.h"

namespace velka::sim {

SimulatedRegister::SimulatedRegister(EventLoop& loop, const SimOptions& options)
    : loop_(loop),
      start_us_(MonotonicMicros()),
      model_(options.start_clock.value_or(CurrentLocalDateTime()), loop.now()),
      session_(model_, options.answer_gap_ms),
      inbound_(options.baud),
      outbound_(options.baud) {
  session_.setPaperHandler([this](const std::string& line) {
    if (paper_sink_) paper_sink_(line);
  });
  session_.setRecordHandler([this](const std::string& line) {
    if (record_sink_) record_sink_(line);
  });
  session_.setTrafficHandler([this](const Traffic& t) { traffic(t); });
  alarm_ = PreciseAlarm::Create();
  if (alarm_) {
    alarm_watch_ = loop_.watchReadable(alarm_->handle(), [this] { onAlarm(); });
  } else {
    pump_timer_ = loop_.createTimer([this] { pump(MonotonicMicros()); });
  }
  if (!pty_.ok()) return;
  master_watch_ = loop_.watchReadable(pty_.masterHandle(), [this] { onMasterReadable(); });
  if (pty_.presenceHandle() != kNoHandle) {
    presence_watch_ = loop_.watchReadable(pty_.presenceHandle(), [this] { onPresence(); });
  }
}

SimulatedRegister::~SimulatedRegister() = default;

void SimulatedRegister::setTranscriptSink(std::function<void(const std::string&)> sink) {
  transcript_sink_ = std::move(sink);
  char clock[64];
  std::snprintf(clock, sizeof clock, "monotonic clock at 0: %lld.%06lld s",
                static_cast<long long>(start_us_ / 1'000'000),
                static_cast<long long>(start_us_ % 1'000'000));
  note(clock);
}

void SimulatedRegister::transcribe(const Traffic& traffic, Micros at_us) {
  if (transcript_sink_) transcript_sink_(TranscriptLine(traffic, at_us - start_us_));
}

void SimulatedRegister::note(const std::string& text) {
  Traffic traffic;
  traffic.note = text;
  transcribe(traffic, MonotonicMicros());
}

// What crossed the line, in the transcript: a frame from the control at its first byte on the
// wire (it is received once its last byte is in), bytes to the control once the last of them has
// been handed over.
void SimulatedRegister::traffic(const Traffic& traffic) {
  switch (traffic.direction) {
    case Traffic::Direction::In:
      transcribe(traffic, serving_at_ - inbound_.wireTime(traffic.bytes.size()));
      break;
    case Traffic::Direction::Out:
      on_the_line_ = traffic;
      break;
    case Traffic::Direction::Note:
      transcribe(traffic, MonotonicMicros());
      break;
  }
}

void SimulatedRegister::stepLeft() {
  if (!on_the_line_) return;
  transcribe(*on_the_line_, MonotonicMicros());
  on_the_line_.reset();
}

void SimulatedRegister::onMasterReadable() {
  // A control that opened the line and wrote at once: count it in before its bytes.
  notePresence();
  Bytes bytes = pty_.read(kReadChunk);
  if (bytes.empty()) {
    // Readable without bytes: the line hung up although the register holds the slave
    // (it cannot, unless the slave was revoked). Stop listening until a control opens it.
    if (presence_watch_) master_watch_->setEnabled(false);
    return;
  }
  const Micros now = MonotonicMicros();
  inbound_.push(bytes, now);
  pump(now);
}

void SimulatedRegister::onPresence() {
  notePresence();
  pump(MonotonicMicros());
}

// The alarm serves the moment it was set for, not the moment the loop got to it: the line's
// schedule does not slip by the time the process took to wake.
void SimulatedRegister::onAlarm() {
  const Micros now = MonotonicMicros();
  const Micros at = std::min(alarm_at_.value_or(now), now);
  alarm_->clear();
  alarm_at_.reset();
  pump(at);
}

void SimulatedRegister::notePresence() {
  const PseudoTerminal::Presence presence = pty_.readPresence();
  if (presence.last_closed) {
    note("the control closed the line");
    stepLeft();
    session_.reset();
    inbound_.clear();
    outbound_.clear();
    unwritten_.clear();
    line_busy_ = false;
    pty_.clearAfterHangUp();
  }
  if (presence.opened && pty_.inUse()) note("a control opened the line");
  if (presence.opened || presence.last_closed) master_watch_->setEnabled(true);
}

void SimulatedRegister::writeOut(const Bytes& bytes) {
  if (!pty_.inUse()) {  // nobody there to read it
    unwritten_.clear();
    return;
  }
  if (unwritten_.size() + bytes.size() > kUnwrittenLimit) {
    note("the control reads nothing: output dropped");
    unwritten_.clear();
    return;
  }
  unwritten_.insert(unwritten_.end(), bytes.begin(), bytes.end());
  const std::size_t taken = pty_.write(unwritten_.data(), unwritten_.size());
  unwritten_.erase(unwritten_.begin(), unwritten_.begin() + static_cast<std::ptrdiff_t>(taken));
}

void SimulatedRegister::pump(Micros at_us) {
  serving_at_ = at_us;
  // The session counts whole milliseconds; rounded up, a pause it keeps never ends early.
  const Millis at_ms = (at_us + 999) / 1000;
  const Bytes received = inbound_.takeDue(at_us);
  if (!received.empty()) session_.receive(received, at_ms);
  for (;;) {
    const std::optional<Micros> hand_over = outbound_.nextHandOver(kHandOverBatchUs);
    if (hand_over && *hand_over <= at_us) {
      writeOut(outbound_.takeDue(at_us));
    } else if (!unwritten_.empty()) {
      writeOut({});
    }
    if (line_busy_) {
      if (!outbound_.empty()) break;
      line_busy_ = false;
      stepLeft();
      session_.lineFree(at_ms);
    }
    const Bytes next = session_.transmit(at_ms);
    if (next.empty()) break;
    // The step begins when the line became free, or now if it had been free longer.
    outbound_.push(next, at_us);
    line_busy_ = true;
  }
  schedule(at_us);
}

void SimulatedRegister::schedule(Micros at_us) {
  std::optional<Micros> next;
  auto consider = [&next](std::optional<Micros> t) {
    if (t && (!next || *t < *next)) next = t;
  };
  // Received bytes go to the session when the last of them is in: a frame is complete then.
  consider(inbound_.lastDue());
  consider(outbound_.nextHandOver(kHandOverBatchUs));
  if (!line_busy_) {
    if (const std::optional<Millis> wake = session_.nextWakeup()) consider(*wake * 1000);
  }
  if (!unwritten_.empty()) consider(at_us + kWriteRetryUs);
  if (alarm_) {
    if (next == alarm_at_) return;
    alarm_at_ = next;
    if (next) {
      alarm_->set(*next);
    } else {
      alarm_->clear();
    }
    return;
  }
  if (!next) {
    pump_timer_->stop();
    return;
  }
  const Micros wait_us = *next - MonotonicMicros();
  pump_timer_->setInterval(std::max<Millis>(1, (wait_us + 999) / 1000));
  pump_timer_->start();
}

void SimulatedRegister::setCondition(Condition condition, bool on) {
  session_.report(model_.setCondition(condition, on, loop_.now()), loop_.now());
  pump(MonotonicMicros());
}

void SimulatedRegister::injectErrors(int number, int count) {
  model_.injectErrors(number, count);
}

bool SimulatedRegister::setClock(const LocalDateTime& t) {
  return model_.setClock(t, loop_.now());
}

void SimulatedRegister::setBaud(int baud) {
  inbound_.setBaud(baud);
  outbound_.setBaud(baud);
}

std::string SimulatedRegister::status() const {
  const LinkFaults& f = session_.faults();
  std::string line = model_.summary(loop_.now());
  line += "; baud " + std::to_string(outbound_.baud());
  line += "; line " + std::string(pty_.inUse() ? "open" : "free");
  if (f.nack > 0) line += "; nack " + std::to_string(f.nack);
  if (f.noack) line += "; noack";
  if (f.badbcc > 0) line += "; badbcc " + std::to_string(f.badbcc);
  if (f.pause_ms > 0) line += "; pause " + std::to_string(f.pause_ms) + " ms";
  if (f.silence) line += "; silence";
  if (f.loseack > 0) line += "; loseack " + std::to_string(f.loseack);
  if (f.loseanswer > 0) line += "; loseanswer " + std::to_string(f.loseanswer);
  return line;
}

}  // namespace velka::sim
