#pragma once
// The server's settings, read from TMVSERVER.INI (section "Parameters") in the program
// folder, and the values derived from them.
//
// Folder settings end with "/" on this system: "/" is appended when a value lacks it, a "\"
// in a value counts as a folder separator and becomes "/" (a settings file written with
// Windows-style separators), and a relative value is taken from the program folder, not from
// whatever folder the server was started in. An empty value gives "/" alone, the root folder.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/event_loop.h"

namespace velka::server {

inline constexpr std::string_view kSettingsFileName = "TMVSERVER.INI";
inline constexpr std::string_view kSettingsSection = "Parameters";
inline constexpr std::string_view kDataFileName = "TMVVelkaData.OUT";

// Polling periods and log limits beyond these are taken as these: a day between two polls,
// and a log of a terabyte, are far more than any real setting asks for.
inline constexpr Millis kMaxPollingPeriodMs = 24LL * 60 * 60 * 1000;
// A shorter polling period is taken as this one: a job dropped into the folder is taken at once
// anyway where the folder is watched, and polling every millisecond keeps a core busy.
inline constexpr Millis kMinPollingPeriodMs = 100;
inline constexpr std::int64_t kMaxLogLimitBytes = 1LL << 40;

struct ServerSettings {
  std::string DirectoryInput;
  std::string DirectoryOutput;
  std::string DirectoryOutputData;
  std::string Language;
  std::string BaudRate;
  std::string Port;
  std::string Frequence;
  std::string MaxLogDimension;
  int LanguageOffset = 0;    // 0 Italian, 1000 English
  bool DumpAnswers = false;  // each line's answer goes into the ".OK" (answer_dumps.h)
  std::string DataFilePath;
  // Jobs exactly once (job_processor.h): a failed job cancels the receipt it left open (any
  // value but a number 0), and how long the control waits for the operator to close the cover
  // or put paper in while the register holds a line, in minutes.
  std::string CancelReceiptOnFailure;
  std::string OperatorWaitMinutes;
};

// The program folder (no trailing "/"), plus "/TMVSERVER.INI".
std::string SettingsPath(const std::string& program_folder);

// Fills the settings from the settings file, with the defaults for a missing file or key,
// then creates the folders DirectoryOutput, DirectoryInput and DirectoryOutputData where they
// do not exist (the last level only). A folder that cannot be created is skipped silently.
ServerSettings ReadSettings(const std::string& program_folder);

// A folder value as the server uses it: separators made "/", relative values placed in the
// program folder, a trailing "/".
std::string AdjustFolder(std::string value, const std::string& program_folder);

// 0 for "ITALIANO" in any letter case, 1000 for any other value.
int LanguageOffsetFor(std::string_view language);

// True only for "115200" with blanks around it.
bool HighSpeedSelected(std::string_view baud_rate);

// Frequence seconds as milliseconds (the number at the start of the text, rounded), at least
// kMinPollingPeriodMs; 0 or less means the polling timer never fires.
Millis PollingPeriodMs(std::string_view frequence);

// MaxLogDimension kilobytes as bytes.
std::int64_t LogLimitBytes(std::string_view max_log_dimension);

// False only for a number that is 0 ("0", " 0 ", "0.0"): the cancel stays on unless it is
// turned off plainly.
bool CancelReceiptOnFailure(std::string_view value);

// OperatorWaitMinutes as milliseconds, at most a day; a value that gives no time at all (0, a
// negative number, no number) gives the default of kDefaultOperatorWaitMinutes.
inline constexpr int kDefaultOperatorWaitMinutes = 10;
Millis OperatorWaitMs(std::string_view minutes);

}  // namespace velka::server
