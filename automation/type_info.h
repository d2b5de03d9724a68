#pragma once
// Type information of the control's interfaces, as a type library holds it: every member of
// the dispatch interface and every event, in interface order, with its identifier, kind,
// parameters (name, type, by value or by reference, optional with a default) and result.
// Built from the member table (member_table.h); hosts read it through Dispatch. The
// identifiers are named in dispatch_ids.h. Header-only.
#include <cstdint>
#include <string>
#include <vector>

#include "automation/dispatch_ids.h"
#include "automation/guid.h"
#include "automation/variant.h"

namespace velka {

enum class MemberKind : std::uint8_t { Method, PropertyGet, PropertyPut };

inline const char* MemberKindName(MemberKind kind) {
  switch (kind) {
    case MemberKind::Method:
      return "method";
    case MemberKind::PropertyGet:
      return "get";
    case MemberKind::PropertyPut:
      return "put";
  }
  return "?";
}

struct ParamInfo {
  std::u16string name;
  VarType type = VarType::Empty;
  bool by_reference = false;  // direction in/out; by value is in
  bool optional = false;
  Variant default_value;  // of type `type` when optional
  // The member writes the parameter back into the caller's variable (when passed by
  // reference with its own type); every other by-reference parameter is read as a copy.
  bool written_back = false;
};

struct MemberInfo {
  std::u16string name;
  DispId id = kDispIdUnknown;
  MemberKind kind = MemberKind::Method;
  std::vector<ParamInfo> params;
  VarType result = VarType::Empty;  // Empty: no result (a put, an event)
};

struct InterfaceInfo {
  std::u16string name;
  Guid id;
  bool dual = false;
  bool hidden = false;
  bool non_extensible = false;
  bool automation_compatible = false;
  std::vector<MemberInfo> members;  // in interface order (events: in event order)
};

struct TypeLibraryInfo {
  std::u16string name;
  Guid id;
  int major = 0;
  int minor = 0;
  std::uint32_t locale = 0;
  std::u16string help_string;
  std::u16string class_name;
  Guid class_id;
  bool control = false;             // the class is a control
  InterfaceInfo dispatch;           // default interface of the class
  InterfaceInfo events;             // default source of the class
  std::u16string imported_library;  // the standard automation library
};

// The first member with the identifier and kind; null when there is none.
inline const MemberInfo* FindMember(const std::vector<MemberInfo>& members, DispId id,
                                    MemberKind kind) {
  for (const MemberInfo& m : members) {
    if (m.id == id && m.kind == kind) return &m;
  }
  return nullptr;
}

}  // namespace velka
