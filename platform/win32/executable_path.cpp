// The running program's file, from the module table of the process.
#include "platform/executable_path.h"

#include "platform/win32/module_file.h"

namespace velka {

std::string ExecutablePath() {
  return win32::ModuleFileName(nullptr);
}

}  // namespace velka
