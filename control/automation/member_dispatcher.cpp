#include "control/automation/member_dispatcher.h"

#include "control/automation/member_table.h"
#include "platform/ascii_text.h"
#include "platform/single_byte_text.h"

namespace velka {

namespace {

constexpr std::uint16_t kAllKinds = kInvokeMethod | kInvokePropertyGet | kInvokePropertyPut;

std::string NameOf(const MemberInfo& m) {
  return Utf16ToUtf8(m.name);
}

std::string IdText(DispId id) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  const auto bits = static_cast<std::uint32_t>(id);
  for (int shift = 28; shift >= 0; shift -= 4) text += kDigits[(bits >> shift) & 0xF];
  return text;
}

HResult Refuse(InvokeError& error, HResult status, std::string why, std::int32_t argument = -1) {
  error.argument = argument;
  error.description = std::move(why);
  return status;
}

// The row that serves the request. A put needs a put entry. A method call or a get is served
// by the method or the get entry of the identifier: automation clients ask for either when
// they use a result.
const MemberRow* FindRow(DispId id, std::uint16_t kind, HResult& status, std::string& why) {
  const MemberRow* get_or_method = nullptr;
  const MemberRow* put = nullptr;
  for (const MemberRow& row : MemberTable()) {
    if (row.info.id != id) continue;
    if (row.info.kind == MemberKind::PropertyPut) {
      put = &row;
    } else {
      get_or_method = &row;
    }
  }
  if (!get_or_method && !put) {
    status = hresult::MemberNotFound;
    why = "no member has the identifier " + IdText(id);
    return nullptr;
  }
  if (kind & kInvokePropertyPut) {
    if (put) return put;
    const MemberInfo& m = get_or_method->info;
    if (m.kind == MemberKind::PropertyGet) {
      status = hresult::ReadOnlyProperty;
      why = NameOf(m) + " is a read-only property";
    } else {
      status = hresult::MemberNotFound;
      why = NameOf(m) + " is a method, not a property";
    }
    return nullptr;
  }
  if (get_or_method) return get_or_method;
  status = hresult::MemberNotFound;
  why = NameOf(put->info) + " has no get entry";
  return nullptr;
}

}  // namespace

HResult InvokeMember(TmvEcrVelka& control, DispId id, std::uint16_t kind, std::span<Variant> args,
                     Variant* result, InvokeError& error) {
  if ((kind & kAllKinds) == 0 || (kind & ~kAllKinds) != 0) {
    return Refuse(error, hresult::InvalidArgument, "no valid invoke kind given");
  }
  HResult status = hresult::Ok;
  std::string why;
  const MemberRow* row = FindRow(id, kind, status, why);
  if (!row) return Refuse(error, status, why);

  const MemberInfo& m = row->info;
  // A put takes exactly its value; a get nothing.
  if (m.kind == MemberKind::PropertyPut && args.size() != 1) {
    return Refuse(error, hresult::BadParamCount,
                  NameOf(m) + " is written with exactly one value, " + std::to_string(args.size()) +
                      " given");
  }
  Arguments converted;
  std::int32_t bad_argument = -1;
  status = converted.Convert(m.params, args, bad_argument, why);
  if (Failed(status)) return Refuse(error, status, NameOf(m) + ": " + why, bad_argument);

  Variant value = row->call(control, converted);
  converted.WriteBack(m.params, args);
  if (result) *result = std::move(value);
  return hresult::Ok;
}

HResult IdsOfNames(std::span<const std::u16string> names, std::span<DispId> ids) {
  if (names.empty() || ids.size() < names.size()) return hresult::InvalidArgument;
  for (std::size_t i = 0; i < names.size(); ++i) ids[i] = kDispIdUnknown;
  const MemberInfo* member = nullptr;
  for (const MemberRow& row : MemberTable()) {
    if (SameIgnoringAsciiCase(row.info.name, names[0])) {
      member = &row.info;
      break;
    }
  }
  if (!member) return hresult::UnknownName;
  ids[0] = member->id;
  HResult status = hresult::Ok;
  for (std::size_t i = 1; i < names.size(); ++i) {
    // Parameter names of the first entry of that name (for a property: its first entry).
    for (std::size_t p = 0; p < member->params.size(); ++p) {
      if (SameIgnoringAsciiCase(member->params[p].name, names[i])) {
        ids[i] = static_cast<DispId>(p);
      }
    }
    if (ids[i] == kDispIdUnknown) status = hresult::UnknownName;
  }
  return status;
}

}  // namespace velka
