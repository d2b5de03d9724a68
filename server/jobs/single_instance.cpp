// The single-instance lock of the program folder.
#include "server/jobs/single_instance.h"

namespace velka::server {

SingleInstanceLock::Status SingleInstanceLock::Acquire(const std::string& program_folder) {
  return lock_.acquire(program_folder + "/" + kLockFileName);
}

}  // namespace velka::server
