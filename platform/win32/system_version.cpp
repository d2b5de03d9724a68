// The version record of GetVersionExA (the record of 148 bytes). A program without a manifest
// naming later systems is told 6.2 by Windows 8 and every later version.
#include "platform/system_version.h"

#include <windows.h>

namespace velka {

std::optional<SystemVersion> ReadSystemVersion() {
  OSVERSIONINFOA record{};
  record.dwOSVersionInfoSize = sizeof record;
  SystemVersion version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExA(&record)) return version;
#pragma GCC diagnostic pop
  version.platform_id = record.dwPlatformId;
  version.major = record.dwMajorVersion;
  version.minor = record.dwMinorVersion;
  version.build = record.dwBuildNumber;
  return version;
}

}  // namespace velka
