#pragma once
// The interface description (IDL) of the control's type library, written from the member
// table: the Windows build compiles it with widl into the type library embedded in the DLL.
// The file in the tree (com/tmvvelka.idl) is this text; a test holds the two together, so the
// type library can never drift from the table.
#include <string>

#include "automation/type_info.h"

namespace velka {

std::string TypeLibraryIdl(const TypeLibraryInfo& library);

}  // namespace velka
