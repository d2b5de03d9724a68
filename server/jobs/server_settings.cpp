#include "server/jobs/server_settings.h"

#include <algorithm>
#include <cmath>

#include "platform/ascii_text.h"
#include "platform/folders.h"
#include "platform/ini_file.h"
#include "platform/numeric_text.h"
#include "server/jobs/answer_dumps.h"

namespace velka::server {

namespace {

std::int64_t RoundedProduct(std::string_view text, double factor, std::int64_t limit) {
  double value = RoundHalfEven(Val(text) * factor);
  if (std::isnan(value)) return 0;
  return static_cast<std::int64_t>(
      std::clamp(value, -static_cast<double>(limit), static_cast<double>(limit)));
}

std::string ReadKey(const std::string& path, std::string_view key, std::string_view fallback) {
  return GetProfileString(path, kSettingsSection, key, fallback);
}

// A folder key present but blank would make "/" the input folder, and every .txt file of the
// root folder would be sent to the register and deleted: a blank folder takes its default.
std::string ReadFolderKey(const std::string& path, std::string_view key,
                          const std::string& fallback, const std::string& program_folder) {
  std::string value = ReadKey(path, key, fallback);
  if (TrimSpaces(value).empty()) value = fallback;
  return AdjustFolder(value, program_folder);
}

}  // namespace

std::string SettingsPath(const std::string& program_folder) {
  return program_folder + "/" + std::string(kSettingsFileName);
}

std::string AdjustFolder(std::string value, const std::string& program_folder) {
  std::replace(value.begin(), value.end(), '\\', '/');
  // Absolute: from the root, or (on Windows) from a drive, "C:/...".
  const bool absolute =
      !value.empty() &&
      (value.front() == '/' || (value.size() >= 3 && value[1] == ':' && value[2] == '/'));
  if (!value.empty() && !absolute) value = program_folder + "/" + value;
  if (value.empty() || value.back() != '/') value += '/';
  return value;
}

int LanguageOffsetFor(std::string_view language) {
  return UpperAscii(language) == "ITALIANO" ? 0 : 1000;
}

bool HighSpeedSelected(std::string_view baud_rate) {
  return TrimSpaces(baud_rate) == "115200";
}

Millis PollingPeriodMs(std::string_view frequence) {
  // A period shorter than the shortest is taken as that; 0 and less still never poll.
  if (const double seconds = Val(frequence);
      seconds > 0 && seconds * 1000.0 < kMinPollingPeriodMs) {
    return kMinPollingPeriodMs;
  }
  return RoundedProduct(frequence, 1000.0, kMaxPollingPeriodMs);
}

std::int64_t LogLimitBytes(std::string_view max_log_dimension) {
  return RoundedProduct(max_log_dimension, 1024.0, kMaxLogLimitBytes);
}

bool CancelReceiptOnFailure(std::string_view value) {
  const std::optional<double> number = NumericTextValue(TrimSpaces(value));
  return !number || *number != 0;
}

Millis OperatorWaitMs(std::string_view minutes) {
  constexpr double kMinute = 60.0 * 1000.0;
  const Millis wait = RoundedProduct(minutes, kMinute, kMaxPollingPeriodMs);
  return wait > 0 ? wait : kDefaultOperatorWaitMinutes * static_cast<Millis>(kMinute);
}

ServerSettings ReadSettings(const std::string& program_folder) {
  const std::string path = SettingsPath(program_folder);
  ServerSettings s;
  s.DirectoryInput =
      ReadFolderKey(path, "DirectoryInput", program_folder + "/TOSEND", program_folder);
  s.DirectoryOutput =
      ReadFolderKey(path, "DirectoryOutput", program_folder + "/UNSENT", program_folder);
  s.Language = ReadKey(path, "Language", "Italiano");
  s.LanguageOffset = LanguageOffsetFor(s.Language);
  s.BaudRate = ReadKey(path, "BaudRate", "9600");
  s.Port = ReadKey(path, "Port", "1");
  s.Frequence = ReadKey(path, "Frequence", "5");
  s.MaxLogDimension = ReadKey(path, "MaxLogDimension", "128");
  s.DumpAnswers = DumpAnswersSelected(ReadKey(path, "DumpAnswers", "0"));
  s.DirectoryOutputData =
      ReadFolderKey(path, "DirectoryOutputData", program_folder + "/ODATA", program_folder);
  // Only the last level: a missing parent or no permission leaves the folder missing.
  CreateFolder(s.DirectoryOutput);
  CreateFolder(s.DirectoryInput);
  CreateFolder(s.DirectoryOutputData);
  s.DataFilePath = s.DirectoryOutputData + std::string(kDataFileName);
  s.CancelReceiptOnFailure = ReadKey(path, "CancelReceiptOnFailure", "1");
  s.OperatorWaitMinutes =
      ReadKey(path, "OperatorWaitMinutes", std::to_string(kDefaultOperatorWaitMinutes));
  return s;
}

}  // namespace velka::server
