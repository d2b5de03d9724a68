// The register's link as the server keeps it: taken down when the control reports its port
// gone, opened again by the ports folder's name with a bounded back-off (job_server.h).
#include "automation/result_codes.h"
#include "server/jobs/job_server.h"
#include "server/jobs/register_control.h"

namespace velka::server {

// Raised from inside the control, possibly in the middle of a job's line: the link is taken
// down once that has returned to the loop (the job itself is set aside by the processor).
void JobServer::PortGone() {
  if (link_down_) return;  // closed already: the reopening goes on
  link_gone_ = true;
  if (!jobInProgress()) tmr_soon_->start();
}

void JobServer::TakeLinkDownIfGone() {
  if (!link_gone_ || link_down_ || !running_ || offline_) return;
  link_down_ = true;
  control_->TMVClose();
  display_.ShowNotAnswering();
  reopen_ms_ = kFirstReopenMs;
  tmr_reopen_->setInterval(reopen_ms_);
  tmr_reopen_->start();
}

void JobServer::ReopenLink() {
  if (!link_down_) {
    tmr_reopen_->stop();
    return;
  }
  if (jobInProgress() || offline_) return;  // tried again at the next interval
  if (OpenControl()) {
    tmr_reopen_->stop();
    display_.ShowReady();
    RequestTickSoon();
    return;
  }
  reopen_ms_ = std::min(reopen_ms_ * 2, kLongestReopenMs);
  tmr_reopen_->setInterval(reopen_ms_);
}

// TMVOpen looks the port's device up again (a link of the ports folder that now names another
// device reaches it). A port that opens without a register behind it (107) is closed again, so
// that the next try opens it afresh.
bool JobServer::OpenControl() {
  control_->setTMVHighSpeed(HighSpeedSelected(settings_.BaudRate));
  control_->setAsyncMode(false);
  if (control_->TMVOpen(settings_.Port) == result::Success) {
    link_down_ = false;
    link_gone_ = false;
    return true;
  }
  control_->TMVClose();
  return false;
}

void JobServer::StopKeepingLink() {
  tmr_reopen_->stop();
  link_gone_ = false;
  link_down_ = false;
}

}  // namespace velka::server
