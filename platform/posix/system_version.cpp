// POSIX systems keep no version record of that kind.
#include "platform/system_version.h"

namespace velka {

std::optional<SystemVersion> ReadSystemVersion() {
  return std::nullopt;
}

}  // namespace velka
