#pragma once
// The file operations of the job protocol built on the system's own (platform/whole_file.h,
// platform/file_status.h, whose guarantees they keep): a line added to a result file, the job
// log with its size limit, and a path's file name.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_status.h"
#include "platform/whole_file.h"

namespace velka::server {

// Appends one line (CR LF added) by rewriting the file. An existing file larger than
// max_kept_bytes is not read back: the new line then starts the file afresh.
bool AppendLineReplacing(const std::string& path, std::string_view line,
                         std::int64_t max_kept_bytes);

// Appends one line (CR LF added) to a log file; when the file is larger than limit_bytes
// before the line is written, it is emptied first.
bool AppendLogLine(const std::string& path, std::string_view line, std::int64_t limit_bytes);

// The time stamp of result files and log lines.
inline constexpr char kResultStamp[] = "dd/mm/yyyy hh:mm";

// The job log: <log_name>.LOG in the input folder (which ends with "/").
std::string JobLogPath(const std::string& input_folder, const std::string& log_name);

// The last path component.
std::string FileNameOf(const std::string& path);

}  // namespace velka::server
