#pragma once
// Whole buffers written to a descriptor through short counts and signals: the helper the
// POSIX file operations share.
#include <string_view>

namespace velka {

// False when the descriptor takes no more (a full disk, an error).
bool WriteAll(int fd, std::string_view bytes);

}  // namespace velka
