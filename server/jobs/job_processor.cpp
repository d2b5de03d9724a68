#include "server/jobs/job_processor.h"

#include <cmath>
#include <limits>

#include "automation/result_codes.h"
#include "platform/ascii_text.h"
#include "platform/numeric_text.h"
#include "server/jobs/command_file.h"
#include "server/jobs/data_download.h"
#include "server/jobs/job_files.h"
#include "server/jobs/register_control.h"
#include "server/jobs/server_settings.h"
#include "server/jobs/status_display.h"
#include "server/jobs/wait_with_events.h"
#include "server/resources/message_table.h"

namespace velka::server {

namespace {

// A command file or line the server refuses to send.
constexpr std::int32_t kRefusedJob = result::NotAllowed;

constexpr char kUnsentStamp[] = "yyyymmddhhmm";
constexpr char kReceiptTime[] = "hh:mm:ss";

std::string LastCharacters(const std::string& text, std::size_t count) {
  return text.size() <= count ? text : text.substr(text.size() - count);
}

}  // namespace

std::int32_t ReceiptNumberOf(const std::string& answer) {
  if (answer.size() < 9) return 0;
  double number = RoundHalfEven(Val(std::string_view(answer).substr(8, 4)));
  if (std::isnan(number) || number < std::numeric_limits<std::int16_t>::min() ||
      number > std::numeric_limits<std::int16_t>::max()) {
    return 0;
  }
  return static_cast<std::int32_t>(number);
}

JobProcessor::JobProcessor(const ServerSettings& settings, std::string log_name,
                           RegisterControl& control, StatusDisplay& display, DataDownload& data,
                           EventLoop& loop, WallClock clock)
    : settings_(settings),
      log_name_(std::move(log_name)),
      control_(control),
      display_(display),
      data_(data),
      loop_(loop),
      clock_(clock ? std::move(clock) : WallClock(CurrentLocalDateTime)) {}

std::string JobProcessor::LogPath() const {
  return JobLogPath(settings_.DirectoryInput, log_name_);
}

std::string JobProcessor::UnsentCopyPath(const std::string& path) const {
  std::string copy = settings_.DirectoryOutput + Stamp(kUnsentStamp) + FileNameOf(path);
  if (SameFolder(settings_.DirectoryOutput, settings_.DirectoryInput)) copy += ".unsent";
  return copy;
}

std::string JobProcessor::Stamp(std::string_view pattern) const {
  return FormatDateTime(clock_(), pattern);
}

std::string JobProcessor::MessageFor(std::int32_t result_code) const {
  const std::string& text = MessageText(settings_.LanguageOffset, result_code);
  if (!TrimSpaces(text).empty()) return text;
  return MessageText(settings_.LanguageOffset, msg::GenericError);
}

JobOutcome JobProcessor::ProcessCommandFile(const std::string& path, bool delete_after) {
  JobOutcome outcome;
  CommandFileContent content = ReadCommandFile(path);
  if (content.status == CommandFileContent::Status::Missing) return outcome;
  const std::optional<FileIdentity> identity = IdentityOf(path);

  const std::string base = BasePathOf(path);
  // A job sent while another waits for the register (a document sent by the operator) hands
  // CurrentBase back when it ends, so that the other's results still go to its own files.
  const bool nested = answers_.holding();
  const std::string outer_base = current_base_;
  if (!base.empty()) {
    RemoveFile(base + ".OK");
    RemoveFile(base + ".KO");
  }
  current_base_ = base;

  LineResult last;
  answers_.BeginJob();
  if (content.status == CommandFileContent::Status::Read) {
    last = SendLines(content.lines);
  } else {
    last.code = kRefusedJob;
  }
  const std::string answers = answers_.EndJob();
  data_.Close();

  if (last.code != result::Success) {
    display_.ShowJobFailure(MessageText(settings_.LanguageOffset, last.code));
    CopyFileReplacing(path, UnsentCopyPath(path));
    display_.BringToFront();
  } else {
    if (!answers.empty() && !current_base_.empty()) {
      AppendLineReplacing(current_base_ + ".OK", answers, kMaxResultFileBytes);
    }
    WriteDump(ReadStatusTail());
  }

  if (delete_after) {
    const bool readable = content.status != CommandFileContent::Status::Unreadable;
    const bool gone = readable && RemoveFile(path);
    if (!gone && identity) outcome.kept = identity;
  }
  WriteJobResult(last.row, last.line, last.code, base);
  if (nested) current_base_ = outer_base;
  return outcome;
}

JobProcessor::LineResult JobProcessor::SendLines(const std::vector<std::string>& lines) {
  LineResult last;
  for (const std::string& line : lines) {
    ++last.row;
    last.line = line;
    if (line == kStopLine) {
      RequestClose();
      if (on_stop_) on_stop_();
      continue;
    }
    if (line.size() > kMaxCommandLineLength) {
      last.line.resize(kMaxCommandLineLength);
      last.code = kRefusedJob;
      break;
    }
    if (TrimSpaces(line).empty()) continue;
    last.code = SendLine(last.row, line);
    if (last.code != result::Success) break;
  }
  return last;
}

std::int32_t JobProcessor::SendLine(std::int32_t row, const std::string& line) {
  auto send = [&] {
    std::int32_t pData = settings_.DumpAnswers ? 1 : 0;  // 1: DirectIOEvent dumps the answer
    std::string pString = line;
    return control_.DirectIO(row, pData, pString);
  };
  auto cover_open = [&](std::int32_t code) {
    return code == result::Extended && control_.ResultCodeExtended() == extended::CoverOpen;
  };
  std::int32_t code = send();
  for (int retry = 0; retry < kCoverOpenRetries && !close_requested_ && cover_open(code); ++retry) {
    if (retry == 0) WriteJobResult(row, line, code, std::string());
    WaitWithEvents(loop_, kCoverOpenPauseMs);
    code = send();
  }
  return code;
}

std::string JobProcessor::ReadStatusTail() {
  std::int32_t pData = 0;
  std::string request = kStatusRequest;
  std::string answer;
  if (control_.DirectIO2(0, pData, request, answer) != result::Success) return {};
  return LastCharacters(answer, 4);
}

void JobProcessor::AppendDump(const std::string& text) {
  if (TrimSpaces(text).empty()) return;
  if (answers_.holding()) {
    if (!current_base_.empty()) answers_.Hold(Stamp(kResultStamp) + ";Dump=" + text);
    return;
  }
  WriteDump(text);
}

void JobProcessor::WriteDump(const std::string& text) {
  if (current_base_.empty()) return;
  AppendLineReplacing(current_base_ + ".OK", Stamp(kResultStamp) + ";Dump=" + text,
                      kMaxResultFileBytes);
}

std::int32_t JobProcessor::ReceiptNumber() {
  std::int32_t pData = 0;
  std::string request = kStatusRequest;
  std::string answer;
  if (control_.DirectIO2(0, pData, request, answer) != result::Success) return 0;
  return ReceiptNumberOf(answer);
}

void JobProcessor::WriteJobResult(std::int32_t row, const std::string& line,
                                  std::int32_t result_code, const std::string& base_path) {
  const std::string log = LogPath();
  const std::int64_t limit = LogLimitBytes(settings_.MaxLogDimension);
  const std::string stamp = Stamp(kResultStamp);
  if (result_code != result::Success) {
    const std::string failure = "Error=" + std::to_string(result_code) + ";" +
                                MessageFor(result_code) + ";Row " + std::to_string(row) + ";" +
                                line;
    auto extended_text = [&] {
      if (result_code != result::Extended) return std::string();
      return ";Err.Esteso=" + std::to_string(control_.ResultCodeExtended());
    };
    AppendLogLine(log, stamp + ";" + failure + extended_text(), limit);
    if (!TrimSpaces(base_path).empty()) {
      WriteFileReplacing(base_path + ".KO", failure + extended_text() + "\r\n");
    }
    return;
  }
  const std::int32_t number = ReceiptNumber();
  AppendLogLine(log, stamp + ";Ticket=" + std::to_string(number), limit);
  display_.ShowReceipt(Stamp(kReceiptTime), number);
}

}  // namespace velka::server
