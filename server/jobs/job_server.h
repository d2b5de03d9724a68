#pragma once
// VelkaDriverServer's life cycle: start-up, the polling timer tmrFile and its tick, the
// control's events, and the shutdown.
//
// Start-up, in order: the single-instance lock (refused: AlreadyRunning, message 550), the
// settings, the captions, the control created and opened on Port with TMVHighSpeed and
// AsyncMode False (refused: CannotOpen, message 551), the register frame and status texts, the
// tray icon, the recovery of what the job journal holds (job_processor.h), the start file
// "Avvio.txt", then tmrFile with the Frequence period. While the recovery waits for the
// register, the start file and every job wait too; each tick tries the recovery again.
// Shutdown, in order: tmrFile stopped (no job starts once the shutdown has begun), the stop
// file "Stop.txt", TMVClose, the data-download file closed, the tray icon hidden.
//
// A close request (a "STOP" line, SIGTERM, the exit command) is never handled inside the work
// in progress: the job that asked finishes, no further command file is taken, and the host
// calls Shutdown once control is back in its event loop.
//
// A dropped job starts at once: the input folder is watched (platform/folder_watch.h) beside
// tmrFile, and a command file closed after writing or renamed in asks for a tick. Ticks never
// overlap: one asked for while a job is being sent (from inside its waits) runs once the
// current tick has ended. tmrFile stays as the fallback: a folder that cannot be watched
// (missing, a network share, no watch on the system), notices lost to an overflow; the watch is
// set up again at each tick once the folder is there. With a Frequence of 0 neither polls.
//
// The link (job_server_link.cpp): when the control reports its port gone (StatusUpdateEvent
// status::PortGone), the server takes the link down once the work in progress has returned:
// TMVClose, lblStato shows message 572, no job is taken (jobs wait in the folder untouched).
// It opens the control again by Port (the ports folder's name is looked up at each TMVOpen)
// kFirstReopenMs later, then at doubling intervals up to kLongestReopenMs, until TMVOpen
// succeeds: lblStato shows text 554 again and the waiting jobs run at once, the job that the
// link's end interrupted first (JobProcessor: the recovery completes it).
#include <functional>
#include <memory>
#include <string>

#include "platform/event_loop.h"
#include "platform/folder_watch.h"
#include "platform/local_time.h"
#include "server/jobs/command_file_finder.h"
#include "server/jobs/job_journal.h"
#include "server/jobs/register_control.h"
#include "server/jobs/server_settings.h"
#include "server/jobs/single_instance.h"
#include "server/jobs/status_display.h"

namespace velka::server {

class DataDownload;
class JobProcessor;
class OperatorView;
class ServerControlSite;

inline constexpr char kStartFileName[] = "Avvio.txt";
inline constexpr char kStopFileName[] = "Stop.txt";
// The job journal: <log name> + kJournalExtension in the program folder.
inline constexpr char kJournalExtension[] = ".journal";

// Makes the hosted control; null, with the reason in error, when it cannot be made.
using RegisterControlFactory = std::function<std::unique_ptr<RegisterControl>(std::string& error)>;
// Watches a folder; null when it cannot be watched.
using FolderWatchFactory = std::function<std::unique_ptr<FolderWatch>(const std::string& folder)>;

// The link's reopening: the first try after it went down, and the longest interval between two.
inline constexpr Millis kFirstReopenMs = 1000;
inline constexpr Millis kLongestReopenMs = 30000;

struct JobServerEnvironment {
  std::string program_folder;  // no trailing "/"
  std::string log_name;        // the executable's name: the log is <log_name>.LOG
  EventLoop* loop = nullptr;
  OperatorView* view = nullptr;
  RegisterControlFactory create_control;
  WallClock clock;  // empty: the computer's clock
  Millis settle_ms = kSettleMs;
  // The site the control is created with: given the settings' operator wait before
  // create_control runs. Null: a control made without one.
  ServerControlSite* site = nullptr;
  // Empty: the system's folder watch.
  FolderWatchFactory watch_folder;
};

class JobServer : public RegisterControlEvents {
 public:
  enum class StartResult { Running, AlreadyRunning, CannotOpen };

  explicit JobServer(JobServerEnvironment environment);
  ~JobServer() override;
  JobServer(const JobServer&) = delete;
  JobServer& operator=(const JobServer&) = delete;

  StartResult Start();
  // Runs once; later calls do nothing.
  void Shutdown();

