#include "control/device/persistent_settings.h"

#include "platform/ascii_text.h"
#include "platform/numeric_text.h"
#include "platform/settings_store.h"

namespace velka {

PersistentSettings::PersistentSettings(SettingsStore& store, WallClock clock)
    : store_(store), clock_(clock ? std::move(clock) : WallClock(CurrentLocalDateTime)) {}

std::optional<std::string> PersistentSettings::read(const std::string& key) {
  return store_.read(kApplication, kSection, key);
}

bool PersistentSettings::write(const std::string& key, const std::string& value) {
  return store_.write(kApplication, kSection, key, value);
}

bool PersistentSettings::isBlank(const std::optional<std::string>& value) const {
  return !value || TrimSpaces(*value).empty();
}

std::int16_t PersistentSettings::readPackID() {
  const double value = RoundHalfEven(Val(read("PackID").value_or("")));
  if (value < 0 || value > 9) return 0;
  return static_cast<std::int16_t>(value);
}

void PersistentSettings::writePackID(std::int16_t pack_id) {
  write("PackID", std::to_string(pack_id));
}

void PersistentSettings::keepPackID(std::int16_t pack_id) {
  store_.writeUnflushed(kApplication, kSection, "PackID", std::to_string(pack_id));
}

bool PersistentSettings::readTraceOn() {
  const auto value = read("TraceLOG");
  if (isBlank(value)) {
    write("TraceLOG", "False");
    return false;
  }
  const std::string text = UpperAscii(TrimSpaces(*value));
  if (text == "TRUE") return true;
  if (text == "FALSE") return false;
  if (const auto number = NumericTextValue(text)) return *number != 0;
  return false;
}

void PersistentSettings::writeMissingTraceNumbering() {
  if (isBlank(read("ProgTraceLOG"))) write("ProgTraceLOG", "1");
  if (isBlank(read("ProgDataLOG"))) write("ProgDataLOG", FormatDateTime(clock_(), "dd/mm/yyyy"));
}

}  // namespace velka
