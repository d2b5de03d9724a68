// ProcessCommandFile and the sending of a job's lines; the result file, the dump and the log
// line of the job protocol.
#include "server/jobs/job_processor.h"

#include <cmath>
#include <limits>

#include "automation/result_codes.h"
#include "platform/ascii_text.h"
#include "platform/numeric_text.h"
#include "server/jobs/data_download.h"
#include "server/jobs/job_files.h"
#include "server/jobs/register_control.h"
#include "server/jobs/server_settings.h"
#include "server/jobs/status_display.h"
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
                           EventLoop& loop, WallClock clock, JobJournal& journal)
    : settings_(settings),
      log_name_(std::move(log_name)),
      control_(control),
      display_(display),
      data_(data),
      loop_(loop),
      clock_(clock ? std::move(clock) : WallClock(CurrentLocalDateTime)),
      journal_(journal) {}

JobProcessor::~JobProcessor() = default;

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
  // One job at a time: the journal follows one job. A job asked for while another waits for
  // the register (the window holds its commands until then), or while the journal holds one
  // that the recovery has still to complete, is not started.
  if (job_ || recovery_pending_) {
    outcome.not_started = true;
    return outcome;
  }
  // The input folder's links are not followed: a link is not a job, wherever it points.
  if (delete_after && IsSymbolicLink(path)) return outcome;
  RunningJob job;
  job.path = path;
  job.delete_after = delete_after;
  job.base = BasePathOf(path);
  job.content = ReadCommandFile(path, {.follow_links = !delete_after});
  if (job.content.status == CommandFileContent::Status::Missing) return outcome;
  const bool readable = job.content.status != CommandFileContent::Status::Unreadable;
  const LineResult refusal = RefusalOf(job.content);
  if (!StartJob(std::move(job), refusal)) {
    if (!LinkLost()) ShowHeldJob(path);
    outcome.not_started = true;
    return outcome;
  }
  held_job_.clear();

  answers_.BeginJob();
  const LineResult last = refusal.code != result::Success ? refusal : SendLines(1);
  job_->answers = answers_.EndJob();
  data_.Close();
  const std::optional<FileIdentity> read_version = job_->content.file;
  EndOrSetAside(last);
  if (recovery_pending_) return outcome;  // set aside: its file waits for the recovery
  if (delete_after && !readable) outcome.kept = EntryIdentityOf(path);
  if (delete_after && readable && read_version && EntryIdentityOf(path) == read_version) {
    outcome.kept = read_version;
  }
  return outcome;
}

JobProcessor::LineResult JobProcessor::SendLines(std::int32_t from_row) {
  const std::vector<std::string>& lines = job_->content.lines;
  LineResult last;
  for (std::int32_t row = from_row; row <= static_cast<std::int32_t>(lines.size()); ++row) {
    const std::string& line = lines[static_cast<std::size_t>(row - 1)];
    last = {row, line, result::Success};
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
    const RowRole role = job_->plan->role(row);
    // A line whose outcome nobody could tell after a crash goes only once the journal says
    // so; when it cannot, the line is not sent.
    if (!NoteSending(row, line, role)) {
      last.code = kRefusedJob;
      break;
    }
    const LineClass kind = ClassOfLine(line);
    if (kind == LineClass::Receipt || kind == LineClass::Message) job_->sent_receipt_line = true;
    last = SendLine(row, line);
    if (last.code != result::Success && !LinkLostDuringJob()) last = JudgeFailure(last);
    if (last.code != result::Success) {
      last.interrupted = LinkLostDuringJob();
      break;
    }
    NoteAnswered(row, role);
  }
  return last;
}

JobProcessor::LineResult JobProcessor::SendLine(std::int32_t row, const std::string& line) {
  std::int32_t pData = settings_.DumpAnswers ? 1 : 0;  // 1: DirectIOEvent dumps the answer
  std::string pString = line;
  LineResult sent{row, line, control_.DirectIO(row, pData, pString)};
  if (sent.code == result::Extended) sent.extended = control_.ResultCodeExtended();
  return sent;
}

std::optional<ReceiptStatus> JobProcessor::AskReceiptStatus() {
  std::int32_t pData = 0;
  std::string request = kStatusRequest;
  std::string answer;
  if (control_.DirectIO2(0, pData, request, answer) != result::Success) return std::nullopt;
  return ParseReceiptStatus(answer);
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

void JobProcessor::WriteDump(const std::string& text, const std::string& held_lines) {
  if (current_base_.empty()) return;
  const std::string path = current_base_ + ".OK";
  std::string line = Stamp(kResultStamp) + ";Dump=" + text;
  if (!held_lines.empty()) line = held_lines + "\r\n" + line;
  if (!reservation_.held()) {
    AppendLineReplacing(path, line, kMaxResultFileBytes);
    return;
  }
  // The first line of a job's ".OK" goes into the space reserved for its result.
  FileRead kept = ReadRegularFile(path, static_cast<std::size_t>(kMaxResultFileBytes));
  std::string content = kept.status == FileReadStatus::Read ? std::move(kept.bytes) : "";
  WriteResultFile(path, content + line + "\r\n");
}

bool JobProcessor::WriteResultFile(const std::string& path, const std::string& content) {
  const bool durable = true;
  bool written = reservation_.held() && reservation_.commit(path, content, durable);
  if (!written) written = WriteFileReplacing(path, content, {.durable = durable});
  result_written_ = result_written_ || written;
  return written;
}

std::int32_t JobProcessor::ReceiptNumber() {
  std::int32_t pData = 0;
  std::string request = kStatusRequest;
  std::string answer;
  if (control_.DirectIO2(0, pData, request, answer) != result::Success) return 0;
  return ReceiptNumberOf(answer);
}

void JobProcessor::WriteJobResult(std::int32_t row, const std::string& line,
                                  std::int32_t result_code, const std::string& base_path,
                                  std::optional<std::int32_t> extended) {
  const std::string log = LogPath();
  const std::int64_t limit = LogLimitBytes(settings_.MaxLogDimension);
  const std::string stamp = Stamp(kResultStamp);
  if (result_code != result::Success) {
    const std::string failure = "Error=" + std::to_string(result_code) + ";" +
                                MessageFor(result_code) + ";Row " + std::to_string(row) + ";" +
                                line;
    auto extended_text = [&] {
      if (result_code != result::Extended) return std::string();
      return ";Err.Esteso=" + std::to_string(extended ? *extended : control_.ResultCodeExtended());
    };
    AppendLogLine(log, stamp + ";" + failure + extended_text(), limit);
    if (!TrimSpaces(base_path).empty()) {
      WriteResultFile(base_path + ".KO", failure + extended_text() + "\r\n");
    }
    return;
  }
  const std::int32_t number = ReceiptNumber();
  AppendLogLine(log, stamp + ";Ticket=" + std::to_string(number), limit);
  display_.ShowReceipt(Stamp(kReceiptTime), number);
}

// A job that cannot start is shown once and logged once, until another job starts.
void JobProcessor::ShowHeldJob(const std::string& path) {
  if (held_job_ == path) return;
  held_job_ = path;
  const std::string& reason = MessageText(settings_.LanguageOffset, msg::JobWaits);
  display_.ShowJobFailure(reason);
  AppendLogLine(LogPath(), Stamp(kResultStamp) + ";Waiting=" + FileNameOf(path) + ";" + reason,
                LogLimitBytes(settings_.MaxLogDimension));
}

}  // namespace velka::server
