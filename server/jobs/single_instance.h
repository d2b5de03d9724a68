#pragma once
// One running server per program folder: an exclusive lock on the file
// "VelkaDriverServer.lock" in the program folder, held for the life of the process. The
// system drops it when the process ends, however it ends, so a crashed server never blocks
// the next start.
#include <string>

#include "platform/exclusive_lock_file.h"

namespace velka::server {

inline constexpr char kLockFileName[] = "VelkaDriverServer.lock";

class SingleInstanceLock {
 public:
  // Acquired; HeldByAnother: another server runs on this program folder; Unavailable: the lock
  // file cannot be created (a read-only folder), so nothing is checked.
  using Status = ExclusiveLockFile::Status;

  Status Acquire(const std::string& program_folder);

 private:
  ExclusiveLockFile lock_;
};

}  // namespace velka::server
