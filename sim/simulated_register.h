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
// and timers of the loop. The line is paced to the microsecond (platform/precise_alarm.h): the
// register adds no time of its own between the last byte of a frame and its ACK, nor between
// the ACK and the answer, beyond the pause a test asks for.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/event_loop.h"
#include "platform/precise_alarm.h"
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
  // Where the transcript lines go (nowhere when not set); the first line notes the monotonic
  // clock at the transcript's time 0. A frame from the control is timed at its first byte on
  // the line, bytes to the control once their last byte has been handed over.
  void setTranscriptSink(std::function<void(const std::string&)> sink);

 private:
  void onMasterReadable();
  void onPresence();
  void onAlarm();
  void notePresence();
  // Serves the line as it stands at at_us: received bytes whose last bit is in go to the
  // session, bytes due are handed to the control, the next step goes on the line.
  void pump(Micros at_us);
  void schedule(Micros at_us);
  void writeOut(const Bytes& bytes);
  void stepLeft();
  void traffic(const Traffic& traffic);
  void note(const std::string& text);
  void transcribe(const Traffic& traffic, Micros at_us);

  static constexpr std::size_t kReadChunk = 4096;
  static constexpr std::size_t kUnwrittenLimit = 1 << 20;
  static constexpr Micros kWriteRetryUs = 20'000;
  // Bytes go to the control in batches, none later than this after it is due; the last byte
  // of each frame goes exactly when it is due.
  static constexpr Micros kHandOverBatchUs = 4'000;

  EventLoop& loop_;
  Micros start_us_;
  PseudoTerminal pty_;
  RegisterModel model_;
  RegisterSession session_;
  WirePacer inbound_;
  WirePacer outbound_;
  bool line_busy_ = false;
  Bytes unwritten_;
  Micros serving_at_ = 0;               // the moment pump() serves
  std::optional<Traffic> on_the_line_;  // the step being sent: transcribed once it has left
  std::unique_ptr<ReadWatch> master_watch_;
  std::unique_ptr<ReadWatch> presence_watch_;
  // The pace of the line: a precise alarm where the system has one, else a loop timer.
  std::unique_ptr<PreciseAlarm> alarm_;
  std::unique_ptr<ReadWatch> alarm_watch_;
  std::optional<Micros> alarm_at_;
  std::unique_ptr<Timer> pump_timer_;
  std::function<void(const std::string&)> paper_sink_;
  std::function<void(const std::string&)> record_sink_;
  std::function<void(const std::string&)> transcript_sink_;
};

}  // namespace velka::sim
