// A failing line judged with the register's own status, and the failed job's open receipt
// cancelled.
#include "automation/result_codes.h"
#include "server/jobs/job_files.h"
#include "server/jobs/job_processor.h"
#include "server/jobs/register_control.h"
#include "server/jobs/server_settings.h"

namespace velka::server {

namespace {

// A condition of the printer that held the line until the control's wait for it ran out.
bool HeldForCondition(std::int32_t code, std::int32_t extended) {
  return code == result::Extended &&
         (extended == velka::extended::CoverOpen || extended == velka::extended::PaperOut ||
          extended == velka::extended::Error105);
}

}  // namespace

// After a time-out or a refused answer the register may have carried the line out; after a
// condition that outlasted the wait it still holds it and will carry it out once the condition
// is cleared. Its receipt status tells what can be told: a payment whose receipt now shows
// closed with a new number went through. The status also serves the cancel of the job's
// receipt, so it is asked whenever the job has sent a receipt line.
JobProcessor::LineResult JobProcessor::JudgeFailure(LineResult failed) {
  const bool lost = failed.code == result::AnswerRefused || failed.code == result::Timeout;
  const bool held = HeldForCondition(failed.code, failed.extended);
  if (!lost && !held && !job_->sent_receipt_line) return failed;
  job_->after = AskReceiptStatus();
  const std::optional<ReceiptStatus>& before = job_->before;
  const std::optional<ReceiptStatus>& after = job_->after;
  if (!after) return failed;
  if ((lost || held) && job_->plan->mayCloseReceipt(failed.row) && before &&
      !after->receiptOpen() && after->number != before->number) {
    failed.code = result::Success;
    failed.extended = 0;
    return failed;
  }
  if (held && !after->ready) {
    failed.code = result::OutcomeUnknown;
    failed.extended = 0;
  }
  return failed;
}

// The job failed: a receipt it opened and left open would take the next job's sales. Sent only
// when the register had no document open before the job and is ready now (a register that
// still holds a line for the operator would hold the cancel too). When the link goes away
// before the register could be asked, or while the cancel was on its way, the recovery asks
// again once it is back.
bool JobProcessor::CancelJobReceipt() {
  if (!CancelReceiptOnFailure(settings_.CancelReceiptOnFailure)) return true;
  const RunningJob& job = *job_;
  if (!job.before || job.before->document != DocumentState::None || !job.sent_receipt_line) {
    return true;
  }
  if (job.cancel_tried) return true;
  if (!job_->after) job_->after = AskReceiptStatus();
  if (LinkLostDuringJob()) return false;
  const std::optional<ReceiptStatus>& now = job_->after;
  if (!now || !now->ready || !now->receiptOpen()) return true;
  std::int32_t pData = 0;
  std::string line = kCancelLine;
  const std::int32_t code = control_.DirectIO(0, pData, line);
  if (code != result::Success && LinkLostDuringJob()) return false;
  LogCancel(code, code == result::Extended ? control_.ResultCodeExtended() : 0);
  job_->cancel_tried = true;
  job_->after.reset();
  return true;
}

// "dd/mm/yyyy hh:mm;Cancel=<result>;<job file name>", with ";Err.Esteso=" for a 114.
void JobProcessor::LogCancel(std::int32_t code, std::int32_t extended) {
  std::string text =
      Stamp("dd/mm/yyyy hh:mm") + ";Cancel=" + std::to_string(code) + ";" + FileNameOf(job_->path);
  if (code == result::Extended) text += ";Err.Esteso=" + std::to_string(extended);
  AppendLogLine(LogPath(), text, LogLimitBytes(settings_.MaxLogDimension));
}

}  // namespace velka::server
