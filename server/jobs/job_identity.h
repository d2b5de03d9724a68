#pragma once
// What tells one version of a command file from another, also across a restart of the server:
// its path, size, modification time and a digest of its content.
//
// The digest is FNV-1a over the file's bytes (64 bits, platform/content_digest.h). It is not a
// security check: it only has to tell a file written anew (same name, perhaps the same size
// and, on a coarse clock, the same time stamp) from the one the journal names, and a change of
// a single byte changes it. Nobody gains anything by forging a job file to look like another.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_status.h"

namespace velka::server {

struct JobIdentity {
  std::string path;
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;
  std::uint64_t digest = 0;
  bool operator==(const JobIdentity&) const = default;
};

// The identity of a file whose version `file` holds `bytes` (all of them, or the first bytes
// of a file too large to read whole).
JobIdentity IdentityOfJob(const std::string& path, const FileIdentity& file,
                          std::string_view bytes);

}  // namespace velka::server
