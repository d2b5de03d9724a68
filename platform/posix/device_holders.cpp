// Scanning /proc for the holders of a device.
#include "platform/posix/device_holders.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "platform/ascii_text.h"
#include "platform/whole_file.h"

namespace velka {

namespace {

// Bounds of the scan: a machine with more processes or descriptors than this is only partly
// searched, which at worst leaves a holder unnamed.
constexpr int kMaxProcesses = 32768;
constexpr int kMaxDescriptorsPerProcess = 4096;
constexpr std::size_t kMaxNameBytes = 64;

using Folder = std::unique_ptr<DIR, int (*)(DIR*)>;

Folder OpenFolder(const std::string& path) {
  return Folder(::opendir(path.c_str()), ::closedir);
}

// A process number, or 0 for any other name.
int ProcessNumber(const char* name) {
  int pid = 0;
  for (const char* c = name; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9' || pid > 99999999) return 0;
    pid = pid * 10 + (*c - '0');
  }
  return pid;
}

bool HoldsDevice(const std::string& fd_folder, dev_t device) {
  Folder fds = OpenFolder(fd_folder);
  if (!fds) return false;
  int seen = 0;
  while (dirent* entry = ::readdir(fds.get())) {
    if (++seen > kMaxDescriptorsPerProcess) break;
    if (entry->d_name[0] == '.') continue;
    struct stat st {};
    const std::string fd = fd_folder + "/" + entry->d_name;
    if (::stat(fd.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == device) return true;
  }
  return false;
}

std::string ProcessName(int pid) {
  const FileRead read = ReadRegularFile("/proc/" + std::to_string(pid) + "/comm", kMaxNameBytes);
  if (read.status != FileReadStatus::Read && read.status != FileReadStatus::TooLarge) return "";
  std::string_view name = read.bytes;
  name = name.substr(0, name.find('\n'));
  return std::string(TrimSpacesAndTabs(name));
}

}  // namespace

std::vector<DeviceHolder> DeviceHolders(const std::string& path) {
  std::vector<DeviceHolder> holders;
  struct stat device {};
  if (::stat(path.c_str(), &device) != 0 || !S_ISCHR(device.st_mode)) return holders;
  Folder processes = OpenFolder("/proc");
  if (!processes) return holders;
  int seen = 0;
  while (dirent* entry = ::readdir(processes.get())) {
    const int pid = ProcessNumber(entry->d_name);
    if (pid == 0) continue;
    if (++seen > kMaxProcesses) break;
    if (HoldsDevice("/proc/" + std::string(entry->d_name) + "/fd", device.st_rdev)) {
      holders.push_back({pid, ProcessName(pid)});
    }
  }
  return holders;
}

}  // namespace velka