  // Asks for the shutdown (signal, exit command). The host calls Shutdown when it sees
  // closeRequested() back in its loop.
  void RequestClose();
  bool closeRequested() const;

  // tmrFile: every waiting command file, one after the other.
  void Tick();
  // A tick now, or once the tick or job in progress has ended (never nested inside it).
  void RequestTick();

  // The control's port is open and has not been reported gone.
  bool linkUp() const { return !link_gone_ && !link_down_; }

  // Why the control could not be made or opened, for the operator (after CannotOpen), in
  // UTF-8: the port's device and the cause in the language of the settings (open_failure.h),
  // or why the control could not be made. It also goes to the job log, after message 551.
  const std::string& startFailure() const { return start_failure_; }
  const ServerSettings& settings() const { return settings_; }
  StatusDisplay& display() { return display_; }
  JobProcessor& processor() { return *processor_; }
  Timer& tmrFile() { return *tmr_file_; }

  // The operator's commands of the main window (server/ui/server_commands.h).
  // The server is running: started, and not yet shut down or ending.
  bool running() const { return running_; }
  const std::string& programFolder() const { return env_.program_folder; }
  // A command file is being sent (a polled job or the operator's document). A tick that comes
  // meanwhile (from inside the job's waits) is left out, and the commands wait for its end.
  bool jobInProgress() const { return jobs_in_progress_ > 0; }
  // Sends a configuration document as a job that is not deleted afterwards.
  void SendDocument(const std::string& path);
  // "Configure...": off line (tmrFile stopped, TMVClose), edit changes the settings in place,
  // then back: the captions in the (new) language, TMVHighSpeed (False, then True for
  // 115200), AsyncMode False, TMVOpen on Port, the register frame and status, tmrFile with
  // the Frequence period. Returns TMVOpen's result: when it is not 0, tmrFile stays off, and
  // the program is to end at once (EndAtOnce) once the operator has been told.
  std::int32_t Reconfigure(const std::function<void(ServerSettings&)>& edit);
  // The program ends without the shutdown steps: the host's loop is asked to stop, and
  // Shutdown then does nothing.
  void EndAtOnce();
  bool endedAtOnce() const { return ended_at_once_; }

  // Events of the control.
  void StatusUpdateEvent(std::int32_t Status) override;
  void DirectIOEvent(std::int32_t Command, std::int32_t& pData, std::string& pString) override;
  void ReceiveDataEvent(const std::string& pString) override;

 private:
  void RunJobs();
  // A tick once back in the loop, outside the callback that asks for it.
  void RequestTickSoon();
  // Runs what was asked while a job was in progress, once back in the loop.
  void OnSoonTimer();

  // job_server_link.cpp
  void PortGone();
  void TakeLinkDownIfGone();
  void ReopenLink();
  bool OpenControl();
  void StopKeepingLink();

  // job_server_watch.cpp
  void WatchInputFolder();
  void StopWatchingFolder();
  void OnFolderChanges();
  // Reads the notices that wait; true when one asks for a look at the folder.
  bool TakeFolderNotices();

  // Logs the start-up failure; CannotOpen.
  StartResult CannotOpen();

  JobServerEnvironment env_;
  SingleInstanceLock lock_;
  ServerSettings settings_;
  StatusDisplay display_;
  JobJournal journal_;
  CommandFileFinder finder_;
  std::unique_ptr<RegisterControl> control_;
  std::unique_ptr<DataDownload> data_;
  std::unique_ptr<JobProcessor> processor_;
  std::unique_ptr<Timer> tmr_file_;
  std::unique_ptr<Timer> tmr_soon_;    // what a job in progress held back
  std::unique_ptr<Timer> tmr_reopen_;  // the link's reopening
  std::string start_failure_;
  bool close_requested_ = false;
  bool running_ = false;
  int jobs_in_progress_ = 0;
  bool ended_at_once_ = false;
  bool start_file_waits_ = false;  // for the recovery
  bool tick_wanted_ = false;       // asked for while a job was in progress
  bool offline_ = false;           // "Configure...": the port closed, no tick
  bool link_gone_ = false;         // the port was reported gone: take the link down
  bool link_down_ = false;         // the control closed, being opened again
  Millis reopen_ms_ = kFirstReopenMs;
  std::unique_ptr<FolderWatch> folder_watch_;
  std::unique_ptr<ReadWatch> folder_notices_;
  std::string watched_folder_;
};

}  // namespace velka::server
