// POSIX systems keep no class registrations of their own.
#include "platform/system_class_registry.h"

namespace velka {

std::optional<SystemClassRegistration> FindSystemClassRegistration(const std::string&) {
  return std::nullopt;
}

}  // namespace velka
