#include "sim/simulated_register.h"

#include <algorithm>

#include "sim/transcript.h"

namespace velka::sim {

SimulatedRegister::SimulatedRegister(EventLoop& loop, const SimOptions& options)
    : loop_(loop),
      start_ms_(loop.now()),
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
  session_.setTrafficHandler([this](const Traffic& traffic) {
    if (transcript_sink_) transcript_sink_(TranscriptLine(traffic, loop_.now() - start_ms_));
  });
  pump_timer_ = loop_.createTimer([this] { pump(); });
  if (!pty_.ok()) return;
  master_watch_ = loop_.watchReadable(pty_.masterHandle(), [this] { onMasterReadable(); });
  if (pty_.presenceHandle() != kNoHandle) {
    presence_watch_ = loop_.watchReadable(pty_.presenceHandle(), [this] { onPresence(); });
  }
}

SimulatedRegister::~SimulatedRegister() = default;

void SimulatedRegister::note(const std::string& text) {
  if (!transcript_sink_) return;
  Traffic traffic;
  traffic.note = text;
  transcript_sink_(TranscriptLine(traffic, loop_.now() - start_ms_));
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
  inbound_.push(bytes, loop_.now());
  pump();
}

void SimulatedRegister::onPresence() {
  notePresence();
  pump();
}

void SimulatedRegister::notePresence() {
  const PseudoTerminal::Presence presence = pty_.readPresence();
  if (presence.last_closed) {
    note("the control closed the line");
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

void SimulatedRegister::pump() {
  const Millis now = loop_.now();
  const Bytes received = inbound_.takeDue(now);
  if (!received.empty()) session_.receive(received, now);
  for (;;) {
    const Bytes due = outbound_.takeDue(now);
    if (!due.empty() || !unwritten_.empty()) writeOut(due);
    if (line_busy_) {
      if (!outbound_.empty() || outbound_.idleAt() > now) break;
      line_busy_ = false;
      session_.lineFree(now);
    }
    const Bytes next = session_.transmit(now);
    if (next.empty()) break;
    outbound_.push(next, now);
    line_busy_ = true;
  }
  schedule();
}

void SimulatedRegister::schedule() {
  std::optional<Millis> next;
  auto consider = [&next](std::optional<Millis> t) {
    if (t && (!next || *t < *next)) next = t;
  };
  const Millis now = loop_.now();
  // Received bytes go to the session when the last of them is in: a frame is complete then.
  if (!inbound_.empty()) consider(inbound_.idleAt());
  // Sent bytes leave in small batches, each when its last byte would have left the wire.
  if (const std::optional<Millis> due = outbound_.nextDue()) {
    consider(std::max(*due, now + kPaceQuantumMs));
  }
  if (line_busy_ && outbound_.empty()) consider(outbound_.idleAt());
  if (!line_busy_) consider(session_.nextWakeup());
  if (!unwritten_.empty()) consider(now + kWriteRetryMs);
  if (!next) {
    pump_timer_->stop();
    return;
  }
  pump_timer_->setInterval(std::max<Millis>(1, *next - now));
  pump_timer_->start();
}

void SimulatedRegister::setCondition(Condition condition, bool on) {
  session_.report(model_.setCondition(condition, on, loop_.now()), loop_.now());
  pump();
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
