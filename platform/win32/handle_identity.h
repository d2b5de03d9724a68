#pragma once
// The identity of an open file, from its handle: the same version the handle reads or writes.
#include <optional>

#include "platform/file_status.h"

namespace velka::win32 {

// Nothing for a folder or when the system cannot tell.
std::optional<FileIdentity> IdentityOfHandle(void* file);

// Opens a path for reading its attributes without following a link in its last place
// (FILE_FLAG_OPEN_REPARSE_POINT); INVALID_HANDLE_VALUE when it cannot be opened.
void* OpenEntryForInformation(const std::string& path);

// The handle names a link (a reparse point) rather than a file.
bool IsLinkHandle(void* file);

}  // namespace velka::win32
