#pragma once
// The trace file "TMVVelkaTrace.Txt": where it lives, when it is set aside under a dated,
// numbered name, and the sink that writes its lines.
//
// The folder follows the system's version record (ChooseTracePlace): the user folder on VISTA,
// SEVEN and later systems, the drive root of the library on XP. A system without a version
// record (Linux) and the older ones use the user folder -- USERPROFILE when it is set, else
// HOME. A trace that has grown past the limit is set aside by the dated, numbered rule, except
// on SEVEN, where it is started afresh.
#include <cstdint>
#include <memory>
#include <string>

#include "control/core/trace_writer.h"
#include "platform/local_time.h"
#include "platform/system_version.h"

namespace velka {

class SettingsStore;

inline constexpr const char* kTraceFileName = "TMVVelkaTrace.Txt";
// A trace strictly larger than this is replaced when tracing starts.
inline constexpr std::uintmax_t kTraceSizeLimit = 1000000;

// The fields of the operating system's version record that name the system.
using VersionRecord = SystemVersion;

// "31", "95", "98", "98SE", "Me", "NT351", "NT40", "2000", "XP", "2003SVR", "VISTA", "SEVEN",
// "" for an unknown version of a known platform, "Failed" for an unknown platform.
std::string SystemName(const VersionRecord& version);

// USERPROFILE, else HOME, with its separator appended ("\\" for a Windows folder, else "/");
// empty when neither is set.
std::string UserFolder();

// Where the trace goes, and whether a trace grown too big is set aside (else started afresh).
struct TracePlace {
  std::string folder;
  bool set_aside = true;
};
// By the system's version record (none: a system without one). library_path is the file of
// the control's library, whose first three characters (the drive root) take the trace on XP.
TracePlace ChooseTracePlace(const std::optional<VersionRecord>& version,
                            const std::string& user_folder, const std::string& library_path);

// True when folder + "TMVVelkaTrace.Txt" exists and is larger than the limit.
bool TraceTooBig(const std::string& folder);

// The name a trace set aside on `day` with `number` gets: dd_mm_yyyy_TMVVelkaTrace_n.txt.
std::string SetAsideName(const LocalDateTime& day, long number);

// Renames the current trace to its dated, numbered name and advances the numbering kept in
// "ProgTraceLOG"/"ProgDataLOG" (restarted at 1 on a later day). False when it failed.
bool SetTraceAside(const std::string& folder, SettingsStore& settings, const WallClock& clock);

// Opens folder + "TMVVelkaTrace.Txt": when too big, set aside (or, without set_aside, only
// emptied) and started anew, else appended to. Null when the file cannot be opened. Lines are
// written with CR LF and flushed at once, so a trace survives a crash of the host.
std::unique_ptr<TraceSink> OpenTraceFile(const std::string& folder, SettingsStore& settings,
                                         const WallClock& clock, bool set_aside = true);

}  // namespace velka
