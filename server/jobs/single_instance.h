#pragma once
// One running server per program folder: an exclusive lock (flock) on the file
// "VelkaDriverServer.lock" in the program folder, held for the life of the process. The
// kernel drops it when the process ends, however it ends, so a crashed server never blocks
// the next start.
#include <string>

namespace velka::server {

inline constexpr char kLockFileName[] = "VelkaDriverServer.lock";

class SingleInstanceLock {
 public:
  enum class Status {
    Acquired,
    HeldByAnother,  // another server runs on this program folder
    Unavailable,    // the lock file cannot be created (a read-only folder): not checked
  };

  SingleInstanceLock() = default;
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  Status Acquire(const std::string& program_folder);

 private:
  int fd_ = -1;
};

}  // namespace velka::server
