// Any command file to the job server's reading of it, and any path to the rule that names
// its result files: no crash; lines hold every byte of the file but the line ends, and the
// file read from disk gives the lines its text gives (converted from UTF-8 when it begins with
// the byte-order mark); a frame-breaking byte is found at its row; a base path is a prefix of
// the path cut at ".TXT" in the file name; a receipt number from any status answer fits its
// field, and a receipt status is read only from twelve digits. The same text read as a job
// journal gives a journal that reads back the same after it is written.
//
// Input: the path (one line), then the file's text.
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "platform/ascii_text.h"
#include "server/jobs/command_file.h"
#include "server/jobs/job_files.h"
#include "server/jobs/job_journal.h"
#include "server/jobs/job_processor.h"
#include "server/jobs/receipt_status.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

using namespace velka;
using namespace velka::server;
using fuzz::Require;

const std::string& ScratchFile() {
  static const fuzz::ScratchFolder folder("velka-job-fuzz");
  static const std::string path = folder.file("Job.txt");
  return path;
}

void CheckBasePath(const std::string& path) {
  const std::string base = BasePathOf(path);
  const std::size_t slash = path.rfind('/');
  const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  if (base.empty()) {
    // Only a path without ".TXT" in its file name, or one that starts with it, has no base.
    const std::size_t found = UpperAscii(path).find(".TXT", name_start);
    Require(found == std::string::npos || found == 0);
    return;
  }
  Require(path.compare(0, base.size(), base) == 0);
  Require(UpperAscii(path.substr(base.size(), 4)) == ".TXT");
  Require(base.size() >= name_start);  // cut inside the file name, never in a folder's
  Require(UpperAscii(path.substr(name_start, base.size() - name_start)).find(".TXT") ==
          std::string::npos);  // at the first ".TXT"
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::string path = input.takeField(512);
  const std::string text(input.restText());

  CheckBasePath(path);
  if (IsCommandFileName(FileNameOf(path)))
    Require(UpperAscii(path).find(".TXT") != std::string::npos);

  const std::vector<std::string> lines = SplitCommandLines(text);
  std::string joined, without_ends;
  for (const std::string& line : lines) {
    Require(line.find_first_of("\r\n") == std::string::npos);
    joined += line;
  }
  std::size_t ends = 0;
  for (const char c : text) {
    if (c == '\r' || c == '\n') {
      ++ends;
    } else {
      without_ends.push_back(c);
    }
  }
  Require(joined == without_ends);
  Require(lines.size() <= ends + 1);

  {
    std::ofstream out(ScratchFile(), std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  const CommandFileContent content = ReadCommandFile(ScratchFile());
  Require(content.status == CommandFileContent::Status::Read);
  Require(content.lines == SplitCommandLines(CommandFileText(text)));
  if (!text.starts_with("\xEF\xBB\xBF")) Require(content.lines == lines);
  const std::int32_t breaking = FirstFrameBreakingRow(content.lines);
  for (std::int32_t row = 1; row <= static_cast<std::int32_t>(content.lines.size()); ++row) {
    const std::string& line = content.lines[static_cast<std::size_t>(row - 1)];
    const bool breaks = std::any_of(line.begin(), line.end(), BreaksFrame);
    Require(row < breaking ? !breaks : row == breaking ? breaks : true);
  }
  if (breaking == 0) {
    for (const std::string& line : content.lines) {
      Require(std::none_of(line.begin(), line.end(), BreaksFrame));
    }
  }

  if (const std::optional<ReceiptStatus> status = ParseReceiptStatus(text)) {
    Require(text.size() >= 12 && status->number >= 0 && status->number <= 9999);
  }
  const JournalState journal = ParseJournal(text);
  const std::string written = FormatJournal(journal);
  Require(FormatJournal(ParseJournal(written)) == written);

  // The receipt number of a job's status answer is its characters 9 to 12.
  const std::int32_t number = ReceiptNumberOf(text);
  Require(number >= std::numeric_limits<std::int16_t>::min() &&
          number <= std::numeric_limits<std::int16_t>::max());
  return 0;
}
