// Storing the settings dialog's choices, key by key.
#include "server/jobs/settings_saving.h"

#include "platform/ascii_text.h"
#include "platform/ini_file.h"

namespace velka::server {

namespace {

// "COM1" gives "1": the text after the three letters of "COM".
constexpr std::size_t kPortPrefixLength = 3;

class KeyWriter {
 public:
  KeyWriter(const std::string& path, std::vector<std::string>& unwritten)
      : path_(path), unwritten_(unwritten) {}

  void Store(std::string& setting, const char* key, std::string_view value) {
    setting = std::string(value);
    if (!WriteProfileString(path_, kSettingsSection, key, setting)) unwritten_.push_back(key);
  }

 private:
  const std::string& path_;
  std::vector<std::string>& unwritten_;
};

// The folder rows' settings and keys, in the order of WorkingFolder.
struct FolderKeyEntry {
  std::string ServerSettings::*setting;
  const char* key;
};
constexpr FolderKeyEntry kFolderKeys[] = {
    {&ServerSettings::DirectoryInput, "DirectoryInput"},
    {&ServerSettings::DirectoryOutput, "DirectoryOutput"},
    {&ServerSettings::DirectoryOutputData, "DirectoryOutputData"},
};

std::string PortNumberText(std::string_view shown) {
  return std::string(TrimSpaces(shown.substr(std::min(shown.size(), kPortPrefixLength))));
}

}  // namespace

std::string& FolderSetting(ServerSettings& settings, WorkingFolder folder) {
  return settings.*kFolderKeys[static_cast<std::size_t>(folder)].setting;
}

const char* FolderKey(WorkingFolder folder) {
  return kFolderKeys[static_cast<std::size_t>(folder)].key;
}

void ChooseFolder(ServerSettings& settings, WorkingFolder folder, const std::string& chosen,
                  const std::string& program_folder) {
  FolderSetting(settings, folder) = AdjustFolder(chosen, program_folder);
}

std::vector<std::string> StoreSettings(ServerSettings& settings, const std::string& settings_path,
                                       const SettingsChoice& choice) {
  std::vector<std::string> unwritten;
  KeyWriter writer(settings_path, unwritten);
  if (choice.Frequence)
    writer.Store(settings.Frequence, "Frequence", TrimSpaces(*choice.Frequence));
  if (choice.MaxLogDimension) {
    writer.Store(settings.MaxLogDimension, "MaxLogDimension", TrimSpaces(*choice.MaxLogDimension));
  }
  if (choice.BaudRate) writer.Store(settings.BaudRate, "BaudRate", TrimSpaces(*choice.BaudRate));
  if (choice.Port) writer.Store(settings.Port, "Port", PortNumberText(*choice.Port));
  if (choice.Language) {
    writer.Store(settings.Language, "Language", TrimSpaces(*choice.Language));
    settings.LanguageOffset = LanguageOffsetFor(settings.Language);
  }
  for (WorkingFolder folder : kWorkingFolders) {
    std::string& setting = FolderSetting(settings, folder);
    writer.Store(setting, FolderKey(folder), TrimSpaces(setting));
  }
  return unwritten;
}

}  // namespace velka::server
