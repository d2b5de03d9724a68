#pragma once
// The identity of a regular file from what stat(2) or fstat(2) reported: the helper shared by
// the POSIX file status and the whole-file reads.
#include <sys/stat.h>

#include <optional>

#include "platform/file_status.h"

namespace velka {

// Nothing when the status is not that of a regular file.
std::optional<FileIdentity> IdentityOfStatus(const struct stat& info);

}  // namespace velka
