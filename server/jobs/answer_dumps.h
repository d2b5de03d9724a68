#pragma once
// The answers of a job's lines, kept for its ".OK" file (TMVSERVER.INI DumpAnswers=1). The
// server then passes 1 as pData to DirectIO, and its DirectIOEvent handler hands each answer
// to AppendDump as one ";Dump=" line. While a job is being sent the lines are held here, not
// written: a ".OK" file that appeared after the first line would tell the point-of-sale
// program that the job had succeeded before it had ended, and a later failing line would
// leave it beside the ".KO". They go into the ".OK" when the job has succeeded, before the
// line of the receipt status, and are dropped when it fails.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velka::server {

// At most this much answer text is held for one job; later answers are not kept.
inline constexpr std::size_t kMaxHeldAnswerBytes = 256 * 1024;

// True for a DumpAnswers value that turns the answers on: a number other than 0, or "True"
// in any letter case.
bool DumpAnswersSelected(std::string_view value);

// Jobs may nest (a document sent by the operator while the control waits inside a job):
// each holds its own answers.
class AnswerDumps {
 public:
  // A job begins: its answers are held from now on.
  void BeginJob();
  bool holding() const { return !jobs_.empty(); }
  // Holds one result-file line (without its line end) for the innermost job.
  void Hold(const std::string& line);
  // The innermost job ended: its held lines joined by CR LF (empty when none).
  std::string EndJob();

 private:
  std::vector<std::string> jobs_;
};

}  // namespace velka::server
