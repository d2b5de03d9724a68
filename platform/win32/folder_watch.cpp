// No folder watch on Windows yet: the job server's polling timer finds every job. The way to
// one is ReadDirectoryChangesW on the folder, with an overlapped read whose event the message
// loop waits on.
#include "platform/folder_watch.h"

namespace velka {

std::unique_ptr<FolderWatch> WatchFolder(const std::string& /*folder*/, std::string* why) {
  if (why) *why = "no folder watch on this system: the polling timer serves";
  return nullptr;
}

}  // namespace velka
