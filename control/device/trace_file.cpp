#include "control/device/trace_file.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "control/device/persistent_settings.h"
#include "platform/numeric_text.h"

namespace velka {

namespace {

class FileTraceSink : public TraceSink {
 public:
  explicit FileTraceSink(std::FILE* file) : file_(file) {}
  ~FileTraceSink() override { std::fclose(file_); }
  bool writeLine(std::string_view line) override {
    // A trace that cannot be written (disk full, file removed) loses the line, never the host.
    const bool written = std::fwrite(line.data(), 1, line.size(), file_) == line.size() &&
                         std::fputs("\r\n", file_) >= 0 && std::fflush(file_) == 0;
    if (!written) std::clearerr(file_);
    return written;
  }

 private:
  std::FILE* file_;
};

}  // namespace

std::string SystemName(const VersionRecord& v) {
  switch (v.platform_id) {
    case 0:
      return "31";
    case 1:
      if (v.minor == 0) return "95";
      if (v.minor == 10) return (v.build & 0xFFFF) == 2222 ? "98SE" : "98";
      if (v.minor == 90) return "Me";
      return "";
    case 2:
      if (v.major == 3) return "NT351";
      if (v.major == 4) return "NT40";
      if (v.major == 5 && v.minor == 0) return "2000";
      if (v.major == 5 && v.minor == 1) return "XP";
      if (v.major == 5 && v.minor == 2) return "2003SVR";
      if (v.major == 6 && v.minor == 0) return "VISTA";
      if (v.major == 6 && v.minor == 1) return "SEVEN";
      return "";
    default:
      return "Failed";
  }
}

std::string UserFolder() {
  for (const char* name : {"USERPROFILE", "HOME"}) {
    const char* value = std::getenv(name);
    if (!value || !*value) continue;
    const std::string folder = value;
    return folder + (folder.find('\\') != std::string::npos ? "\\" : "/");
  }
  return "";
}

TracePlace ChooseTracePlace(const std::optional<VersionRecord>& version,
                            const std::string& user_folder, const std::string& library_path) {
  if (!version) return {user_folder, true};
  const std::string name = SystemName(*version);
  if (name == "SEVEN") return {user_folder, false};
  if (name == "XP") return {library_path.substr(0, 3), true};
  return {user_folder, true};
}

bool TraceTooBig(const std::string& folder) {
  std::error_code error;
  const auto size = std::filesystem::file_size(folder + kTraceFileName, error);
  return !error && size > kTraceSizeLimit;
}

std::string SetAsideName(const LocalDateTime& day, long number) {
  return FormatDateTime(day, "dd_mm_yyyy") + "_TMVVelkaTrace_" + std::to_string(number) + ".txt";
}

bool SetTraceAside(const std::string& folder, SettingsStore& store, const WallClock& clock) {
  PersistentSettings settings(store, clock);
  const LocalDateTime today = clock();
  LocalDateTime numbered_day;
  // A numbering day that is not a date restarts the numbering, as a later day does.
  if (!ParseDayMonthYear(settings.read("ProgDataLOG").value_or(""), numbered_day) ||
      CompareDates(today, numbered_day) > 0) {
    settings.write("ProgDataLOG", FormatDateTime(today, "dd/mm/yyyy"));
    settings.write("ProgTraceLOG", "1");
  }
  // A number that is not one restarts at 1; a name already taken moves on to the next free
  // number, so that a stray file never keeps the device from opening.
  long number = 1;
  if (auto value = NumericTextValue(settings.read("ProgTraceLOG").value_or(""))) {
    if (*value >= 1 && *value < 1e9) number = static_cast<long>(*value);
  }
  std::error_code error;
  while (std::filesystem::exists(folder + SetAsideName(today, number), error)) ++number;
  std::filesystem::rename(folder + kTraceFileName, folder + SetAsideName(today, number), error);
  if (error) return false;
  settings.write("ProgTraceLOG", std::to_string(number + 1));
  return true;
}

std::unique_ptr<TraceSink> OpenTraceFile(const std::string& folder, SettingsStore& settings,
                                         const WallClock& clock, bool set_aside) {
  const char* mode = "ab";
  if (TraceTooBig(folder)) {
    if (set_aside && !SetTraceAside(folder, settings, clock)) return nullptr;
    mode = "wb";
  }
  std::FILE* file = std::fopen((folder + kTraceFileName).c_str(), mode);
  if (!file) return nullptr;
  return std::make_unique<FileTraceSink>(file);
}

}  // namespace velka
