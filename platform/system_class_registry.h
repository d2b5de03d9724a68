#pragma once
// Registrations of automation classes that the system keeps itself: the registry's classes
// root on Windows, where regsvr32 writes them. POSIX keeps none; there the activation's own
// registration files serve (automation/activation/registration_record.h).
#include <optional>
#include <string>

namespace velka {

struct SystemClassRegistration {
  std::string class_id;      // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
  std::string library_path;  // the in-process server's file
};

// Nothing when the system keeps no registration of the programmatic identifier.
std::optional<SystemClassRegistration> FindSystemClassRegistration(const std::string& prog_id);

}  // namespace velka
