#pragma once
// Where the server keeps its settings file, its start and stop files and its lock: the
// folder of the executable, or the folder named by VELKA_SERVER_HOME when that is set (an
// installed copy whose own folder is read-only, and the tests).
#include <string>

namespace velka::server {

// The program folder, without a trailing "/" (except for the root itself).
std::string ProgramFolder();

// The executable's file name without its extension: the name of the job log.
std::string ExecutableName();

}  // namespace velka::server
