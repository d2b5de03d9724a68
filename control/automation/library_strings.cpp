// The register of the strings the C surface has handed out: address to length, under a lock
// so that strings made and freed on different threads do not trip over each other.
#include "control/automation/library_strings.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace velka {

namespace {

struct StringRegister {
  std::mutex mutex;
  std::unordered_map<const VelkaChar*, std::int32_t> lengths;
};

// Never destroyed: a host may free its strings from its own exit handlers, after the
// library's statics would have gone.
StringRegister& Register() {
  static StringRegister& strings = *new StringRegister;
  return strings;
}

}  // namespace

VelkaString NewLibraryString(const char16_t* text, std::size_t length) noexcept {
  if (length > static_cast<std::size_t>(kMaxLibraryStringLength)) return nullptr;
  auto* units = static_cast<VelkaChar*>(std::malloc((length + 1) * sizeof(VelkaChar)));
  if (!units) return nullptr;
  if (length > 0) std::memcpy(units, text, length * sizeof(VelkaChar));
  units[length] = 0;
  try {
    StringRegister& strings = Register();
    const std::lock_guard lock(strings.mutex);
    strings.lengths.emplace(units, static_cast<std::int32_t>(length));
  } catch (...) {
    std::free(units);
    return nullptr;
  }
  return units;
}

VelkaString NewLibraryString(const std::u16string& text) noexcept {
  return NewLibraryString(text.data(), text.size());
}

// Copied under the lock: another thread cannot free the string meanwhile.
std::optional<std::u16string> LibraryStringText(VelkaString s) {
  if (!s) return std::u16string();
  StringRegister& strings = Register();
  const std::lock_guard lock(strings.mutex);
  const auto found = strings.lengths.find(s);
  if (found == strings.lengths.end()) return std::nullopt;
  return std::u16string(reinterpret_cast<const char16_t*>(s),
                        static_cast<std::size_t>(found->second));
}

std::int32_t LibraryStringLength(VelkaString s) {
  if (!s) return 0;
  StringRegister& strings = Register();
  const std::lock_guard lock(strings.mutex);
  const auto found = strings.lengths.find(s);
  return found == strings.lengths.end() ? 0 : found->second;
}

void FreeLibraryString(VelkaString s) {
  if (!s) return;
  {
    StringRegister& strings = Register();
    const std::lock_guard lock(strings.mutex);
    if (strings.lengths.erase(s) == 0) return;  // not ours, or freed already
  }
  std::free(s);
}

}  // namespace velka
