#pragma once
// The file of the running program.
#include <string>

namespace velka {

// The absolute path of the program's executable file; empty when the system cannot tell.
std::string ExecutablePath();

}  // namespace velka
