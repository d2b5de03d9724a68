#include "server/jobs/answer_dumps.h"

#include "platform/ascii_text.h"
#include "platform/numeric_text.h"

namespace velka::server {

bool DumpAnswersSelected(std::string_view value) {
  const std::string_view trimmed = TrimSpacesAndTabs(value);
  return UpperAscii(trimmed) == "TRUE" || Val(trimmed) != 0;
}

void AnswerDumps::BeginJob() {
  jobs_.emplace_back();
}

void AnswerDumps::Hold(const std::string& line) {
  if (jobs_.empty()) return;
  std::string& lines = jobs_.back();
  if (lines.size() + line.size() + 2 > kMaxHeldAnswerBytes) return;
  if (!lines.empty()) lines += "\r\n";
  lines += line;
}

std::string AnswerDumps::EndJob() {
  if (jobs_.empty()) return {};
  std::string held = std::move(jobs_.back());
  jobs_.pop_back();
  return held;
}

}  // namespace velka::server
