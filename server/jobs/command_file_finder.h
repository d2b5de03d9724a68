#pragma once
// FindCommandFile: the next job waiting in DirectoryInput.
//
// The plain files of the folder are taken in the order in which the file system lists them;
// the first whose extension is "TXT" (any letter case) is the job. Two guards keep a job from
// being taken wrongly:
// - A file still being written by the point-of-sale program is not taken half-written: a file
//   is taken once it has been left alone for kSettleMs, judged by its modification time. A
//   file written longer ago than that (the usual case) is taken at once, with no delay; a
//   younger one is waited for, with events running, and looked at again; one that keeps
//   changing for kSettleLimitMs is left for the next tick. A file the folder watch saw renamed
//   in is whole at once (a rename is atomic) and is taken without waiting, as long as it is
//   still the version that arrived.
// - A file that was processed but could not be deleted is passed over for as long as it
//   stays as it was (same file, size, time and content), so its lines are never sent twice,
//   also across restarts (the job journal keeps it); when the point-of-sale program writes it
//   anew, it is a new job.
// Only regular files are jobs: a symbolic link is never followed, wherever it points.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/file_status.h"
#include "server/jobs/job_journal.h"

namespace velka::server {

inline constexpr Millis kSettleMs = 200;
inline constexpr Millis kSettleLimitMs = 10000;

class CommandFileFinder {
 public:
  // journal: where the kept files are; null: none are.
  explicit CommandFileFinder(EventLoop& loop, Millis settle_ms = kSettleMs,
                             JobJournal* journal = nullptr)
      : loop_(loop), settle_ms_(settle_ms), journal_(journal) {}

  // Clears the files left for the next tick; called at the start of each tick.
  void BeginTick() { deferred_.clear(); }

  // The full path of the next command file in folder (which ends with "/"), if any.
  std::optional<std::string> FindCommandFile(const std::string& folder);

  // Leaves the file for the next tick.
  void Defer(const std::string& path) { deferred_.push_back(path); }

  // The file was renamed into the folder just now: whole as it is, it need not settle. At
  // most kMaxMovedIn such files are remembered (the oldest is forgotten first; it then
  // settles as any other).
  void NoteMovedIn(const std::string& path);

  static constexpr std::size_t kMaxMovedIn = 4096;

 private:
  struct MovedIn {
    std::string path;
    FileIdentity identity;
  };
  bool WaitUntilSettled(const std::string& path);
  // The file is still the version that was renamed in; the note is used up either way.
  bool TakeMovedIn(const std::string& path, const FileIdentity& now);

  EventLoop& loop_;
  Millis settle_ms_;
  JobJournal* journal_;
  std::vector<std::string> deferred_;
  std::deque<MovedIn> moved_in_;
};

}  // namespace velka::server
