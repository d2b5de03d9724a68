// Finding the next job in the input folder, settled and not passed over.
#include "server/jobs/command_file_finder.h"

#include <algorithm>

#include "platform/folders.h"
#include "server/jobs/command_file.h"
#include "server/jobs/wait_with_events.h"

namespace velka::server {

std::optional<std::string> CommandFileFinder::FindCommandFile(const std::string& folder) {
  if (journal_) journal_->ForgetChangedKept();
  for (const std::string& name : ListFolder(folder)) {
    if (!IsCommandFileName(name)) continue;
    const std::string path = folder + name;
    if (!EntryIdentityOf(path) || (journal_ && journal_->IsKept(path))) continue;
    if (std::find(deferred_.begin(), deferred_.end(), path) != deferred_.end()) continue;
    if (WaitUntilSettled(path)) return path;
    deferred_.push_back(path);
  }
  return std::nullopt;
}

void CommandFileFinder::NoteMovedIn(const std::string& path) {
  const std::optional<FileIdentity> identity = EntryIdentityOf(path);
  if (!identity) return;
  std::erase_if(moved_in_, [&](const MovedIn& m) { return m.path == path; });
  if (moved_in_.size() >= kMaxMovedIn) moved_in_.pop_front();
  moved_in_.push_back({path, *identity});
}

bool CommandFileFinder::TakeMovedIn(const std::string& path, const FileIdentity& now) {
  const auto it = std::find_if(moved_in_.begin(), moved_in_.end(),
                               [&](const MovedIn& m) { return m.path == path; });
  if (it == moved_in_.end()) return false;
  const bool same = it->identity == now;
  moved_in_.erase(it);
  return same;
}

bool CommandFileFinder::WaitUntilSettled(const std::string& path) {
  std::optional<FileIdentity> seen = EntryIdentityOf(path);
  if (seen && TakeMovedIn(path, *seen)) return true;
  Millis waited = 0;
  while (seen) {
    const Millis quiet = MillisSinceModified(*seen);
    if (quiet >= settle_ms_) return true;
    if (waited >= kSettleLimitMs) return false;
    // A time stamp in the future (a clock set back): wait a whole interval and compare.
    const Millis pause = quiet < 0 ? settle_ms_ : settle_ms_ - quiet;
    WaitWithEvents(loop_, pause);
    waited += pause;
    std::optional<FileIdentity> now = EntryIdentityOf(path);
    if (quiet < 0 && now == seen) return true;
    seen = now;
  }
  return false;
}

}  // namespace velka::server
