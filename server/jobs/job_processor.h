#pragma once
// The job protocol: one command file sent line by line through the control's DirectIO, and
// its outcome reported in a result file (".OK" or ".KO"), a line of the job log, the main
// window and, for a failure, an unsent copy in DirectoryOutput.
//
// What happens to files that misbehave:
// - A command file that is gone when it is read (another program took it), a symbolic link in
//   the input folder (never followed), and an absent start or stop file: nothing is sent and
//   nothing is written.
// - A command file that exists but cannot be read, or is larger than kMaxCommandFileBytes:
//   the job fails before anything is sent (result 106 at row 0), with its ".KO" file and log
//   line. An unreadable file is not deleted, so that it is not lost; it is then not taken
//   again while it stays as it is.
// - A line holding a byte that would break the frame (NUL, STX, ETX, ACK, NACK) fails the job
//   before anything of it is sent (result 106 at the row of the first such line).
// - A line longer than kMaxCommandLineLength fails the job at that row (result 106), without
//   being sent; the result file and the log show its first kMaxCommandLineLength characters.
// - A processed command file that cannot be deleted (read-only, or a folder that forbids it)
//   is never sent again while it stays as it is, also after a restart: the journal keeps it.
// - A command file written anew under the same name while its job is in progress is a new
//   job: only the version that was read is deleted (and copied when it fails).
// - A log that cannot be written loses that log line only.
// - A data-download file that cannot be opened: see DataDownload.
// - With DirectoryOutput set to the input folder itself, an unsent copy gets the extension
//   ".unsent" added, so that it is kept there without being taken, and sent, as a new job.
//   The copy holds the bytes that were read (at most kMaxCommandFileBytes).
// - A successful job whose receipt status request fails still gets its ".OK" file, with an
//   empty dump text, so the point-of-sale program always learns how its job ended.
//
// Exactly once (see job_journal.h): a job starts only when its result can be written: the
// space of its result file is reserved and the journal written durably before its first line;
// when either fails (a full disk, a read-only folder) nothing is sent, the job stays in the
// folder untouched, the reason is shown and logged, and it is tried again at a later tick.
// A job with receipt lines first asks the register for its receipt status ("<</?s": the
// receipt number and the open document), so that after a crash the server can tell from the
// register what the job did. After a time-out (112), a refused answer (111) or a condition
// that outlasted the operator wait, the register is asked before the job is judged: a payment
// whose receipt the register shows closed with a new number succeeded. A job that fails while
// the receipt it opened is still open cancels it (=k, unless CancelReceiptOnFailure is off),
// with a log line of its own. A line the register holds for the operator (cover open, paper
// out) is never sent again: the control waits OperatorWaitMinutes for the condition to clear;
// when the register still holds it after that, the job ends with OutcomeUnknown (120).
//
// The link going away (the register's port hung up: setLinkLost) is no failure of the job.
// A job that meets it before its first line stays in the folder untouched; one that meets it
// later is set aside as a crash would leave it, its journal unchanged, and the recovery
// completes it from the register's status once the link is back (before any other job), so
// that nothing of it is sent twice. A job started while the link was already down (the stop
// file at shutdown, a document sent by the operator) fails as the control reports.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/file_status.h"
#include "platform/local_time.h"
#include "platform/reserved_file.h"
#include "server/jobs/answer_dumps.h"
#include "server/jobs/command_file.h"
#include "server/jobs/job_journal.h"
#include "server/jobs/line_class.h"
#include "server/jobs/receipt_status.h"

namespace velka::server {

class RegisterControl;
class StatusDisplay;
class DataDownload;
struct ServerSettings;

// The request whose answer gives the receipt number and the dump text.
inline constexpr char kStatusRequest[] = "<</?s";
// The cancel line of a failed job's open receipt (the one PrintRecVoid sends).
inline constexpr char kCancelLine[] = "=k";

// Results kept in a ".OK" file are read back at most this far when a line is appended.
inline constexpr std::int64_t kMaxResultFileBytes = 256 * 1024;
// The space reserved for a job's result: one line of a ".OK" or ".KO" file, which holds at
// most the failing line (kMaxCommandLineLength) and a few dozen characters more.
inline constexpr std::int64_t kResultReserveBytes = 8 * 1024;

// What the finder needs to know after a polled job.
struct JobOutcome {
  // The command file was processed but is still there: pass it over while it is unchanged.
  std::optional<FileIdentity> kept;
  // The job could not start (its result or the journal cannot be written, or the link went
  // away): it is still there, untouched; try it again at a later tick.
  bool not_started = false;
};

class JobProcessor {
 public:
  // settings: the server's in-memory settings, read at each job (the settings dialog changes
  // them in place). log_name: the executable's name, which names the log. journal: loaded.
  JobProcessor(const ServerSettings& settings, std::string log_name, RegisterControl& control,
               StatusDisplay& display, DataDownload& data, EventLoop& loop, WallClock clock,
               JobJournal& journal);
  ~JobProcessor();

  // Sends one command file and reports it; delete_after for polled files (whose symbolic links
  // are not followed).
  JobOutcome ProcessCommandFile(const std::string& path, bool delete_after);

  // Completes what the journal holds from an earlier run: the job a crash interrupted (or
  // whose result could not be written), decided from what the register reports now. Before
  // Avvio.txt and before any job; while the register cannot be asked it stays pending and
  // no job may start.
  void Recover();
  bool recoveryPending() const { return recovery_pending_; }
  // The normal shutdown has run: the next start need not check the register's link.
  void NoteCleanShutdown();

