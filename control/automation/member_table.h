#pragma once
// The one table of the control's automation interface: the 53 members of _TmvEcrVelka in
// interface order and the 6 events of __TmvEcrVelka, each with its dispatch identifier (named
// in automation/dispatch_ids.h), kind, parameters and result. The dispatcher, the name lookup and
// the type information are all read from it, so the interface is written once. Nothing in it is
// tied to one platform: a native automation binding (a type library and a real dispatch interface)
// is generated from the same rows.
#include <functional>
#include <string_view>
#include <vector>

#include "automation/type_info.h"
#include "control/automation/invoke_arguments.h"

namespace velka {

class TmvEcrVelka;

struct MemberRow {
  MemberInfo info;
  // Calls the member on the control with the converted arguments; gives its result (Empty
  // for a put).
  std::function<Variant(TmvEcrVelka&, Arguments&)> call;
};

const std::vector<MemberRow>& MemberTable();
const std::vector<MemberInfo>& EventTable();

// The type library built from the tables and the identity of the library.
const TypeLibraryInfo& TmvEcrVelkaTypeLibrary();

}  // namespace velka
