#pragma once
// An exclusive lock on a file, held by this process until the object goes. The system drops
// it when the process ends, however it ends, so a crashed holder never blocks the next one.
#include <string>

#include "platform/native_handle.h"

namespace velka {

class ExclusiveLockFile {
 public:
  enum class Status {
    Acquired,
    HeldByAnother,  // someone else holds the lock
    Unavailable,    // the file cannot be created or locked (a read-only folder)
  };

  ExclusiveLockFile() = default;
  ~ExclusiveLockFile();
  ExclusiveLockFile(const ExclusiveLockFile&) = delete;
  ExclusiveLockFile& operator=(const ExclusiveLockFile&) = delete;

  // Creates the file when missing and takes the lock without waiting. Acquired at once when
  // this object holds it already.
  Status acquire(const std::string& path);

 private:
  NativeHandle handle_ = kNoHandle;
};

}  // namespace velka
