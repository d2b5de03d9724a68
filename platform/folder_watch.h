#pragma once
// What the kernel says arrives in a folder: a file closed after writing, a file renamed into
// it, and the end of what it can tell: the folder removed or renamed away (the watch ends), or
// its queue of notices overflowed (what happened meanwhile is unknown). The job server watches
// its input folder with it beside the polling timer, so that a dropped job starts at once; the
// timer stays for what the kernel does not tell (a folder on a network share, lost notices, a
// folder that does not exist yet).
//
// On POSIX inotify. Windows has none yet: WatchFolder gives no watch there, and the polling
// timer serves (ReadDirectoryChangesW is the way to one).
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/native_handle.h"

namespace velka {

struct FolderChange {
  enum class Kind {
    Written,  // closed after writing: it may be written again
    MovedIn,  // renamed into the folder: whole as it arrived
  };
  Kind kind = Kind::Written;
  std::string name;  // the entry's name in the folder
};

struct FolderChanges {
  std::vector<FolderChange> files;
  bool overflowed = false;  // notices were lost: only a look at the whole folder tells
  bool ended = false;       // the folder is gone or was replaced: nothing more will come
};

// Files one take() hands over at most; more wait for the next call.
inline constexpr std::size_t kMaxFolderChanges = 1024;

class FolderWatch {
 public:
  virtual ~FolderWatch() = default;
  // Readable while notices wait, for the event loop to watch.
  virtual NativeHandle handle() const = 0;
  // The notices that wait, without blocking. The changes of sub-folders are left out.
  virtual FolderChanges take() = 0;
};

// Null when the folder cannot be watched (missing, not a folder, no watch left, or no way to
// watch on this system), with the reason in why when given.
std::unique_ptr<FolderWatch> WatchFolder(const std::string& folder, std::string* why = nullptr);

}  // namespace velka
