// The C surface over the control's dispatch interface: C variants bridged to the
// automation variants and back, events handed to C callbacks, the object's own event loop
// turned by the host, and the exported functions.
#include "automation/c_surface.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "automation/activation/create_object.h"
#include "automation/control_site.h"
#include "automation/dispatch.h"
#include "control/automation/last_error.h"
#include "control/automation/library_strings.h"
#include "platform/single_byte_text.h"
#include "platform/system_factory.h"

namespace velka {

namespace {

// Bounds on what a C caller hands in.
constexpr std::int32_t kMaxArguments = 64;
constexpr std::int32_t kMaxArrayCount = 1024 * 1024;
constexpr std::size_t kMaxNameLength = 256;

// The text of a string variable, empty when it holds no string of the library's.
std::u16string TextOf(VelkaString s) {
  return LibraryStringText(s).value_or(std::u16string());
}

HResult Refuse(HResult status, std::string why) {
  SetLastErrorText(std::move(why));
  return status;
}

// The C++ side of a call's C arguments: by-reference values live here during the call and
// are copied back afterwards.
struct ArgumentBridge {
  std::vector<Variant> variants;
  std::vector<std::int16_t> int16s;
  std::vector<std::int32_t> int32s;
  std::vector<std::int64_t> int64s;
  std::vector<std::u16string> texts;
  std::vector<std::vector<std::int32_t>> arrays;

  // Reads args; false with the reason in why.
  bool Read(const VelkaVariant* args, std::int32_t count, std::string& why) {
    // Reserve first: variants keep pointers into these vectors.
    const auto n = static_cast<std::size_t>(count);
    variants.reserve(n);
    int16s.reserve(n);
    int32s.reserve(n);
    int64s.reserve(n);
    texts.reserve(n);
    arrays.reserve(n);
    for (std::int32_t i = 0; i < count; ++i) {
      if (!ReadOne(args[i], why)) {
        why = "argument " + std::to_string(i + 1) + ": " + why;
        return false;
      }
    }
    return true;
  }

  bool ReadArray(const VelkaLongArray& a, std::string& why) {
    if (a.count < 0 || a.count > kMaxArrayCount || (a.count > 0 && a.data == nullptr)) {
      why = "not a usable array of Long";
      return false;
    }
    arrays.emplace_back(a.data, a.data + a.count);
    return true;
  }

  bool ReadOne(const VelkaVariant& v, std::string& why) {
    const bool by_ref = (v.type & VELKA_VT_BYREF) != 0;
    const std::uint16_t type = v.type & ~VELKA_VT_BYREF;
    if (by_ref && v.value.long_ref == nullptr) {
      why = "null reference";
      return false;
    }
    switch (type) {
      case VELKA_VT_EMPTY:
        variants.emplace_back();
        return true;
      case VELKA_VT_INTEGER:
        int16s.push_back(by_ref ? *v.value.integer_ref : v.value.integer_value);
        variants.push_back(by_ref ? Variant::RefInteger(&int16s.back())
                                  : Variant::FromInteger(int16s.back()));
        return true;
      case VELKA_VT_BOOLEAN:
        int16s.push_back(by_ref ? *v.value.boolean_ref : v.value.boolean_value);
        variants.push_back(by_ref ? Variant::RefBoolean(&int16s.back())
                                  : Variant::FromBooleanBits(int16s.back()));
        return true;
      case VELKA_VT_LONG:
        int32s.push_back(by_ref ? *v.value.long_ref : v.value.long_value);
        variants.push_back(by_ref ? Variant::RefLong(&int32s.back())
                                  : Variant::FromLong(int32s.back()));
        return true;
      case VELKA_VT_CURRENCY:
        int64s.push_back(by_ref ? *v.value.currency_ref : v.value.currency_value);
        variants.push_back(by_ref ? Variant::RefCurrency(&int64s.back())
                                  : Variant::FromCurrency(int64s.back()));
        return true;
      case VELKA_VT_STRING: {
        VelkaString s = by_ref ? *v.value.string_ref : v.value.string_value;
        std::optional<std::u16string> text = LibraryStringText(s);
        if (!text) {
          why = "not a string of the library's (velka_string_new) or already freed";
          return false;
        }
        texts.push_back(std::move(*text));
        variants.push_back(by_ref ? Variant::RefString(&texts.back())
                                  : Variant::FromString(texts.back()));
        return true;
      }
      case VELKA_VT_LONG_ARRAY:
        if (!ReadArray(by_ref ? *v.value.array_ref : v.value.array_value, why)) return false;
        variants.push_back(by_ref ? Variant::RefLongArray(&arrays.back())
                                  : Variant::FromLongArray(arrays.back()));
        return true;
      default:
        why = "unknown variant type " + std::to_string(v.type);
        return false;
    }
  }

