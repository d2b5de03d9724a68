#pragma once
// The file a loaded module (a program or a library of the process) was loaded from.
#include <string>

namespace velka::win32 {

// Null module: the program's own file. Empty when the system cannot tell.
std::string ModuleFileName(void* module);

}  // namespace velka::win32
