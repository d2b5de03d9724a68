// Finding the device of a port number in the ports folders; the default is /dev/ttyS<N-1>.
#include "platform/port_map.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ascii_text.h"
#include "platform/whole_file.h"

namespace velka {

namespace {

// A port file names its device on its first line; nothing longer is read.
constexpr std::size_t kPortFileLimit = 4096;

// The first line of a port file, trimmed; empty when it cannot be read.
std::string FirstLineOf(const std::string& path) {
  const FileRead read = ReadRegularFile(path, kPortFileLimit);
  if (read.status != FileReadStatus::Read && read.status != FileReadStatus::TooLarge) return "";
  const std::string_view text = read.bytes;
  return std::string(TrimSpacesAndTabs(text.substr(0, text.find_first_of("\r\n"))));
}

std::string LinkTarget(const std::string& link) {
  char target[PATH_MAX];
  const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
  return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

std::string Resolved(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

// The device's place in the search; its resolved name besides.
PortLocation Found(PortLocation location) {
  location.resolved = location.device.empty() ? "" : Resolved(location.device);
  return location;
}

PortLocation Search(int port_number) {
  PortLocation location;
  if (port_number < 1) return location;
  const std::string name = "/com" + std::to_string(port_number);
  for (const std::string& folder : PortsFolders()) {
    const std::string entry = folder + name;
    struct stat st {};
    if (::lstat(entry.c_str(), &st) != 0) continue;
    location.entry = entry;
    if (S_ISDIR(st.st_mode)) return location;
    if (!S_ISREG(st.st_mode)) {  // a link (opening follows it) or a device node
      location.device = entry;
      if (S_ISLNK(st.st_mode)) location.named = LinkTarget(entry);
      return location;
    }
    location.named = FirstLineOf(entry);
    // A relative name is read from the entry's folder, as a relative link would be.
    if (!location.named.empty()) {
      location.device =
          location.named.front() == '/' ? location.named : folder + "/" + location.named;
    }
    return location;
  }
  location.device = "/dev/ttyS" + std::to_string(port_number - 1);
  return location;
}

}  // namespace

PortLocation LocatePort(int port_number) {
  return Found(Search(port_number));
}

}  // namespace velka