  // Copies the by-reference values back into the caller's variables. Strings are replaced
  // only when their text changed.
  void WriteBack(VelkaVariant* args, std::int32_t count) const {
    std::size_t i16 = 0, i32 = 0, i64 = 0, text = 0;
    for (std::int32_t i = 0; i < count; ++i) {
      VelkaVariant& v = args[i];
      const bool by_ref = (v.type & VELKA_VT_BYREF) != 0;
      switch (v.type & ~VELKA_VT_BYREF) {
        case VELKA_VT_INTEGER:
          if (by_ref) *v.value.integer_ref = int16s[i16];
          ++i16;
          break;
        case VELKA_VT_BOOLEAN:
          if (by_ref) *v.value.boolean_ref = int16s[i16];
          ++i16;
          break;
        case VELKA_VT_LONG:
          if (by_ref) *v.value.long_ref = int32s[i32];
          ++i32;
          break;
        case VELKA_VT_CURRENCY:
          if (by_ref) *v.value.currency_ref = int64s[i64];
          ++i64;
          break;
        case VELKA_VT_STRING:
          if (by_ref && texts[text] != TextOf(*v.value.string_ref)) {
            if (VelkaString replaced = NewLibraryString(texts[text])) {
              FreeLibraryString(*v.value.string_ref);
              *v.value.string_ref = replaced;
            }
          }
          ++text;
          break;
        default:
          break;
      }
    }
  }
};

// A result or event argument as a C variant (strings are new library strings).
VelkaVariant ToC(const Variant& v) {
  VelkaVariant out{};
  out.type = static_cast<std::uint16_t>(v.type());
  switch (v.type()) {
    case VarType::Integer:
      out.value.integer_value = v.integerValue();
      break;
    case VarType::Long:
      out.value.long_value = v.longValue();
      break;
    case VarType::Boolean:
      out.value.boolean_value = v.booleanBits();
      break;
    case VarType::Currency:
      out.value.currency_value = v.currencyValue();
      break;
    case VarType::String:
      out.value.string_value = NewLibraryString(v.stringValue());
      break;
    case VarType::Empty:
    case VarType::LongArray:  // no result or event argument is an array
      out.type = VELKA_VT_EMPTY;
      break;
  }
  return out;
}

// Hands the control's events to a C callback.
class CallbackSink : public EventSink {
 public:
  CallbackSink(VelkaObject* owner, VelkaEventCallback callback, void* context)
      : owner_(owner), callback_(callback), context_(context) {}
  HResult Invoke(DispId event_id, std::span<Variant> args) override;
  std::uint32_t cookie = 0;

 private:
  VelkaObject* owner_;
  VelkaEventCallback callback_;
  void* context_;
};

}  // namespace

}  // namespace velka

// The control is created with a site whose loop is the object's own, so that the host can
// turn it (velka_process_events) and wait on it (velka_event_handle). Members go in reverse
// order: the control before its site and its loop.
struct VelkaObject {
  std::thread::id thread = std::this_thread::get_id();
  std::unique_ptr<velka::SystemEventLoop> loop;
  velka::SimpleControlSite site;
  velka::DispatchRef dispatch;
  std::vector<std::unique_ptr<velka::CallbackSink>> sinks;
  std::uint32_t references = 1;
};

