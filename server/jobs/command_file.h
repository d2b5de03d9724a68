#pragma once
// Command files: which files are jobs, the base path their result files are named from, and
// reading their lines.
//
// A command file is single-byte text, one register command a line. Lines end in CR LF; a
// lone LF or a lone CR ends a line too (files written by programs of this system). A file that
// begins with the UTF-8 byte-order mark is UTF-8 text (as many editors save it) and is turned
// into the single-byte text first; any other file is taken byte for byte. A file is read whole
// before its first line is sent, within limits: a larger file, or a longer line, fails the
// job clearly instead of being sent in part, and so does a line holding a byte that would
// break the frame around it on the line to the register.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/whole_file.h"
#include "server/jobs/job_identity.h"

namespace velka::server {

// Far above any real job (a receipt is a few dozen short lines; a register command is at
// most 999 characters).
inline constexpr std::int64_t kMaxCommandFileBytes = 1024 * 1024;
inline constexpr std::size_t kMaxCommandLineLength = 4096;

// A line exactly "STOP" asks for the shutdown; it is not sent.
inline constexpr std::string_view kStopLine = "STOP";

// The file name's extension, compared in upper case, is "TXT".
bool IsCommandFileName(std::string_view name);

// The path up to the first ".TXT" (compared in upper case) of its file name, in the letter
// case given; empty when the path holds none, or when it starts the path. Only the file name
// is searched, so a folder whose name holds ".txt" does not cut the path short.
std::string BasePathOf(const std::string& path);

// The lines of a command file's text.
std::vector<std::string> SplitCommandLines(std::string_view text);

// The single-byte text of a file's bytes: UTF-8 converted (a character without a single-byte
// code becomes "?") when they begin with the byte-order mark, which is dropped; else as they are.
std::string CommandFileText(std::string_view bytes);

// A byte that a line must not hold: NUL, STX, ETX, ACK or NACK would end, restart or answer
// the frame that carries the line. (CR and LF never reach a line: they end it.)
bool BreaksFrame(char byte);
// The row (from 1) of the first line holding such a byte; 0 when none does.
std::int32_t FirstFrameBreakingRow(const std::vector<std::string>& lines);

struct CommandFileContent {
  // Read: lines holds the file's lines. Missing: the file is gone (taken or deleted by someone
  // else). Unreadable: it exists but is not a regular file or cannot be read (or it is a
  // symbolic link, when links are not followed). TooLarge: it is larger than
  // kMaxCommandFileBytes.
  using Status = FileReadStatus;
  Status status = Status::Missing;
  std::vector<std::string> lines;
  // The bytes read (the first kMaxCommandFileBytes of a file too large) and the version of
  // the file they come from: what an unsent copy holds, and what a finished job may delete.
  std::string bytes;
  std::optional<JobIdentity> identity;
  std::optional<FileIdentity> file;
};

// Reads a command file without ever blocking (a pipe named like a job is refused).
CommandFileContent ReadCommandFile(const std::string& path, ReadOptions options = {});

}  // namespace velka::server
