#pragma once
// The control's values in the per-user settings store, application "TMV SPA", section
// "VELKA": "PackID" (frame sequence number, carried from one run to the next), "TraceLOG"
// (tracing on or off), "ProgTraceLOG" and "ProgDataLOG" (numbering of set-aside trace files).
#include <cstdint>
#include <optional>
#include <string>

#include "platform/local_time.h"

namespace velka {

class SettingsStore;

class PersistentSettings {
 public:
  static constexpr const char* kApplication = "TMV SPA";
  static constexpr const char* kSection = "VELKA";

  PersistentSettings(SettingsStore& store, WallClock clock);

  // The leading number of "PackID", rounded; a missing key, a non-number or a value outside
  // 0..9 (which would put a non-digit into the frame's sequence position) gives 0.
  std::int16_t readPackID();
  void writePackID(std::int16_t pack_id);
  // The same value, written unflushed: cheap enough for every frame.
  void keepPackID(std::int16_t pack_id);

  // "TraceLOG" as a Boolean: "True"/"False" in any case, or a number (non-zero is True); any
  // other text is False. Missing or blank: "False" is written and tracing stays off.
  bool readTraceOn();

  // Writes "ProgTraceLOG" = "1" and "ProgDataLOG" = today ("dd/mm/yyyy") where missing or blank.
  void writeMissingTraceNumbering();

  std::optional<std::string> read(const std::string& key);
  bool write(const std::string& key, const std::string& value);

 private:
  bool isBlank(const std::optional<std::string>& value) const;
  SettingsStore& store_;
  WallClock clock_;
};

}  // namespace velka
