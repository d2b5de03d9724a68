#include "server/jobs/job_server.h"

#include "platform/single_byte_text.h"
#include "server/jobs/data_download.h"
#include "server/jobs/job_files.h"
#include "server/jobs/job_processor.h"
#include "server/jobs/open_failure.h"
#include "server/jobs/operator_view.h"
#include "server/resources/message_table.h"

namespace velka::server {

JobServer::JobServer(JobServerEnvironment environment)
    : env_(std::move(environment)), display_(*env_.view), finder_(*env_.loop, env_.settle_ms) {
  tmr_file_ = env_.loop->createTimer([this] { Tick(); });
}

JobServer::~JobServer() {
  tmr_file_.reset();
  if (control_) control_->setEvents(nullptr);
  processor_.reset();
  control_.reset();
}

JobServer::StartResult JobServer::Start() {
  if (lock_.Acquire(env_.program_folder) == SingleInstanceLock::Status::HeldByAnother) {
    return StartResult::AlreadyRunning;
  }
  settings_ = ReadSettings(env_.program_folder);
  display_.setLanguageOffset(settings_.LanguageOffset);
  display_.ApplyCaptions();

  control_ = env_.create_control ? env_.create_control(start_failure_) : nullptr;
  if (!control_) return CannotOpen();
  data_ = std::make_unique<DataDownload>(settings_.DataFilePath);
  processor_ = std::make_unique<JobProcessor>(settings_, env_.log_name, *control_, display_, *data_,
                                              *env_.loop, env_.clock);
  processor_->setOnStopLine([this] { RequestClose(); });
  if (close_requested_) processor_->RequestClose();
  control_->setEvents(this);

  control_->setTMVHighSpeed(HighSpeedSelected(settings_.BaudRate));
  control_->setAsyncMode(false);
  const std::int32_t opened = control_->TMVOpen(settings_.Port);
  if (opened != 0) {
    start_failure_ = OpenFailureDetail(settings_.Port, opened, settings_.LanguageOffset);
    return CannotOpen();
  }

  display_.ShowRegisterFrame(settings_.Port);
  display_.ShowTray();
  processor_->ProcessCommandFile(env_.program_folder + "/" + kStartFileName, false);
  tmr_file_->setInterval(PollingPeriodMs(settings_.Frequence));
  tmr_file_->start();
  running_ = true;
  return StartResult::Running;
}

JobServer::StartResult JobServer::CannotOpen() {
  // The log keeps what the operator was told: message 551 and its reason.
  const WallClock clock = env_.clock ? env_.clock : WallClock(CurrentLocalDateTime);
  AppendLogLine(JobLogPath(settings_.DirectoryInput, env_.log_name),
                FormatDateTime(clock(), kResultStamp) + ";" + LoadString(msg::CannotStart) + ";" +
                    Utf8ToSingleByte(start_failure_),
                LogLimitBytes(settings_.MaxLogDimension));
  return StartResult::CannotOpen;
}

void JobServer::Shutdown() {
  if (!running_) return;
  running_ = false;
  tmr_file_->stop();
  processor_->ProcessCommandFile(env_.program_folder + "/" + kStopFileName, false);
  control_->TMVClose();
  data_->Close();
  display_.HideTray();
}

void JobServer::RequestClose() {
  const bool first = !close_requested_;
  close_requested_ = true;
  if (processor_) processor_->RequestClose();
  if (first) env_.view->requestClose();
}

bool JobServer::closeRequested() const {
  return close_requested_ || (processor_ && processor_->closeRequested());
}

void JobServer::Tick() {
  tmr_file_->stop();
  finder_.BeginTick();
  while (!closeRequested()) {
    std::optional<std::string> path = finder_.FindCommandFile(settings_.DirectoryInput);
    if (!path) break;
    JobOutcome outcome = processor_->ProcessCommandFile(*path, true);
    if (outcome.kept) finder_.PassOver(*path, *outcome.kept);
  }
  if (running_ && !closeRequested()) tmr_file_->start();
}

void JobServer::StatusUpdateEvent(std::int32_t Status) {
  display_.StatusUpdateEvent(Status);
}

void JobServer::DirectIOEvent(std::int32_t /*Command*/, std::int32_t& pData, std::string& pString) {
  display_.DirectIOEvent();
  if (pData > 0 && processor_) processor_->AppendDump(pString);
}

void JobServer::ReceiveDataEvent(const std::string& pString) {
  if (data_) data_->ReceiveDataEvent(pString);
}

}  // namespace velka::server
