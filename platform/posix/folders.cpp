// Folders on POSIX: readdir(3) and mkdir(2).
#include "platform/folders.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "platform/file_status.h"

namespace velka {

std::vector<std::string> ListFolder(const std::string& folder) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return names;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  return names;
}

bool CreateFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0777) == 0) return true;
  return errno == EEXIST && IsFolder(folder);
}

}  // namespace velka
