#pragma once
// The trace file "TMVVelkaTrace.Txt": where it lives, when it is set aside under a dated,
// numbered name, and the sink that writes its lines.
//
// On Windows the folder follows the system version (the user folder on VISTA and SEVEN, the
// drive root of the library on XP). This build has no version record: the trace goes to the
// user folder -- USERPROFILE when it is set, else HOME -- with "/" appended, and a trace that has
// grown past the limit is set aside by the dated, numbered rule.
#include <cstdint>
#include <memory>
#include <string>

#include "control/core/trace_writer.h"
#include "platform/local_time.h"

namespace velka {

class SettingsStore;

inline constexpr const char* kTraceFileName = "TMVVelkaTrace.Txt";
// A trace strictly larger than this is replaced when tracing starts.
inline constexpr std::uintmax_t kTraceSizeLimit = 1000000;

// The fields of the operating system's version record that name the system.
struct VersionRecord {
  std::uint32_t platform_id = 0;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
};

// "31", "95", "98", "98SE", "Me", "NT351", "NT40", "2000", "XP", "2003SVR", "VISTA", "SEVEN",
// "" for an unknown version of a known platform, "Failed" for an unknown platform.
std::string SystemName(const VersionRecord& version);

// USERPROFILE, else HOME, with "/" appended; empty when neither is set.
std::string UserFolder();

// True when folder + "TMVVelkaTrace.Txt" exists and is larger than the limit.
bool TraceTooBig(const std::string& folder);

// The name a trace set aside on `day` with `number` gets: dd_mm_yyyy_TMVVelkaTrace_n.txt.
std::string SetAsideName(const LocalDateTime& day, long number);

// Renames the current trace to its dated, numbered name and advances the numbering kept in
// "ProgTraceLOG"/"ProgDataLOG" (restarted at 1 on a later day). False when it failed.
bool SetTraceAside(const std::string& folder, SettingsStore& settings, const WallClock& clock);

// Opens folder + "TMVVelkaTrace.Txt": set aside and started anew when too big, else appended
// to. Null when the file cannot be opened. Lines are written with CR LF and flushed at once,
// so a trace survives a crash of the host.
std::unique_ptr<TraceSink> OpenTraceFile(const std::string& folder, SettingsStore& settings,
                                         const WallClock& clock);

}  // namespace velka
