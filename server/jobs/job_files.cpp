// Result-file lines, the job log and file names, on the platform's whole-file operations.
#include "server/jobs/job_files.h"

#include <algorithm>

namespace velka::server {

bool AppendLineReplacing(const std::string& path, std::string_view line,
                         std::int64_t max_kept_bytes) {
  FileRead kept =
      ReadRegularFile(path, static_cast<std::size_t>(std::max<std::int64_t>(0, max_kept_bytes)));
  std::string content = kept.status == FileReadStatus::Read ? std::move(kept.bytes) : "";
  content.append(line);
  content.append("\r\n");
  return WriteFileReplacing(path, content);
}

bool AppendLogLine(const std::string& path, std::string_view line, std::int64_t limit_bytes) {
  std::string text(line);
  text.append("\r\n");
  return AppendToFile(path, text, FileSize(path) > limit_bytes);
}

std::string JobLogPath(const std::string& input_folder, const std::string& log_name) {
  return input_folder + log_name + ".LOG";
}

std::string FileNameOf(const std::string& path) {
  return path.substr(path.rfind('/') + 1);
}

}  // namespace velka::server