namespace velka {

namespace {

HResult CallbackSink::Invoke(DispId event_id, std::span<Variant> args) {
  // The host may release its object inside the callback: keep it until the end here.
  VelkaObject* owner = owner_;
  velka_add_ref(owner);
  std::vector<VelkaVariant> c_args;
  std::vector<std::int32_t> longs(args.size());
  std::vector<VelkaString> strings(args.size(), nullptr);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const Variant& v = args[i];
    VelkaVariant c{};
    if (v.byRef() && v.type() == VarType::Long) {
      longs[i] = v.longValue();
      c.type = VELKA_VT_LONG | VELKA_VT_BYREF;
      c.value.long_ref = &longs[i];
    } else if (v.byRef() && v.type() == VarType::String) {
      strings[i] = NewLibraryString(v.stringValue());
      c.type = VELKA_VT_STRING | VELKA_VT_BYREF;
      c.value.string_ref = &strings[i];
    } else {
      c = ToC(v);
    }
    c_args.push_back(c);
  }
  callback_(context_, event_id, c_args.data(), static_cast<std::int32_t>(c_args.size()));
  for (std::size_t i = 0; i < args.size(); ++i) {
    Variant& v = args[i];
    if (v.byRef() && v.type() == VarType::Long) v.setLong(longs[i]);
    if (v.byRef() && v.type() == VarType::String) {
      v.setString(TextOf(strings[i]));
      FreeLibraryString(strings[i]);
    } else if (c_args[i].type == VELKA_VT_STRING) {
      FreeLibraryString(c_args[i].value.string_value);
    }
  }
  velka_release(owner);  // may delete this sink: nothing of it is used below
  return hresult::Ok;
}

// Null when the object may be used here, else the refusal.
std::optional<HResult> RefuseUnusable(const VelkaObject* object) {
  if (!object || !object->dispatch) return Refuse(hresult::Pointer, "no object");
  if (object->thread != std::this_thread::get_id()) {
    return Refuse(hresult::WrongThread, "the object belongs to the thread that created it");
  }
  return std::nullopt;
}

// A descriptor on POSIX, a HANDLE on Windows, as the C type that holds either.
template <typename Handle>
VelkaWaitHandle WaitHandleOf(Handle handle) {
  if constexpr (std::is_pointer_v<Handle>) {
    return reinterpret_cast<VelkaWaitHandle>(handle);
  } else {
    return static_cast<VelkaWaitHandle>(handle);
  }
}

HResult InvokeC(VelkaObject* object, DispId id, std::uint16_t kind, VelkaVariant* args,
                std::int32_t count, VelkaVariant* result) {
  if (auto refused = RefuseUnusable(object)) return *refused;
  if (count < 0 || count > kMaxArguments || (count > 0 && !args)) {
    return Refuse(hresult::BadParamCount, "argument count " + std::to_string(count));
  }
  if (result) *result = VelkaVariant{};
  ArgumentBridge bridge;
  std::string why;
  if (!bridge.Read(args, count, why)) return Refuse(hresult::TypeMismatch, why);
  Variant value;
  InvokeError error;
  // Hold the object: a callback inside the call may release the caller's reference.
  velka_add_ref(object);
  const HResult status = object->dispatch->Invoke(id, kind, bridge.variants, &value, &error);
  velka_release(object);
  if (Failed(status)) return Refuse(status, HResultName(status) + ": " + error.description);
  bridge.WriteBack(args, count);
  if (result) *result = ToC(value);
  return hresult::Ok;
}

}  // namespace

}  // namespace velka

using velka::HResult;
namespace hresult = velka::hresult;

