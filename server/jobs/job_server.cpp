#include "server/jobs/job_server.h"

#include <utility>

#include "automation/result_codes.h"
#include "platform/single_byte_text.h"
#include "server/jobs/data_download.h"
#include "server/jobs/job_files.h"
#include "server/jobs/job_processor.h"
#include "server/jobs/open_failure.h"
#include "server/jobs/operator_view.h"
#include "server/jobs/server_control_site.h"
#include "server/resources/message_table.h"

namespace velka::server {

namespace {

// What a job in progress held back runs this soon after it, back in the loop.
constexpr Millis kSoonMs = 1;

// Counts a job in progress for the time it is sent and reported.
class JobCount {
 public:
  explicit JobCount(int& count) : count_(count) { ++count_; }
  ~JobCount() { --count_; }
  JobCount(const JobCount&) = delete;
  JobCount& operator=(const JobCount&) = delete;

 private:
  int& count_;
};

}  // namespace

JobServer::JobServer(JobServerEnvironment environment)
    : env_(std::move(environment)),
      display_(*env_.view),
      journal_(env_.program_folder + "/" + env_.log_name + kJournalExtension),
      finder_(*env_.loop, env_.settle_ms, &journal_) {
  tmr_file_ = env_.loop->createTimer([this] { Tick(); });
  tmr_soon_ = env_.loop->createTimer([this] { OnSoonTimer(); });
  tmr_soon_->setInterval(kSoonMs);
  tmr_reopen_ = env_.loop->createTimer([this] { ReopenLink(); });
}

JobServer::~JobServer() {
  StopWatchingFolder();
  tmr_reopen_.reset();
  tmr_soon_.reset();
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
  // A journal that exists but cannot be read leaves nothing to complete; jobs still start
  // only once it can be written.
  journal_.Load();

  if (env_.site) env_.site->setOperatorWaitMs(OperatorWaitMs(settings_.OperatorWaitMinutes));
  control_ = env_.create_control ? env_.create_control(start_failure_) : nullptr;
  if (!control_) return CannotOpen();
  data_ = std::make_unique<DataDownload>(settings_.DataFilePath);
  processor_ = std::make_unique<JobProcessor>(settings_, env_.log_name, *control_, display_, *data_,
                                              *env_.loop, env_.clock, journal_);
  processor_->setOnStopLine([this] { RequestClose(); });
  processor_->setLinkLost([this] { return !linkUp(); });
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
  {
    JobCount counted(jobs_in_progress_);
    processor_->Recover();
    start_file_waits_ = processor_->recoveryPending();
    if (!start_file_waits_) {
      processor_->ProcessCommandFile(env_.program_folder + "/" + kStartFileName, false);
    }
  }
  tmr_file_->setInterval(PollingPeriodMs(settings_.Frequence));
  tmr_file_->start();
  running_ = true;
  WatchInputFolder();
  // A port that went away during the start-up, or a job dropped meanwhile.
  tmr_soon_->start();
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
  StopWatchingFolder();
  // The register may be back and the next try not due yet: the stop file gets one more chance.
  if (link_down_) OpenControl();
  StopKeepingLink();
  {
    JobCount counted(jobs_in_progress_);
    processor_->ProcessCommandFile(env_.program_folder + "/" + kStopFileName, false);
  }
  control_->TMVClose();
  data_->Close();
  display_.HideTray();
  processor_->NoteCleanShutdown();
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
  if (jobInProgress() || offline_) {
    tick_wanted_ = true;  // once the tick or job in progress has ended
    return;
  }
  JobCount counted(jobs_in_progress_);
  tmr_file_->stop();
  // Watched first: a job dropped while the folder is listed is not missed.
  WatchInputFolder();
  do {
    tick_wanted_ = false;
    if (linkUp()) RunJobs();
  } while (tick_wanted_ && linkUp() && running_ && !closeRequested());
  TakeLinkDownIfGone();
  if (running_ && !closeRequested()) tmr_file_->start();
}

void JobServer::RequestTick() {
  if (!running_ || closeRequested() || tmr_file_->interval() <= 0) return;
  if (jobInProgress() || offline_) {
    tick_wanted_ = true;
    return;
  }
  Tick();
}

void JobServer::RunJobs() {
  if (processor_->recoveryPending()) processor_->Recover();
  if (!processor_->recoveryPending() && start_file_waits_) {
    start_file_waits_ = false;
    processor_->ProcessCommandFile(env_.program_folder + "/" + kStartFileName, false);
  }
  finder_.BeginTick();
  while (!closeRequested() && !processor_->recoveryPending() && linkUp()) {
    // A file renamed in just now is listed with its notice already queued: read first, so
    // that it is taken whole at once rather than left to settle.
    TakeFolderNotices();
    std::optional<std::string> path = finder_.FindCommandFile(settings_.DirectoryInput);
    if (!path) break;
    // A job that cannot start now is tried again at the next tick.
    if (processor_->ProcessCommandFile(*path, true).not_started) finder_.Defer(*path);
  }
}

void JobServer::RequestTickSoon() {
  tick_wanted_ = true;
  if (!tmr_soon_->isActive()) tmr_soon_->start();
}

void JobServer::OnSoonTimer() {
  tmr_soon_->stop();
  if (jobInProgress() || offline_) return;  // the job's end comes back here
  TakeLinkDownIfGone();
  if (std::exchange(tick_wanted_, false)) RequestTick();
}

void JobServer::StatusUpdateEvent(std::int32_t Status) {
  if (Status == status::PortGone) {
    PortGone();
    return;
  }
  display_.StatusUpdateEvent(Status);
}

void JobServer::DirectIOEvent(std::int32_t /*Command*/, std::int32_t& pData, std::string& pString) {
  display_.DirectIOEvent();
  if (pData > 0 && processor_) processor_->AppendDump(pString);
}

void JobServer::ReceiveDataEvent(const std::string& pString) {
  if (data_) data_->ReceiveDataEvent(pString);
}

// The operator's commands.

void JobServer::SendDocument(const std::string& path) {
  {
    JobCount counted(jobs_in_progress_);
    processor_->ProcessCommandFile(path, false);
  }
  if (link_gone_ || tick_wanted_) tmr_soon_->start();
}

std::int32_t JobServer::Reconfigure(const std::function<void(ServerSettings&)>& edit) {
  tmr_file_->stop();
  StopKeepingLink();
  offline_ = true;
  control_->TMVClose();
  edit(settings_);
  offline_ = false;
  display_.setLanguageOffset(settings_.LanguageOffset);
  display_.ApplyCaptions();
  control_->setTMVHighSpeed(false);
  if (HighSpeedSelected(settings_.BaudRate)) control_->setTMVHighSpeed(true);
  control_->setAsyncMode(false);
  const std::int32_t opened = control_->TMVOpen(settings_.Port);
  if (opened != 0) return opened;
  display_.ShowRegisterFrame(settings_.Port);
  tmr_file_->setInterval(PollingPeriodMs(settings_.Frequence));
  if (running_ && !closeRequested()) {
    tmr_file_->start();
    WatchInputFolder();
    if (tick_wanted_) tmr_soon_->start();
  }
  return opened;
}

void JobServer::EndAtOnce() {
  running_ = false;
  ended_at_once_ = true;
  tmr_file_->stop();
  StopWatchingFolder();
  StopKeepingLink();
  RequestClose();
}

}  // namespace velka::server
