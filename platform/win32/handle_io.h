#pragma once
// Whole writes on a file HANDLE, and regular files opened for writing without following a link:
// the helpers the Win32 file operations share.
#include <string>
#include <string_view>

namespace velka::win32 {

// Writes every byte; false when the file took fewer (a full disk).
bool WriteAll(void* handle, std::string_view bytes);

// A file on a disk opened for reading and writing, never following a link in its last place;
// INVALID_HANDLE_VALUE when it cannot be opened or is a link, a pipe or a device.
// `share` and `disposition` are CreateFileW's.
void* OpenRegularForWriting(const std::string& path, unsigned long share,
                            unsigned long disposition);

}  // namespace velka::win32
