// Recovery at start-up: the job the journal names is completed from what the register
// reports now ("<</?s": the receipt number and the open document), never by sending again a
// line whose effect the register may already hold.
//
// The job's own receipt (JobPlan), with N0 and D0 the number and document before the job, N and
// D now, and L the last row the journal knows answered:
// - the receipt closed (no document open, N differs from N0): its lines are done; the job goes
//   on after them;
// - the receipt is still open (N0 unchanged): it is cancelled (=k, a log line of its own) and
//   the job is sent again from its first line, or from after the last line before the receipt
//   that could not be sent again (which the journal knows answered);
// - the cancel is refused (a payment has been taken), or the receipt shows what no line of the
//   job could have done: the outcome is unknown.
// Any other line: one the journal knows answered is not sent again; reads and settings may be;
// any other line that was in flight ends the job with OutcomeUnknown (120). When the command
// file is gone or has changed, the journal alone says what was done.
#include "automation/result_codes.h"
#include "platform/file_status.h"
#include "server/jobs/data_download.h"
#include "server/jobs/job_processor.h"
#include "server/jobs/register_control.h"

namespace velka::server {

namespace {

bool SameJob(const JobIdentity& a, const JobIdentity& b) {
  return a.path == b.path && a.size == b.size && a.modified_ns == b.modified_ns &&
         a.digest == b.digest;
}

}  // namespace

void JobProcessor::NoteCleanShutdown() {
  journal_.state().clean = true;
  journal_.Write(JournalWrite::Cheap);
}

// After a crash the control may frame its first command with the sequence digit of the
// register's last frame; the register then answers with that frame's stored answer instead of
// carrying the command out. An answer that is not a receipt status is such a one: the next
// request carries a new digit. A stored answer of an earlier "<</?s" is current anyway:
// nothing has run since.
std::optional<ReceiptStatus> JobProcessor::ProbeReceiptStatus() {
  if (std::optional<ReceiptStatus> status = AskReceiptStatus()) return status;
  return AskReceiptStatus();
}

void JobProcessor::Recover() {
  JournalState& state = journal_.state();
  if (!state.job) {
    if (!state.clean) ProbeReceiptStatus();
    recovery_pending_ = false;
  } else if (const std::optional<ReceiptStatus> now = ProbeReceiptStatus()) {
    recovery_pending_ = false;
    if (state.job->stage == JobRecord::Stage::Decided) {
      RecoverDecided();
    } else {
      RecoverRunning(*now);
    }
  } else {
    recovery_pending_ = true;  // the register does not answer: tried again at the next tick
  }
  if (state.clean) {
    state.clean = false;
    journal_.Write(JournalWrite::Cheap);
  }
}

void JobProcessor::ReloadJob(const JobRecord& record) {
  RunningJob job;
  job.path = record.job.path;
  job.delete_after = record.delete_after;
  job.base = record.base;
  job.content = ReadCommandFile(job.path, {.follow_links = !job.delete_after});
  job.file_matches = job.content.identity && SameJob(*job.content.identity, record.job);
  job.link_up = !LinkLost();
  job.before = ParseReceiptStatus(record.status_before);
  static const std::vector<std::string> kNoLines;
  const std::vector<std::string>& lines = job.file_matches ? job.content.lines : kNoLines;
  job.plan.emplace(lines, job.before ? std::optional(job.before->document) : std::nullopt);
  const std::int32_t reached = std::max(record.answered + 1, record.row);
  for (std::int32_t row = 1; row <= reached && row <= job.plan->rows(); ++row) {
    const LineClass kind = ClassOfLine(lines[static_cast<std::size_t>(row - 1)]);
    if (kind == LineClass::Receipt || kind == LineClass::Message) job.sent_receipt_line = true;
  }
  if (!job.file_matches && job.before && job.before->document == DocumentState::None) {
    job.sent_receipt_line = true;  // unknown: the cancel checks the register itself
  }
  // The space a crashed run reserved for the result, or new space where it is gone.
  result_written_ = false;
  if ((record.reservation.empty() || !reservation_.adopt(record.reservation)) &&
      !record.base.empty()) {
    reservation_.reserve(record.base + ".OK", kResultReserveBytes);
  }
  current_base_ = job.base;
  job_ = std::move(job);
}

void JobProcessor::RecoverDecided() {
  const JobRecord record = *journal_.state().job;
  ReloadJob(record);
  const bool result_missing = record.base.empty() || !(EntryIdentityOf(record.base + ".OK") ||
                                                       EntryIdentityOf(record.base + ".KO"));
  CompleteDecided(result_missing, job_->file_matches);
}

void JobProcessor::RecoverRunning(const ReceiptStatus& now) {
  const JobRecord record = *journal_.state().job;
  ReloadJob(record);
  job_->after = now;
  if (!job_->file_matches) {
    LineResult last{record.answered + 1, record.next_line, result::OutcomeUnknown};
    if (!record.cancelling && record.in_flight == 0 && record.answered >= record.last_row) {
      last = {record.last_row, std::string(), result::Success};
    }
    FinishJob(last);
    return;
  }
  if (record.cancelling) {
    // The cancel was sent: unless the receipt is still open, it took effect.
    RestartAfterCancel(record.restart_row, now.receiptOpen());
    return;
  }
  const Resumption next = Decide(now);
  switch (next.kind) {
    case Resumption::Kind::Resume: {
      job_->after.reset();
      const LineResult last = SendLines(next.row);
      data_.Close();
      EndOrSetAside(last);
      return;
    }
    case Resumption::Kind::CancelAndRestart:
      RestartAfterCancel(next.row, true);
      return;
    case Resumption::Kind::Unknown:
      FinishUnknown(next.row);
      return;
  }
}

JobProcessor::Resumption JobProcessor::Decide(const ReceiptStatus& now) const {
  const JobRecord& record = *journal_.state().job;
  const JobPlan& plan = *job_->plan;
  const std::int32_t answered = record.answered;
  if (plan.receiptFirstRow() > 0 && answered < plan.receiptLastRow()) {
    const bool same_number = now.number == job_->before->number;
    if (now.receiptOpen()) {
      if (!same_number) return {Resumption::Kind::Unknown, answered + 1};
      std::int32_t restart = 1;
      for (std::int32_t row = 1; row < plan.receiptFirstRow(); ++row) {
        if (plan.role(row) == RowRole::Unknowable) restart = row + 1;
      }
      return {Resumption::Kind::CancelAndRestart, restart};
    }
    if (!same_number) return ResumeAt(std::max(answered + 1, plan.receiptLastRow() + 1));
    // Neither open nor closed: a receipt line the journal knows answered would show.
    if (answered >= plan.receiptFirstRow()) return {Resumption::Kind::Unknown, answered + 1};
  }
  return ResumeAt(answered + 1);
}

JobProcessor::Resumption JobProcessor::ResumeAt(std::int32_t row) const {
  const JobRecord& record = *journal_.state().job;
  if (record.in_flight != 0 && record.in_flight <= row &&
      job_->plan->role(record.in_flight) == RowRole::Unknowable) {
    return {Resumption::Kind::Unknown, record.in_flight};
  }
  return {Resumption::Kind::Resume, row};
}

// The job's open receipt is cancelled (unless that happened before the crash) and the job is
// sent again from from_row into a new receipt, with the register's status after the cancel as
// the status before the job.
void JobProcessor::RestartAfterCancel(std::int32_t from_row, bool cancel_needed) {
  JobRecord& record = *journal_.state().job;
  if (cancel_needed) {
    record.cancelling = true;
    record.restart_row = from_row;
    journal_.Write(JournalWrite::Durable);
    std::int32_t pData = 0;
    std::string line = kCancelLine;
    const std::int32_t code = control_.DirectIO(0, pData, line);
    // Gone on its way: the journal says the cancel was sent; the next recovery looks again.
    if (code != result::Success && LinkLostDuringJob()) {
      SetAside({});
      return;
    }
    LogCancel(code, code == result::Extended ? control_.ResultCodeExtended() : 0);
  }
  job_->cancel_tried = true;
  job_->after = AskReceiptStatus();
  if (!job_->after && LinkLostDuringJob()) {
    SetAside({});
    return;
  }
  if (!job_->after || job_->after->receiptOpen()) {
    FinishUnknown(record.answered + 1);
    return;
  }
  job_->before = job_->after;
  job_->after.reset();
  job_->plan.emplace(job_->content.lines, job_->before->document);
  job_->sent_receipt_line = false;
  record.cancelling = false;
  record.restart_row = 0;
  record.status_before = job_->before->answer;
  record.answered = from_row - 1;
  record.in_flight = 0;
  journal_.Write(JournalWrite::Durable);
  const LineResult last = SendLines(from_row);
  data_.Close();
  EndOrSetAside(last);
}

void JobProcessor::FinishUnknown(std::int32_t row) {
  const std::vector<std::string>& lines = job_->content.lines;
  const std::string line = row >= 1 && row <= static_cast<std::int32_t>(lines.size())
                               ? lines[static_cast<std::size_t>(row - 1)]
                               : journal_.state().job->next_line;
  FinishJob({row, line, result::OutcomeUnknown});
}

}  // namespace velka::server