  // The last four characters of the receipt status answer; empty when the request fails.
  std::string ReadStatusTail();
  // Appends "dd/mm/yyyy hh:mm;Dump=" and the text to the ".OK" file of CurrentBase; nothing
  // when the text is blank or there is no current base path. While a job is being sent the
  // line is held until the job's end (answer_dumps.h).
  void AppendDump(const std::string& text);
  // extended: ResultCodeExtended of the failing line; nothing: read from the control now.
  void WriteJobResult(std::int32_t row, const std::string& line, std::int32_t result_code,
                      const std::string& base_path,
                      std::optional<std::int32_t> extended = std::nullopt);

  const std::string& CurrentBase() const { return current_base_; }
  std::string LogPath() const;
  // Where the unsent copy of a failed command file goes.
  std::string UnsentCopyPath(const std::string& path) const;

  // A "STOP" line was read, or RequestClose was called: the shutdown is wanted.
  bool closeRequested() const { return close_requested_; }
  void RequestClose() { close_requested_ = true; }
  // Called for each "STOP" line (the server forwards it to the window as a close request).
  void setOnStopLine(std::function<void()> on_stop) { on_stop_ = std::move(on_stop); }
  // Tells whether the register's link has gone (its port hung up) and is not back yet.
  void setLinkLost(std::function<bool()> lost) { link_lost_ = std::move(lost); }

 private:
  struct LineResult {
    std::int32_t row = 0;
    std::string line;
    std::int32_t code = 0;
    std::int32_t extended = 0;  // ResultCodeExtended right after the line
    bool interrupted = false;   // the link went away: the job waits for the recovery
  };
  // The job being sent: what was read, and what the register reported before and after.
  struct RunningJob {
    std::string path;
    bool delete_after = true;
    std::string base;
    CommandFileContent content;
    bool file_matches = true;  // the command file is still the version the journal names
    std::optional<ReceiptStatus> before;
    std::optional<JobPlan> plan;
    bool sent_receipt_line = false;
    bool cancel_tried = false;           // the job's receipt has had its cancel
    std::optional<ReceiptStatus> after;  // asked after a failing line
    std::string answers;                 // the lines' answers for the ".OK" (DumpAnswers)
    bool link_up = true;                 // the link was up when the job started
  };
  // How a job interrupted by a crash goes on.
  struct Resumption {
    enum class Kind { Resume, CancelAndRestart, Unknown } kind = Kind::Resume;
    std::int32_t row = 0;  // the row to send next, to restart from, or that is unknown
  };

  // job_processor.cpp
  LineResult SendLines(std::int32_t from_row);
  LineResult SendLine(std::int32_t row, const std::string& line);
  // One ";Dump=" line of text into the ".OK" of CurrentBase, after held_lines (whole lines
  // joined by CR LF, without the last line end).
  void WriteDump(const std::string& text, const std::string& held_lines = std::string());
  std::string Stamp(std::string_view pattern) const;
  std::string MessageFor(std::int32_t result_code) const;
  std::int32_t ReceiptNumber();
  std::optional<ReceiptStatus> AskReceiptStatus();
  // The result file: into the reserved space when there is some.
  bool WriteResultFile(const std::string& path, const std::string& content);
  void ShowHeldJob(const std::string& path);

  // job_start.cpp
  // refusal: the outcome of a file refused before anything of it is sent (code 0: none).
  bool StartJob(RunningJob job, const LineResult& refusal);
  static LineResult RefusalOf(const CommandFileContent& content);
  bool NoteSending(std::int32_t row, const std::string& line, RowRole role);
  void NoteAnswered(std::int32_t row, RowRole role);

  // job_failure.cpp
  LineResult JudgeFailure(LineResult failed);
  // False when the link went away before the receipt could be judged or cancelled.
  bool CancelJobReceipt();
  void LogCancel(std::int32_t code, std::int32_t extended);

  // job_finish.cpp
  bool LinkLost() const { return link_lost_ && link_lost_(); }
  // The link went away while this job was running (it was up at its start).
  bool LinkLostDuringJob() const { return job_ && job_->link_up && LinkLost(); }
  void EndOrSetAside(const LineResult& last);
  void SetAside(const LineResult& last);
  void FinishJob(const LineResult& last);
  void CompleteDecided(bool result_missing, bool file_still_there);
  bool RemoveReadVersion();
  void EndJob();

  // job_recovery.cpp
  std::optional<ReceiptStatus> ProbeReceiptStatus();
  void RecoverRunning(const ReceiptStatus& now);
  void RecoverDecided();
  void ReloadJob(const JobRecord& record);
  Resumption Decide(const ReceiptStatus& now) const;
  Resumption ResumeAt(std::int32_t row) const;
  void RestartAfterCancel(std::int32_t from_row, bool cancel_needed);
  void FinishUnknown(std::int32_t row);

  const ServerSettings& settings_;
  std::string log_name_;
  RegisterControl& control_;
  StatusDisplay& display_;
  DataDownload& data_;
  EventLoop& loop_;
  WallClock clock_;
  JobJournal& journal_;
  std::string current_base_;
  bool close_requested_ = false;
  bool recovery_pending_ = false;
  std::function<void()> on_stop_;
  std::function<bool()> link_lost_;
  AnswerDumps answers_;
  std::optional<RunningJob> job_;
  ReservedFile reservation_;
  bool result_written_ = false;
  std::string held_job_;  // the job last shown as unable to start
};

// The receipt number of a status answer: the number at the start of its characters 9 to 12,
// rounded to a 16-bit integer (0 when there is none or it does not fit).
std::int32_t ReceiptNumberOf(const std::string& answer);

}  // namespace velka::server