extern "C" {

VelkaStatus velka_create(const char* prog_id, VelkaObject** object) {
  try {
    velka::SetLastErrorText("");
    if (!object) return velka::Refuse(hresult::Pointer, "no place for the object");
    *object = nullptr;
    if (!prog_id) return velka::Refuse(hresult::Pointer, "no programmatic identifier");
    auto wrapper = std::make_unique<VelkaObject>();
    wrapper->loop = velka::CreateSystemEventLoop();
    wrapper->site.loop = wrapper->loop.get();
    velka::CreatedObject created = velka::CreateObject(prog_id, &wrapper->site);
    if (!created) return velka::Refuse(created.status, created.error);
    wrapper->dispatch = std::move(created.object);
    *object = wrapper.release();
    return hresult::Ok;
  } catch (const std::bad_alloc&) {
    return velka::Refuse(hresult::OutOfMemory, "out of memory");
  } catch (...) {
    return velka::Refuse(hresult::Unexpected, "unexpected failure");
  }
}

uint32_t velka_add_ref(VelkaObject* object) {
  return object ? ++object->references : 0;
}

uint32_t velka_release(VelkaObject* object) {
  if (!object || object->references == 0) return 0;
  if (--object->references > 0) return object->references;
  try {
    for (auto& sink : object->sinks) object->dispatch->Unadvise(sink->cookie);
  } catch (...) {
  }
  delete object;
  return 0;
}

VelkaStatus velka_get_id(VelkaObject* object, const char* name, int32_t* dispid) {
  try {
    velka::SetLastErrorText("");
    if (auto refused = velka::RefuseUnusable(object)) return *refused;
    if (!name || !dispid) return velka::Refuse(hresult::Pointer, "null argument");
    if (std::strlen(name) > velka::kMaxNameLength) {
      return velka::Refuse(hresult::UnknownName, "name too long");
    }
    const std::u16string names[] = {velka::Utf8ToUtf16(name)};
    velka::DispId ids[1] = {velka::kDispIdUnknown};
    const HResult status = object->dispatch->GetIDsOfNames(names, ids);
    *dispid = ids[0];
    if (velka::Failed(status)) {
      return velka::Refuse(status, std::string("no member is named ") + name);
    }
    return hresult::Ok;
  } catch (...) {
    return velka::Refuse(hresult::Unexpected, "unexpected failure");
  }
}

VelkaStatus velka_invoke(VelkaObject* object, int32_t dispid, uint16_t kind, VelkaVariant* args,
                         int32_t count, VelkaVariant* result) {
  try {
    velka::SetLastErrorText("");
    return velka::InvokeC(object, dispid, kind, args, count, result);
  } catch (const std::bad_alloc&) {
    return velka::Refuse(hresult::OutOfMemory, "out of memory");
  } catch (...) {
    return velka::Refuse(hresult::Unexpected, "unexpected failure");
  }
}

VelkaStatus velka_invoke_by_name(VelkaObject* object, const char* name, uint16_t kind,
                                 VelkaVariant* args, int32_t count, VelkaVariant* result) {
  int32_t id = velka::kDispIdUnknown;
  const VelkaStatus status = velka_get_id(object, name, &id);
  if (velka::Failed(status)) return status;
  return velka_invoke(object, id, kind, args, count, result);
}

VelkaStatus velka_advise(VelkaObject* object, VelkaEventCallback callback, void* context,
                         uint32_t* cookie) {
  try {
    velka::SetLastErrorText("");
    if (auto refused = velka::RefuseUnusable(object)) return *refused;
    if (!callback || !cookie) return velka::Refuse(hresult::Pointer, "null argument");
    *cookie = 0;
    auto sink = std::make_unique<velka::CallbackSink>(object, callback, context);
    const HResult status = object->dispatch->Advise(sink.get(), &sink->cookie);
    if (velka::Failed(status)) {
      return velka::Refuse(status, "cannot connect: " + velka::HResultName(status));
    }
    *cookie = sink->cookie;
    object->sinks.push_back(std::move(sink));
    return hresult::Ok;
  } catch (...) {
    return velka::Refuse(hresult::Unexpected, "unexpected failure");
  }
}

VelkaStatus velka_unadvise(VelkaObject* object, uint32_t cookie) {
  try {
    velka::SetLastErrorText("");
    if (auto refused = velka::RefuseUnusable(object)) return *refused;
    for (auto it = object->sinks.begin(); it != object->sinks.end(); ++it) {
      if ((*it)->cookie != cookie) continue;
      object->dispatch->Unadvise(cookie);
      object->sinks.erase(it);
      return hresult::Ok;
    }
    return velka::Refuse(hresult::NoConnection, "no connection " + std::to_string(cookie));
  } catch (...) {
    return velka::Refuse(hresult::Unexpected, "unexpected failure");
  }
}

VelkaStatus velka_process_events(VelkaObject* object, int32_t max_wait_ms) {
  try {
    velka::SetLastErrorText("");
    if (auto refused = velka::RefuseUnusable(object)) return *refused;
    if (max_wait_ms < 0) {
      return velka::Refuse(hresult::InvalidArgument, "a wait of " + std::to_string(max_wait_ms) +
                                                         " ms: every wait needs a bound");
    }
    // An event handler may release the host's last reference: the loop stays until here.
    velka_add_ref(object);
    object->loop->waitForEvents(velka::kNoHandle, max_wait_ms);
    velka_release(object);
    return hresult::Ok;
  } catch (const std::bad_alloc&) {
    return velka::Refuse(hresult::OutOfMemory, "out of memory");
  } catch (...) {
    return velka::Refuse(hresult::Unexpected, "unexpected failure");
  }
}

VelkaStatus velka_event_handle(VelkaObject* object, VelkaWaitHandle* handle) {
  try {
    velka::SetLastErrorText("");
    if (auto refused = velka::RefuseUnusable(object)) return *refused;
    if (!handle) return velka::Refuse(hresult::Pointer, "no place for the handle");
    *handle = velka::WaitHandleOf(velka::kNoHandle);
    const velka::NativeHandle native = object->loop->readinessHandle();
    if (native == velka::kNoHandle) {
      return velka::Refuse(hresult::Fail, "the system has no descriptor to spare");
    }
    *handle = velka::WaitHandleOf(native);
    return hresult::Ok;
  } catch (...) {
    return velka::Refuse(hresult::Unexpected, "unexpected failure");
  }
}

VelkaStatus velka_next_timer_ms(VelkaObject* object, int32_t* wait_ms) {
  velka::SetLastErrorText("");
  if (auto refused = velka::RefuseUnusable(object)) return *refused;
  if (!wait_ms) return velka::Refuse(hresult::Pointer, "no place for the time");
  const velka::Millis next = object->loop->millisUntilNextTimer();
  *wait_ms =
      static_cast<int32_t>(std::min<velka::Millis>(next, std::numeric_limits<int32_t>::max()));
  return hresult::Ok;
}

const char* velka_last_error(void) {
  return velka::LastErrorText().c_str();
}

VelkaString velka_string_new(const VelkaChar* text, int32_t length) {
  if (length < 0 || (length > 0 && !text)) return nullptr;
  return velka::NewLibraryString(reinterpret_cast<const char16_t*>(text),
                                 static_cast<std::size_t>(length));
}

VelkaString velka_string_from_utf8(const char* text) {
  try {
    return velka::NewLibraryString(text ? velka::Utf8ToUtf16(text) : std::u16string());
  } catch (...) {
    return nullptr;
  }
}

int32_t velka_string_length(VelkaString text) {
  return velka::LibraryStringLength(text);
}

void velka_string_free(VelkaString text) {
  velka::FreeLibraryString(text);
}

void velka_variant_clear(VelkaVariant* variant) {
  if (!variant) return;
  if (variant->type == VELKA_VT_STRING) velka::FreeLibraryString(variant->value.string_value);
  *variant = VelkaVariant{};
}

}  // extern "C"
