#pragma once
// The file operations of the job protocol, with the guarantees the point-of-sale programs
// rely on.
//
// - A result file is never seen half-written: it is written under a temporary name in the
//   same folder (the name ends in ".tmp", so it is never taken for a command file) and renamed
//   into place; an append rewrites the file the same way.
// - A read-only file (no write permission for anyone) is not deleted, as on the systems the
//   point-of-sale programs come from, where such a file resists deletion.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velka::server {

// What tells one version of a file from another: a file rewritten, replaced or touched gets
// a new identity.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;
  std::int64_t changed_ns = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of a regular file (symbolic links followed); nothing for anything else.
std::optional<FileIdentity> IdentityOf(const std::string& path);

bool IsRegularFile(const std::string& path);
// Both paths name one existing folder (links and different spellings included).
bool SameFolder(const std::string& a, const std::string& b);
bool IsFolder(const std::string& path);
bool IsReadOnly(const std::string& path);
// Size in bytes, or -1 when the file cannot be examined.
std::int64_t FileSize(const std::string& path);

// Deletes a file that exists and is not read-only. True when the file is gone afterwards
// (also when it never existed).
bool DeleteFile(const std::string& path);

// Replaces the file's content at once (temporary file, then rename). False when it could not
// be written; the old file, if any, is then left as it was.
bool WriteFileReplacing(const std::string& path, std::string_view content);

// Appends one line (CR LF added) by rewriting the file. An existing file larger than
// max_kept_bytes is not read back: the new line then starts the file afresh.
bool AppendLineReplacing(const std::string& path, std::string_view line,
                         std::int64_t max_kept_bytes);

// Copies a file over an existing one, through a temporary file.
bool CopyFileReplacing(const std::string& from, const std::string& to);

// Appends one line (CR LF added) to a log file; when the file is larger than limit_bytes
// before the line is written, it is emptied first.
bool AppendLogLine(const std::string& path, std::string_view line, std::int64_t limit_bytes);

// The last path component.
std::string FileNameOf(const std::string& path);

}  // namespace velka::server
