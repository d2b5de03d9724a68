// The input folder watched beside tmrFile: a command file closed after writing or renamed in
// asks for a tick (job_server.h).
#include "server/jobs/command_file.h"
#include "server/jobs/job_server.h"

namespace velka::server {

// Set up at the start, at each tick (the folder may have appeared, or the watch ended), and
// after "Configure..." (the folder may have changed); not with a polling period of 0.
void JobServer::WatchInputFolder() {
  const std::string& folder = settings_.DirectoryInput;
  if (!running_ || tmr_file_->interval() <= 0) {
    StopWatchingFolder();
    return;
  }
  if (folder_watch_ && watched_folder_ == folder) return;
  StopWatchingFolder();
  folder_watch_ = env_.watch_folder ? env_.watch_folder(folder) : WatchFolder(folder);
  if (!folder_watch_) return;  // tmrFile finds the jobs; tried again at the next tick
  watched_folder_ = folder;
  folder_notices_ =
      env_.loop->watchReadable(folder_watch_->handle(), [this] { OnFolderChanges(); });
}

void JobServer::StopWatchingFolder() {
  folder_notices_.reset();
  folder_watch_.reset();
  watched_folder_.clear();
}

void JobServer::OnFolderChanges() {
  if (TakeFolderNotices()) RequestTickSoon();
}

// A file renamed in is whole: the finder takes it without waiting for it to settle. Lost
// notices ask for a look at the whole folder; a watch that ended is set up again at a tick.
bool JobServer::TakeFolderNotices() {
  if (!folder_watch_) return false;
  const FolderChanges changes = folder_watch_->take();
  bool arrived = changes.overflowed;
  for (const FolderChange& change : changes.files) {
    if (!IsCommandFileName(change.name)) continue;
    arrived = true;
    if (change.kind == FolderChange::Kind::MovedIn) {
      finder_.NoteMovedIn(watched_folder_ + change.name);
    }
  }
  if (changes.ended) StopWatchingFolder();  // its own watch, destroyed from its callback
  return arrived;
}

}  // namespace velka::server
