#pragma once
// The operating system's version record, where the system keeps one: its platform, major and
// minor version and build number, as the control's trace chooses its folder by them.
#include <cstdint>
#include <optional>

namespace velka {

struct SystemVersion {
  std::uint32_t platform_id = 0;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
};

// Windows: the record of GetVersionExA (all zero when the call fails). Nothing on systems
// without such a record.
std::optional<SystemVersion> ReadSystemVersion();

}  // namespace velka
