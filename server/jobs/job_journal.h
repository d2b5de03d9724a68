#pragma once
// The job journal: one small text file in the program folder (<log name>.journal, one
// key=value a line, readable by an operator) that says which job is in progress and how far it
// has gone, so that a server started after a crash finishes that job instead of sending it
// again from its first line. It also remembers the processed command files that could not be
// deleted, so that they are never sent twice, also across restarts.
//
// Every write replaces the whole file at once (a temporary file renamed over it), durably (file
// and folder flushed) where a power cut must not lose it: when a job starts, around each line
// whose outcome the register cannot show afterwards, when a job's outcome is decided; cheaply
// (no flush) for what can be done again (a job finished, the kept files, the clean shutdown).
// After every other line only the progress is written: the last row answered, in a record of
// its own (<journal>.progress) rewritten in place (platform/overwritten_file.h), which costs
// microseconds where a replacing write costs a millisecond or more. The progress belongs to one
// version of the journal (its generation, counted up at every replacing write) and counts only
// while it reads back whole. So after the server is killed the journal names exactly the last
// line answered; after a power cut it may name an earlier line, never a later one, and never
// one whose outcome recovery could not see.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_status.h"
#include "platform/overwritten_file.h"
#include "server/jobs/job_identity.h"

namespace velka::server {

// The job in progress.
struct JobRecord {
  enum class Stage {
    Running,  // lines are being sent
    Decided,  // the outcome below is final; the result file, deletion and log line follow
  };
  Stage stage = Stage::Running;
  JobIdentity job;
  bool delete_after = true;
  std::string base;         // the base path of its result files; empty: none are written
  std::string reservation;  // the file holding the space of its result
  // The answer to "<</?s" before its first line; empty when not asked or not had.
  std::string status_before;
  std::int32_t last_row = 0;   // the last row to be sent
  std::int32_t answered = 0;   // the last row known answered
  std::int32_t in_flight = 0;  // a row sent whose outcome the register cannot show; 0: none
  std::string next_line;       // the text of row answered + 1, for a result without the file
  // A cancel of the job's open receipt was sent by the recovery, which then sends the job again
  // from restart_row: the receipt number has advanced for the cancel, not for a sale.
  bool cancelling = false;
  std::int32_t restart_row = 0;
  // Decided:
  std::int32_t code = 0;
  std::int32_t row = 0;
  std::int32_t extended = 0;  // ResultCodeExtended of a 114
  std::string line;
};

// A processed command file still in the input folder, passed over while it stays as it is.
struct KeptFile {
  JobIdentity identity;
  // The file's status when it was last found unchanged (not written to the journal): while
  // that holds, the file need not be read again to compare its digest.
  std::optional<FileIdentity> seen;
};

struct JournalState {
  std::optional<JobRecord> job;
  std::vector<KeptFile> kept;
  // The server that wrote it last ended with its normal shutdown.
  bool clean = true;
  // Counted up at every replacing write: a progress record of another generation is stale.
  std::uint64_t generation = 0;
};

// The journal's text, and back. Unknown keys are skipped; a job without its path counts as
// none; values are kept whatever bytes they hold (CR, LF and "%" written as %0D, %0A, %25).
std::string FormatJournal(const JournalState& state);
JournalState ParseJournal(std::string_view text);

enum class JournalWrite { Cheap, Durable };

class JobJournal {
 public:
  explicit JobJournal(std::string path) : path_(std::move(path)) {}

  // Reads the file; a missing file is an empty journal of a clean shutdown. False (and the
  // journal empty) when it exists but cannot be read.
  bool Load();
  // Writes the state; false when the file cannot be written (it then keeps its last content).
  bool Write(JournalWrite strength);
  // Notes that the job in progress has had row answered (in memory and in the progress record).
  bool WriteProgress(std::int32_t answered);

  JournalState& state() { return state_; }
  const JournalState& state() const { return state_; }
  const std::string& path() const { return path_; }

  // Kept files. A file is passed over while it is the version kept; a kept file that has
  // changed or gone is forgotten (and the journal written cheaply).
  void Keep(const JobIdentity& identity, const FileIdentity& seen);
  bool IsKept(const std::string& path);
  void ForgetChangedKept();

 private:
  bool StillKept(KeptFile& kept);

  std::string ProgressPath() const { return path_ + ".progress"; }
  void TakeProgress();

  std::string path_;
  JournalState state_;
  OverwrittenFile progress_;
};

}  // namespace velka::server
