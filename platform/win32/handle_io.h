#pragma once
// Whole writes on a file HANDLE.
#include <string_view>

namespace velka::win32 {

// Writes every byte; false when the file took fewer (a full disk).
bool WriteAll(void* handle, std::string_view bytes);

}  // namespace velka::win32
