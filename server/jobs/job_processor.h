#pragma once
// The job protocol: one command file sent line by line through the control's DirectIO, and
// its outcome reported in a result file (".OK" or ".KO"), a line of the job log, the main
// window and, for a failure, an unsent copy in DirectoryOutput.
//
// What happens to files that misbehave:
// - A command file that is gone when it is read (another program took it), and an absent
//   start or stop file: nothing is sent and nothing is written.
// - A command file that exists but cannot be read, or is larger than kMaxCommandFileBytes:
//   the job fails before anything is sent (result 106 at row 0), with its ".KO" file and log
//   line. An unreadable file is not deleted, so that it is not lost; it is then not taken
//   again while it stays as it is.
// - A line longer than kMaxCommandLineLength fails the job at that row (result 106), without
//   being sent; the result file and the log show its first kMaxCommandLineLength characters.
// - A processed command file that cannot be deleted (read-only, or a folder that forbids it)
//   is never sent again while it stays as it is: JobOutcome tells the finder to pass it over.
// - A log that cannot be written loses that log line only; a result file that cannot be
//   written loses that file only (the log line is still written).
// - A data-download file that cannot be opened: see DataDownload.
// - With DirectoryOutput set to the input folder itself, an unsent copy gets the extension
//   ".unsent" added, so that it is kept there without being taken, and sent, as a new job.
// - A successful job whose receipt status request fails still gets its ".OK" file, with an
//   empty dump text, so the point-of-sale program always learns how its job ended.
//
// Cover left open: a line that fails because the printer cover is open (result 114 with
// ResultCodeExtended 201) is sent again after a pause of kCoverOpenPauseMs, with events
// running, up to kCoverOpenRetries times, and the first such failure of the line writes a log
// line. When the cover is closed in time the job goes on; otherwise, or when a shutdown has
// been asked for meanwhile, the line's last result is the job's.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/file_status.h"
#include "platform/local_time.h"
#include "server/jobs/answer_dumps.h"

namespace velka::server {

class RegisterControl;
class StatusDisplay;
class DataDownload;
struct ServerSettings;

inline constexpr Millis kCoverOpenPauseMs = 1000;
inline constexpr int kCoverOpenRetries = 60;

// The request whose answer gives the receipt number and the dump text.
inline constexpr char kStatusRequest[] = "<</?s";

// Results kept in a ".OK" file are read back at most this far when a line is appended.
inline constexpr std::int64_t kMaxResultFileBytes = 256 * 1024;

// What the finder needs to know after a polled job.
struct JobOutcome {
  // The command file was processed but is still there: pass it over while it is unchanged.
  std::optional<FileIdentity> kept;
};

class JobProcessor {
 public:
  // settings: the server's in-memory settings, read at each job (the settings dialog changes
  // them in place). log_name: the executable's name, which names the log.
  JobProcessor(const ServerSettings& settings, std::string log_name, RegisterControl& control,
               StatusDisplay& display, DataDownload& data, EventLoop& loop, WallClock clock);

  // Sends one command file and reports it; delete_after for polled files.
  JobOutcome ProcessCommandFile(const std::string& path, bool delete_after);

  // The last four characters of the receipt status answer; empty when the request fails.
  std::string ReadStatusTail();
  // Appends "dd/mm/yyyy hh:mm;Dump=" and the text to the ".OK" file of CurrentBase; nothing
  // when the text is blank or there is no current base path. While a job is being sent the
  // line is held until the job's end (answer_dumps.h).
  void AppendDump(const std::string& text);
  void WriteJobResult(std::int32_t row, const std::string& line, std::int32_t result_code,
                      const std::string& base_path);

  const std::string& CurrentBase() const { return current_base_; }
  std::string LogPath() const;
  // Where the unsent copy of a failed command file goes.
  std::string UnsentCopyPath(const std::string& path) const;

  // A "STOP" line was read, or RequestClose was called: the shutdown is wanted.
  bool closeRequested() const { return close_requested_; }
  void RequestClose() { close_requested_ = true; }
  // Called for each "STOP" line (the server forwards it to the window as a close request).
  void setOnStopLine(std::function<void()> on_stop) { on_stop_ = std::move(on_stop); }

 private:
  struct LineResult {
    std::int32_t row = 0;
    std::string line;
    std::int32_t code = 0;
  };
  LineResult SendLines(const std::vector<std::string>& lines);
  std::int32_t SendLine(std::int32_t row, const std::string& line);
  void WriteDump(const std::string& text);
  std::string Stamp(std::string_view pattern) const;
  std::string MessageFor(std::int32_t result_code) const;
  std::int32_t ReceiptNumber();

  const ServerSettings& settings_;
  std::string log_name_;
  RegisterControl& control_;
  StatusDisplay& display_;
  DataDownload& data_;
  EventLoop& loop_;
  WallClock clock_;
  std::string current_base_;
  bool close_requested_ = false;
  std::function<void()> on_stop_;
  AnswerDumps answers_;
};

// The receipt number of a status answer: the number at the start of its characters 9 to 12,
// rounded to a 16-bit integer (0 when there is none or it does not fit).
std::int32_t ReceiptNumberOf(const std::string& answer);

}  // namespace velka::server
