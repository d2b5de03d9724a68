#pragma once
// What the settings dialog changes: the working folders, in memory as soon as one is chosen,
// and the chosen values, each put into the in-memory settings and written to its key of
// TMVSERVER.INI ("Parameters") through the INI module, which keeps every other line and key.
//
// Storing goes key by key: a key that cannot be written (a read-only or unwritable settings
// file, a full disk) does not stop the others, and the in-memory value changes all the same;
// the keys not written are handed back so that the operator can be told.
//
// A list the dialog left without a choice (the setting was not among its items) leaves its
// setting as it was, in memory and in the file: its empty text would stop the polling
// (Frequence 0), or make the register's port fail to reopen (Port empty).
#include <optional>
#include <string>
#include <vector>

#include "server/jobs/server_settings.h"

namespace velka::server {

// The rows of the dialog's folder list, in their order.
enum class WorkingFolder { Input, Output, OutputData };
inline constexpr WorkingFolder kWorkingFolders[] = {WorkingFolder::Input, WorkingFolder::Output,
                                                    WorkingFolder::OutputData};

std::string& FolderSetting(ServerSettings& settings, WorkingFolder folder);
const char* FolderKey(WorkingFolder folder);

// A folder chosen by the operator, as the settings reader would take it (a trailing "/").
void ChooseFolder(ServerSettings& settings, WorkingFolder folder, const std::string& chosen,
                  const std::string& program_folder);

// The texts the dialog's lists show for the chosen items; nothing where a list has none.
struct SettingsChoice {
  std::optional<std::string> Frequence;        // "  5"
  std::optional<std::string> MaxLogDimension;  // "  128"
  std::optional<std::string> BaudRate;         // " 9600"
  std::optional<std::string> Port;             // "COM1"
  std::optional<std::string> Language;         // "Italiano"
};

// Stores the choice, then the three folders, in the order of the dialog; returns the keys
// that could not be written (none when all were).
std::vector<std::string> StoreSettings(ServerSettings& settings, const std::string& settings_path,
                                       const SettingsChoice& choice);

}  // namespace velka::server
