#pragma once
// What a path names: one version of a regular file told from another, its kind and size,
// whether anyone may write it, and how long ago it was last written. Links are followed,
// except by the two functions that say they are not.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/monotonic_clock.h"

namespace velka {

// What tells one version of a file from another: a file rewritten, replaced or touched gets
// a new identity.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;  // wall-clock nanoseconds since 1970 (UTC)
  std::int64_t changed_ns = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of a regular file; nothing for anything else.
std::optional<FileIdentity> IdentityOf(const std::string& path);
// The identity of a regular file that the path names itself: nothing for a symbolic link
// (wherever it points) and for anything that is not a regular file.
std::optional<FileIdentity> EntryIdentityOf(const std::string& path);
// The path is a symbolic link (which is not followed).
bool IsSymbolicLink(const std::string& path);

bool IsRegularFile(const std::string& path);
bool IsFolder(const std::string& path);
// Both paths name one existing folder (links and different spellings included).
bool SameFolder(const std::string& a, const std::string& b);
// The file exists and nobody may write it.
bool IsReadOnly(const std::string& path);
// Size in bytes, or -1 when the file cannot be examined.
std::int64_t FileSize(const std::string& path);

// Milliseconds since the file was last modified, by the wall clock the file system uses;
// negative when its time stamp lies in the future (a clock set back).
Millis MillisSinceModified(const FileIdentity& identity);

}  // namespace velka
