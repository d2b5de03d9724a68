// The end of a job: its outcome decided in the journal, then the steps that report it (the
// failed job's receipt cancelled, the unsent copy, the command file deleted, the result file,
// the log line), then the journal cleared. The steps after the decision may run again after a
// crash: each is skipped when it is seen done.
#include "automation/result_codes.h"
#include "platform/whole_file.h"
#include "server/jobs/job_processor.h"
#include "server/jobs/server_settings.h"
#include "server/jobs/status_display.h"
#include "server/resources/message_table.h"

namespace velka::server {

void JobProcessor::EndOrSetAside(const LineResult& last) {
  if (last.interrupted) {
    SetAside(last);
  } else {
    FinishJob(last);
  }
}

// The link went away in the middle of the job: it is not judged now, the journal holds it as a
// crash would have left it, and the recovery completes it once the register answers again
// (job_recovery.cpp): the register's status decides what the lines did, and nothing is sent
// twice. A line that the control did not send because the port had gone (107) is known not
// sent: the journal says so, or the recovery could not tell that from a line lost in flight.
void JobProcessor::SetAside(const LineResult& last) {
  JobRecord& record = *journal_.state().job;
  if (last.code == result::NoRegister && last.row != 0 && record.in_flight == last.row) {
    record.in_flight = 0;
    journal_.Write(JournalWrite::Durable);
  }
  recovery_pending_ = true;
  reservation_.release();
  job_.reset();
}

void JobProcessor::FinishJob(const LineResult& last) {
  JobRecord& record = *journal_.state().job;
  if (record.stage != JobRecord::Stage::Decided) {
    record.stage = JobRecord::Stage::Decided;
    record.code = last.code;
    record.row = last.row;
    record.line = last.line;
    record.extended = last.extended;
    journal_.Write(JournalWrite::Durable);
  }
  CompleteDecided(true, job_->file_matches);
}

// result_missing: the result file is still to be written (always, the first time);
// file_still_there: the command file is the version the job read.
void JobProcessor::CompleteDecided(bool result_missing, bool file_still_there) {
  const JobRecord record = *journal_.state().job;
  const RunningJob& job = *job_;
  const bool read = job.content.status == CommandFileContent::Status::Read ||
                    job.content.status == CommandFileContent::Status::TooLarge;
  if (record.code != result::Success) {
    if (!CancelJobReceipt()) {
      SetAside({});  // decided: the recovery reports it, and cancels what is still open
      return;
    }
    if (result_missing) {
      display_.ShowJobFailure(MessageText(settings_.LanguageOffset, record.code));
      if (file_still_there && read) {
        WriteFileReplacing(UnsentCopyPath(job.path), job_->content.bytes);
      }
      display_.BringToFront();
    }
  } else if (result_missing) {
    // The answers of the job's lines (DumpAnswers), then the receipt status.
    WriteDump(ReadStatusTail(), job.answers);
  }
  const bool deleted_now = job.delete_after && file_still_there && read && RemoveReadVersion();
  if (result_missing || deleted_now) {
    WriteJobResult(record.row, record.line, record.code, record.base, record.extended);
  }
  if (result_missing && !record.base.empty() && !result_written_) {
    // The outcome stays in the journal until its result file can be written.
    display_.ShowJobFailure(MessageText(settings_.LanguageOffset, msg::JobWaits));
    recovery_pending_ = true;
    reservation_.release();
    job_.reset();
    return;
  }
  EndJob();
}

// Only the version of the command file that was read is deleted: one written anew under the
// same name meanwhile is a new job.
bool JobProcessor::RemoveReadVersion() {
  const std::optional<FileIdentity> now =
      job_->delete_after ? EntryIdentityOf(job_->path) : IdentityOf(job_->path);
  if (!now || now != job_->content.file) return false;
  return RemoveFile(job_->path);
}

void JobProcessor::EndJob() {
  JournalState& state = journal_.state();
  const RunningJob& job = *job_;
  // A processed file that could not be deleted is passed over until it changes or goes.
  if (job.delete_after) {
    const std::optional<FileIdentity> now = EntryIdentityOf(job.path);
    if (now && (!job.content.file || now == job.content.file)) {
      journal_.Keep(job.content.identity ? *job.content.identity
                                         : IdentityOfJob(job.path, *now, std::string_view()),
                    *now);
    }
  }
  state.job.reset();
  // The result file is on disk already: losing this write to a power cut only makes the next
  // start complete the job again, which finds every step done.
  journal_.Write(JournalWrite::Cheap);
  reservation_.release();
  job_.reset();
}

}  // namespace velka::server
