#pragma once
// The simulated register serving a pseudo-terminal on an event loop: what velka-sim runs,
// and what an end-to-end test runs in-process beside the control, on the same loop and the
// same thread.
//
//   auto loop = CreateSystemEventLoop();
//   SimulatedRegister sim(*loop, {.baud = 0});
//   // open port sim.slavePath() with the control, or link it as com<N>
//   sim.setCondition(Condition::CoverOpen, true);
//
// Nothing here blocks: received bytes, the line's pace and the answer gaps are all events
// and timers of the loop.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/event_loop.h"
#include "platform/pseudo_terminal.h"
#include "sim/register_model.h"
#include "sim/register_session.h"
#include "sim/wire_pacer.h"

namespace velka::sim {

struct SimOptions {
  int baud = 9600;  // 0: no pacing
  Millis answer_gap_ms = RegisterSession::kDefaultAnswerGapMs;
  std::optional<LocalDateTime> start_clock;  // the computer's clock when not given
};

class SimulatedRegister {
 public:
  SimulatedRegister(EventLoop& loop, const SimOptions& options = {});
  ~SimulatedRegister();
  SimulatedRegister(const SimulatedRegister&) = delete;
  SimulatedRegister& operator=(const SimulatedRegister&) = delete;

  bool ok() const { return pty_.ok(); }
  const std::string& error() const { return pty_.error(); }
  const std::string& slavePath() const { return pty_.slavePath(); }
  // A control has the slave open.
  bool inUse() const { return pty_.inUse(); }

  // Faults and conditions, as the control channel switches them.
  void setCondition(Condition condition, bool on);
  void injectErrors(int number, int count);
  LinkFaults& faults() { return session_.faults(); }
  bool setClock(const LocalDateTime& t);
  void setBaud(int baud);
  void setAnswerGapMs(Millis gap_ms) { session_.setAnswerGapMs(gap_ms); }
  std::string status() const;

  RegisterModel& model() { return model_; }
  const RegisterModel& model() const { return model_; }

  // Where printed lines go (nowhere when not set).
  void setPaperSink(std::function<void(const std::string&)> sink) { paper_sink_ = std::move(sink); }
  // Where the record of what was carried out goes (Outcome::record; nowhere when not set).
  void setRecordSink(std::function<void(const std::string&)> sink) {
    record_sink_ = std::move(sink);
  }
  // Where the transcript lines go (nowhere when not set).
  void setTranscriptSink(std::function<void(const std::string&)> sink) {
    transcript_sink_ = std::move(sink);
  }

 private:
  void onMasterReadable();
  void onPresence();
  void notePresence();
  void pump();
  void schedule();
  void writeOut(const Bytes& bytes);
  void note(const std::string& text);

  static constexpr std::size_t kReadChunk = 4096;
  static constexpr std::size_t kUnwrittenLimit = 1 << 20;
  static constexpr Millis kWriteRetryMs = 20;
  static constexpr Millis kPaceQuantumMs = 4;

  EventLoop& loop_;
  Millis start_ms_;
  PseudoTerminal pty_;
  RegisterModel model_;
  RegisterSession session_;
  WirePacer inbound_;
  WirePacer outbound_;
  bool line_busy_ = false;
  Bytes unwritten_;
  std::unique_ptr<ReadWatch> master_watch_;
  std::unique_ptr<ReadWatch> presence_watch_;
  std::unique_ptr<Timer> pump_timer_;
  std::function<void(const std::string&)> paper_sink_;
  std::function<void(const std::string&)> record_sink_;
  std::function<void(const std::string&)> transcript_sink_;
};

}  // namespace velka::sim
