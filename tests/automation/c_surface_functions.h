#pragma once
// The C surface of the loaded control library, found by name as ctypes finds it, and the C
// variants the tests build.
#include <cstdint>
#include <string>

#include "automation/c_surface.h"
#include "tests/automation/automation_fixture.h"

namespace velka::testing {

struct CSurface {
  template <typename F>
  static F Get(const char* name) {
    return reinterpret_cast<F>(ControlLibrarySymbol(name));
  }
  decltype(&velka_create) create = Get<decltype(&velka_create)>("velka_create");
  decltype(&velka_release) release = Get<decltype(&velka_release)>("velka_release");
  decltype(&velka_get_id) get_id = Get<decltype(&velka_get_id)>("velka_get_id");
  decltype(&velka_invoke) invoke = Get<decltype(&velka_invoke)>("velka_invoke");
  decltype(&velka_invoke_by_name) invoke_by_name =
      Get<decltype(&velka_invoke_by_name)>("velka_invoke_by_name");
  decltype(&velka_advise) advise = Get<decltype(&velka_advise)>("velka_advise");
  decltype(&velka_unadvise) unadvise = Get<decltype(&velka_unadvise)>("velka_unadvise");
  decltype(&velka_process_events) process_events =
      Get<decltype(&velka_process_events)>("velka_process_events");
  decltype(&velka_event_handle) event_handle =
      Get<decltype(&velka_event_handle)>("velka_event_handle");
  decltype(&velka_next_timer_ms) next_timer_ms =
      Get<decltype(&velka_next_timer_ms)>("velka_next_timer_ms");
  decltype(&velka_last_error) last_error = Get<decltype(&velka_last_error)>("velka_last_error");
  decltype(&velka_string_from_utf8) from_utf8 =
      Get<decltype(&velka_string_from_utf8)>("velka_string_from_utf8");
  decltype(&velka_string_new) string_new = Get<decltype(&velka_string_new)>("velka_string_new");
  decltype(&velka_string_length) length =
      Get<decltype(&velka_string_length)>("velka_string_length");
  decltype(&velka_string_free) string_free = Get<decltype(&velka_string_free)>("velka_string_free");
  decltype(&velka_variant_clear) clear = Get<decltype(&velka_variant_clear)>("velka_variant_clear");
};

inline std::u16string TextOf(const CSurface& c, VelkaString s) {
  return std::u16string(reinterpret_cast<const char16_t*>(s),
                        static_cast<std::size_t>(c.length(s)));
}

inline VelkaVariant CLong(std::int32_t v) {
  VelkaVariant out{};
  out.type = VELKA_VT_LONG;
  out.value.long_value = v;
  return out;
}
inline VelkaVariant CBoolean(bool v) {
  VelkaVariant out{};
  out.type = VELKA_VT_BOOLEAN;
  out.value.boolean_value = v ? -1 : 0;
  return out;
}
inline VelkaVariant CCurrency(std::int64_t ten_thousandths) {
  VelkaVariant out{};
  out.type = VELKA_VT_CURRENCY;
  out.value.currency_value = ten_thousandths;
  return out;
}
inline VelkaVariant CString(VelkaString s) {
  VelkaVariant out{};
  out.type = VELKA_VT_STRING;
  out.value.string_value = s;
  return out;
}
inline VelkaVariant CStringRef(VelkaString* s) {
  VelkaVariant out{};
  out.type = VELKA_VT_STRING | VELKA_VT_BYREF;
  out.value.string_ref = s;
  return out;
}

}  // namespace velka::testing
