#pragma once
// The file a loaded module (a program or a library of the process) was loaded from.
#include <string>

namespace velka::win32 {

// Null module: the program's own file. Folders are separated by "/", as the tree joins paths
// (the system takes both). Empty when the system cannot tell.
std::string ModuleFileName(void* module);

}  // namespace velka::win32
