#pragma once
// Whole buffers written to a descriptor through short counts and signals, and regular files
// opened for writing without following a link: the helpers the POSIX file operations share.
#include <sys/types.h>

#include <string>
#include <string_view>

namespace velka {

// False when the descriptor takes no more (a full disk, an error).
bool WriteAll(int fd, std::string_view bytes);
// The same, at an offset of the file (pwrite), leaving the descriptor's position alone.
bool WriteAllAt(int fd, std::string_view bytes, off_t offset);

// A regular file opened for writing (O_WRONLY with the flags given, never following a link in
// its last place); -1 when it cannot be opened or is not a regular file.
int OpenRegularForWriting(const std::string& path, int flags);

}  // namespace velka
