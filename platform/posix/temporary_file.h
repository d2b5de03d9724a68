#pragma once
// The temporary file of a replacing write on POSIX: made beside its target with O_EXCL, and put
// in the target's place with rename(2). Shared by the whole-file writes and the reserved file.
#include <string>

namespace velka {

// The folder part of a path ("." when it has none).
std::string FolderOf(const std::string& path);

// A new file beside path, "<path>.<process>_<n>.tmp", opened for writing; its descriptor, or
// -1. Names left by a crashed run are skipped, never opened.
int CreateTemporaryBeside(const std::string& path, std::string& temporary);

// Closes the written temporary file and renames it over path; the temporary file is removed
// on any failure. durable: the file is flushed before the rename and the folder after it.
bool PutInPlace(int fd, bool written, const std::string& temporary, const std::string& path,
                bool durable);

}  // namespace velka
