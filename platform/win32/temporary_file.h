#pragma once
// The temporary file of a replacing write on Windows: made with CREATE_NEW beside its target
// and moved over it with MoveFileEx. Shared by the whole-file writes and the reserved file.
#include <string>

namespace velka::win32 {

// A new file beside path, "<path>.<process>_<n>.tmp", opened for writing (and reading, so a
// reservation can be taken over); INVALID_HANDLE_VALUE when none can be made. Names left by a
// crashed run are skipped, never opened.
void* CreateTemporaryBeside(const std::string& path, std::string& temporary);

// Closes the written temporary file and moves it over path; the temporary file is removed on
// any failure. durable: the file is flushed and the move written through.
bool PutInPlace(void* file, bool written, const std::string& temporary, const std::string& path,
                bool durable);

}  // namespace velka::win32
