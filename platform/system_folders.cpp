// The machine-wide data and configuration folders, read from the environment.
#include "platform/system_folders.h"

#include <algorithm>
#include <cstdlib>

namespace velka {

namespace {

// A list from the environment longer than this is not a list of folders.
constexpr std::size_t kMaxListLength = 64 * 1024;

std::vector<std::string> FoldersFrom(const char* variable, std::string_view fallback) {
  const char* value = std::getenv(variable);
  if (value != nullptr) {
    const std::string_view text(value);
    if (text.size() <= kMaxListLength) {
      std::vector<std::string> folders = FolderList(text);
      if (!folders.empty()) return folders;
    }
  }
  return FolderList(fallback);
}

}  // namespace

std::vector<std::string> FolderList(std::string_view text) {
  std::vector<std::string> folders;
  while (!text.empty()) {
    const std::size_t colon = text.find(':');
    std::string folder(text.substr(0, colon));
    text = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.empty() || folder.front() != '/') continue;
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
      folders.push_back(std::move(folder));
    }
  }
  return folders;
}

std::vector<std::string> SystemDataFolders() {
  return FoldersFrom("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
}

std::vector<std::string> SystemConfigFolders() {
  return FoldersFrom("XDG_CONFIG_DIRS", "/etc/xdg");
}

}  // namespace velka
