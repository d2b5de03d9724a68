#pragma once
// Files read and written whole, with the guarantees the job protocol and the settings files
// rely on:
// - A read never blocks (a FIFO or a device in a file's place is refused, not waited on) and
//   never takes more than the bound it is given.
// - A replacing write is never seen half-done: the content goes to a temporary file in the
//   same folder (its name ends in ".tmp", so it is never taken for a command file), which is
//   renamed over the old file. On failure the old file, if any, is left as it was.
// - A read-only file (nobody may write it) is not removed, as on the systems the point-of-sale
//   programs come from, where such a file resists deletion.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_status.h"

namespace velka {

enum class FileReadStatus {
  Read,        // bytes holds the whole file
  Missing,     // nothing has that name
  Unreadable,  // it is not a regular file, or it cannot be read
  TooLarge,    // it holds more than the bound; bytes holds the first bound bytes
};

struct FileRead {
  FileReadStatus status = FileReadStatus::Missing;
  std::string bytes;
  // The version of the file that was read (taken from the open file, so it is the one whose
  // bytes these are); nothing when it could not be opened.
  std::optional<FileIdentity> identity;
};

struct ReadOptions {
  // False: a symbolic link in the path's last place is not followed; it reads as Unreadable.
  bool follow_links = true;
};

// Reads a regular file of at most max_bytes.
FileRead ReadRegularFile(const std::string& path, std::size_t max_bytes, ReadOptions options = {});

struct ReplaceOptions {
  // On disk before the call returns: the file is flushed before the rename and its folder
  // after it, so that a crash or a power cut keeps either the old content or the new one.
  bool durable = false;
  // A link keeps pointing where it did (the file it names is replaced), the old file's
  // permissions carry over, and anything that is not a regular file is left alone (false).
  // Without it the new file takes the path's place, with the default permissions.
  bool keep_link_and_mode = false;
};

// Replaces the file's content at once. False when it could not be written.
bool WriteFileReplacing(const std::string& path, std::string_view content,
                        ReplaceOptions options = {});

// Copies a regular file over another (or to a new one), through a temporary file.
bool CopyFileReplacing(const std::string& from, const std::string& to);

// Writes bytes at the end of the file, creating it when missing; with empty_first the file
// is emptied before. False when not all could be written.
bool AppendToFile(const std::string& path, std::string_view bytes, bool empty_first);

// Removes a file that exists and is not read-only. True when the file is gone afterwards
// (also when it never existed).
bool RemoveFile(const std::string& path);

}  // namespace velka
