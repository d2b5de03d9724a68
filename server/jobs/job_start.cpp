// The start of a job and its progress in the journal: the result's space reserved, the
// register's receipt status before the first line, the journal written durably; then each line
// noted as the rule of the journal asks (job_journal.h).
#include "automation/result_codes.h"
#include "platform/whole_file.h"
#include "server/jobs/job_processor.h"

namespace velka::server {

// A file that is not read whole, or that holds a line that would break its frame, is refused
// before anything of it is sent.
JobProcessor::LineResult JobProcessor::RefusalOf(const CommandFileContent& content) {
  if (content.status != CommandFileContent::Status::Read) return {0, {}, result::NotAllowed};
  const std::int32_t row = FirstFrameBreakingRow(content.lines);
  if (row == 0) return {};
  return {row, content.lines[static_cast<std::size_t>(row - 1)], result::NotAllowed};
}

bool JobProcessor::StartJob(RunningJob job, const LineResult& refusal) {
  result_written_ = false;
  // The space of the result first: without it nothing of the job is sent.
  if (!job.base.empty() && !reservation_.reserve(job.base + ".OK", kResultReserveBytes)) {
    return false;
  }
  const CommandFileContent& content = job.content;
  const bool sendable = refusal.code == result::Success;
  job.link_up = !LinkLost();
  if (sendable && JobPlan::HasReceiptLines(content.lines)) {
    job.before = AskReceiptStatus();
    // The port went away meanwhile: nothing of the job has been sent, it waits untouched.
    if (job.link_up && LinkLost()) {
      reservation_.release();
      return false;
    }
  }
  job.plan.emplace(content.lines, job.before ? std::optional(job.before->document) : std::nullopt);

  JobRecord record;
  record.job = content.identity ? *content.identity : JobIdentity{job.path};
  record.delete_after = job.delete_after;
  record.base = job.base;
  record.reservation = reservation_.temporaryPath();
  if (job.before) record.status_before = job.before->answer;
  for (std::int32_t row = job.plan->rows(); row > 0 && record.last_row == 0; --row) {
    if (job.plan->role(row) != RowRole::NotSent) record.last_row = row;
  }
  if (!content.lines.empty()) record.next_line = content.lines.front();
  if (!sendable) {
    // Decided already: nothing of it will be sent.
    record.stage = JobRecord::Stage::Decided;
    record.code = refusal.code;
    record.row = refusal.row;
    record.line = refusal.line;
  }
  journal_.state().job = std::move(record);
  journal_.state().clean = false;
  if (!journal_.Write(JournalWrite::Durable)) {
    journal_.state().job.reset();
    reservation_.release();
    return false;
  }

  if (!job.base.empty()) {
    RemoveFile(job.base + ".OK");
    RemoveFile(job.base + ".KO");
  }
  current_base_ = job.base;
  job_ = std::move(job);
  return true;
}

bool JobProcessor::NoteSending(std::int32_t row, const std::string& line, RowRole role) {
  if (role != RowRole::Unknowable) return true;
  JobRecord& record = *journal_.state().job;
  record.in_flight = row;
  record.next_line = line;
  return journal_.Write(JournalWrite::Durable);
}

void JobProcessor::NoteAnswered(std::int32_t row, RowRole role) {
  JobRecord& record = *journal_.state().job;
  const std::vector<std::string>& lines = job_->content.lines;
  record.next_line = row < static_cast<std::int32_t>(lines.size())
                         ? lines[static_cast<std::size_t>(row)]
                         : std::string();
  // After a line the register could not show again, the journal must not lose its answer;
  // after any other line the progress record is enough.
  if (role != RowRole::Unknowable) {
    journal_.WriteProgress(row);
    return;
  }
  record.answered = row;
  record.in_flight = 0;
  journal_.Write(JournalWrite::Durable);
}

}  // namespace velka::server
