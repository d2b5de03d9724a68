#include "sim/register_session.h"

#include <algorithm>

namespace velka::sim {

RegisterSession::RegisterSession(RegisterModel& model, Millis answer_gap_ms)
    : model_(model), answer_gap_ms_(answer_gap_ms) {}

void RegisterSession::note(std::string text) {
  if (!on_traffic_) return;
  Traffic traffic;
  traffic.direction = Traffic::Direction::Note;
  traffic.note = std::move(text);
  on_traffic_(traffic);
}

void RegisterSession::paper(const std::vector<std::string>& lines) {
  if (!on_paper_) return;
  for (const std::string& line : lines) on_paper_(line);
}

void RegisterSession::record(const std::vector<std::string>& lines) {
  if (!on_record_) return;
  for (const std::string& line : lines) on_record_(line);
}

void RegisterSession::receive(const Bytes& bytes, Millis now) {
  for (const FrameEvent& event : reader_.feed(bytes)) {
    if (on_traffic_) on_traffic_(Traffic{Traffic::Direction::In, event.raw, {}});
    switch (event.type) {
      case FrameEvent::Type::Frame:
        onFrame(event, now);
        break;
      case FrameEvent::Type::Control:
        onControlByte(event.control_byte, now);
        break;
      case FrameEvent::Type::Rejected:
        note(std::string("bad frame (") + FrameFaultText(event.fault) + ")");
        if (faults_.silence) {
          note("silence: no reply");
          break;
        }
        dropPending();
        queueByte(NACK);
        break;
      case FrameEvent::Type::Abandoned:
        note("frame cut short by a new STX: no reply");
        break;
      case FrameEvent::Type::Garbage:
        note("skipped " + std::to_string(event.count) + " bytes between frames");
        break;
    }
  }
}

void RegisterSession::dropPending() {
  queue_.clear();
  verdict_by_.reset();
  last_sent_.reset();
  last_sent_waits_verdict_ = false;  // bytes still on the line open no verdict window
}

void RegisterSession::queueByte(std::uint8_t byte) {
  Step step;
  step.kind = Step::Kind::Byte;
  step.byte = byte;
  queue_.push_back(std::move(step));
}

void RegisterSession::queueAnswers(const std::vector<Answer>& answers, char sequence,
                                   Millis first_delay_ms) {
  for (std::size_t i = 0; i < answers.size(); ++i) {
    Step step;
    step.kind = Step::Kind::Answer;
    step.answer = answers[i];
    step.sequence = sequence;
    step.awaits_verdict = true;
    if (i == 0) {
      step.delay_ms = first_delay_ms;
      if (std::holds_alternative<DataLines>(answers[i])) {
        step.delay_ms = std::max(step.delay_ms, kStreamLeadMs);
      }
    }
    queue_.push_back(std::move(step));
  }
}

void RegisterSession::onFrame(const FrameEvent& frame, Millis now) {
  if (faults_.silence) {
    note("silence: no reply");
    return;
  }
  // A new frame means the control has finished with the previous command.
  dropPending();
  if (!line_busy_) ready_since_ = now;
  if (frame.kind == 'V') {
    const Outcome outcome = model_.executeUnanswered(frame.text, now);
    paper(outcome.paper);
    record(outcome.record);
    last_exchange_ = Exchange{frame.sequence, {}};  // its digit is the last one executed
    note("frame without acknowledgement: executed, no reply");
    return;
  }
  if (faults_.nack > 0) {
    --faults_.nack;
    note("fault: NACK, not executed");
    queueByte(NACK);
    return;
  }
  std::vector<Answer> answers;
  if (last_exchange_ && last_exchange_->sequence == frame.sequence) {
    note("repeated sequence digit: answered again, not executed again");
    answers = last_exchange_->answers;
  } else {
    Outcome outcome = model_.execute(frame.text, now);
    paper(outcome.paper);
    record(outcome.record);
    if (outcome.held) {
      note("held until the condition is cleared");
      held_sequence_ = frame.sequence;
    }
    answers = outcome.answers;
    last_exchange_ = Exchange{frame.sequence, std::move(outcome.answers)};
  }
  if (faults_.loseack > 0) {
    --faults_.loseack;
    note("fault: executed, ACK and answer lost");
    return;
  }
  acknowledged_ = !faults_.noack;
  if (acknowledged_) {
    queueByte(ACK);
  } else {
    note("fault: no ACK");
  }
  if (faults_.loseanswer > 0) {
    --faults_.loseanswer;
    note("fault: executed and acknowledged, answer lost");
    return;
  }
  queueAnswers(answers, frame.sequence, faults_.pause_ms);
}

void RegisterSession::onControlByte(std::uint8_t byte, Millis now) {
  const bool waiting = verdict_by_ && now <= *verdict_by_;
  if (!waiting) {
    note("ACK or NACK outside an answer: ignored");
    return;
  }
  verdict_by_.reset();
  ready_since_ = now;
  if (byte == ACK) return;
  if (acknowledged_) {
    repeatLastAnswer("answer refused");
  } else {
    note("NACK for a frame that got no ACK: the answer is not sent again");
  }
}

void RegisterSession::repeatLastAnswer(const char* why) {
  if (!last_sent_ || repeats_ >= kMaxAnswerRepeats) {
    note(std::string(why) + ": not sent again");
    return;
  }
  note(std::string(why) + ": sent again");
  ++repeats_;
  Step again = *last_sent_;
  again.delay_ms = 0;
  again.repeat = true;
  queue_.push_front(std::move(again));
}

void RegisterSession::report(Outcome outcome, Millis now) {
  paper(outcome.paper);
  record(outcome.record);
  if (outcome.answers.empty()) return;
  note("condition cleared: report");
  if (last_exchange_ && last_exchange_->sequence == held_sequence_) {
    last_exchange_->answers = outcome.answers;
  }
  if (queue_.empty() && !line_busy_ && !verdict_by_) ready_since_ = now;
  queueAnswers(outcome.answers, held_sequence_, 0);
}

bool RegisterSession::corruptNextCheck() {
  if (faults_.badbcc <= 0) return false;
  --faults_.badbcc;
  note("fault: wrong block check");
  last_corrupted_ = true;
  return true;
}

Bytes RegisterSession::encode(const Step& step) {
  if (step.kind == Step::Kind::Byte) return {step.byte};
  if (const auto* status = std::get_if<StatusAnswer>(&step.answer)) {
    return EncodeStatusAnswer(*status, step.sequence, corruptNextCheck());
  }
  if (const auto* data = std::get_if<DataAnswer>(&step.answer)) {
    return EncodeDataAnswer(data->kind, data->data, corruptNextCheck());
  }
  const auto& lines = std::get<DataLines>(step.answer);
  Bytes out = EncodeDataLines(lines.lines);
  const Bytes closing = EncodeStatusAnswer(lines.closing, step.sequence, corruptNextCheck());
  out.insert(out.end(), closing.begin(), closing.end());
  return out;
}

Bytes RegisterSession::transmit(Millis now) {
  if (line_busy_) return {};
  if (verdict_by_) {
    if (now < *verdict_by_) return {};
    ready_since_ = *verdict_by_;  // no verdict: taken as accepted, unless it was corrupted
    verdict_by_.reset();
    if (last_sent_ && last_sent_->corrupted) repeatLastAnswer("no verdict for a corrupted answer");
  }
  if (queue_.empty() || now < ready_since_ + queue_.front().delay_ms) return {};
  Step step = std::move(queue_.front());
  queue_.pop_front();
  last_corrupted_ = false;
  Bytes bytes = encode(step);
  if (step.kind == Step::Kind::Answer) {
    if (!step.repeat) repeats_ = 0;
    step.corrupted = last_corrupted_;
    last_sent_ = step;
  }
  last_sent_waits_verdict_ = step.awaits_verdict;
  line_busy_ = true;
  if (on_traffic_) on_traffic_(Traffic{Traffic::Direction::Out, bytes, {}});
  return bytes;
}

void RegisterSession::lineFree(Millis now) {
  if (!line_busy_) return;
  line_busy_ = false;
  ready_since_ = now;
  if (last_sent_waits_verdict_) verdict_by_ = now + answer_gap_ms_;
}

std::optional<Millis> RegisterSession::nextWakeup() const {
  if (line_busy_) return std::nullopt;
  const bool may_repeat = last_sent_ && last_sent_->corrupted;
  if (verdict_by_ && (!queue_.empty() || may_repeat)) return *verdict_by_;
  if (queue_.empty()) return std::nullopt;
  return ready_since_ + queue_.front().delay_ms;
}

void RegisterSession::reset() {
  reader_.reset();
  dropPending();
  line_busy_ = false;
}

}  // namespace velka::sim
