#pragma once
// The register's side of the link: bytes from the control in, bytes to the control out, the
// time passed in. Pure: no descriptors and no timers; the caller (SimulatedRegister or a
// test) feeds received bytes, takes what is due to send, and says when the line is free.
//
// For each good "N" frame: ACK, then (after the pause, if one is set) the answer. Consecutive
// answer frames of one command ("|" data answers, a report's "printing" then "done", the
// clearing report after a held command) are spaced: the next one goes when the control
// acknowledges the last, or when the answer gap has passed without a verdict. A NACK from
// the control for an answer of a command the register acknowledged gets that answer again
// (twice at most). An answer that the badbcc fault sent with a wrong check is also sent
// again when no verdict comes within the gap: the fault stands for a line that garbled it,
// and a control that sends no verdicts waits for the answer again. A data-line stream
// follows its ACK after kStreamLeadMs, so the control reads the ACK on its own first.
//
// A frame with the same sequence digit as the last frame executed is a retransmission (the
// control sending again after a lost ACK): it is answered again from the stored answer, whatever
// its text, and not executed. The register keeps that digit when the control closes the line,
// as a register on a serial line never learns that its host has gone: a control that starts
// again must not begin with the digit of the last frame.
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "sim/frame_reader.h"
#include "sim/register_model.h"

namespace velka::sim {

// Faults of the link, switchable while running.
struct LinkFaults {
  int nack = 0;          // NACK the next n frames (unexecuted)
  bool noack = false;    // execute and answer, but never send ACK
  int badbcc = 0;        // a wrong block check in the next n answer frames
  Millis pause_ms = 0;   // between the ACK and the answer
  bool silence = false;  // no reply at all, nothing executed
  int loseack = 0;       // the next n commands are executed, their ACK and answer are lost
  int loseanswer = 0;    // the next n commands are executed and acknowledged, their answer lost
};

// One line of the transcript: what crossed the line, or what the register made of it.
struct Traffic {
  enum class Direction { In, Out, Note };
  Direction direction = Direction::Note;
  Bytes bytes;       // In, Out
  std::string note;  // Note: a readable remark
};

class RegisterSession {
 public:
  static constexpr Millis kDefaultAnswerGapMs = 200;
  static constexpr Millis kStreamLeadMs = 50;
  static constexpr int kMaxAnswerRepeats = 2;

  RegisterSession(RegisterModel& model, Millis answer_gap_ms = kDefaultAnswerGapMs);

  // Bytes that arrived from the control at `now` (wire time: their last bit is in).
  void receive(const Bytes& bytes, Millis now);
  // The next bytes to put on the line, if something is due at `now`; call again until it
  // returns nothing. After it returned bytes, the line is busy until lineFree().
  Bytes transmit(Millis now);
  // The bytes last taken by transmit() have left the line.
  void lineFree(Millis now);
  // When transmit() will have something, if the line is free; nothing while it waits for
  // lineFree() or has nothing to send.
  std::optional<Millis> nextWakeup() const;

  // An unsolicited report of the model (a clearing report), queued behind current output.
  void report(Outcome outcome, Millis now);
  // The control went away: drop partial frames and pending output (the digit of the last frame
  // executed is kept).
  void reset();

  LinkFaults& faults() { return faults_; }
  const LinkFaults& faults() const { return faults_; }
  Millis answerGapMs() const { return answer_gap_ms_; }
  void setAnswerGapMs(Millis gap_ms) { answer_gap_ms_ = gap_ms; }

  void setTrafficHandler(std::function<void(const Traffic&)> handler) {
    on_traffic_ = std::move(handler);
  }
  void setPaperHandler(std::function<void(const std::string&)> handler) {
    on_paper_ = std::move(handler);
  }
  // What the register carried out (Outcome::record), line by line.
  void setRecordHandler(std::function<void(const std::string&)> handler) {
    on_record_ = std::move(handler);
  }

 private:
  struct Step {
    enum class Kind { Byte, Answer } kind = Kind::Byte;
    std::uint8_t byte = 0;
    Answer answer;
    char sequence = '-';  // of the command answered
    Millis delay_ms = 0;  // after the previous step is done
    bool awaits_verdict = false;
    bool repeat = false;     // sent again after a NACK
    bool corrupted = false;  // went out with a wrong check (fault badbcc)
  };

  void onFrame(const FrameEvent& frame, Millis now);
  void onControlByte(std::uint8_t byte, Millis now);
  void queueByte(std::uint8_t byte);
  void queueAnswers(const std::vector<Answer>& answers, char sequence, Millis first_delay_ms);
  void dropPending();
  bool corruptNextCheck();
  void repeatLastAnswer(const char* why);
  Bytes encode(const Step& step);
  void note(std::string text);
  void paper(const std::vector<std::string>& lines);
  void record(const std::vector<std::string>& lines);

  RegisterModel& model_;
  Millis answer_gap_ms_;
  LinkFaults faults_;
  FrameReader reader_;

  std::deque<Step> queue_;
  bool line_busy_ = false;
  Millis ready_since_ = 0;            // when the previous step was done
  std::optional<Millis> verdict_by_;  // waiting for the control's verdict until then
  std::optional<Step> last_sent_;     // the answer frame a NACK would repeat
  bool last_sent_waits_verdict_ = false;
  int repeats_ = 0;
  bool acknowledged_ = false;    // the command being answered got an ACK
  bool last_corrupted_ = false;  // set by encode() for the step being sent
  char held_sequence_ = '-';     // of the command waiting for a condition to clear

  struct Exchange {
    char sequence = 0;
    std::vector<Answer> answers;
  };
  std::optional<Exchange> last_exchange_;

  std::function<void(const Traffic&)> on_traffic_;
  std::function<void(const std::string&)> on_paper_;
  std::function<void(const std::string&)> on_record_;
};

}  // namespace velka::sim
