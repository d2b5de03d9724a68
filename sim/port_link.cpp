#include "sim/port_link.h"

#include <filesystem>
#include <system_error>

#include "platform/port_map.h"

namespace velka::sim {

namespace fs = std::filesystem;

std::string PortLink::Folder() {
  return UserPortsFolder();
}

PortLink::PortLink(int port, const std::string& device) : device_(device) {
  if (port < 1) {
    error_ = "port numbers start at 1";
    return;
  }
  path_ = Folder() + "/com" + std::to_string(port);
  std::error_code ec;
  fs::create_directories(Folder(), ec);
  if (ec) {
    error_ = "cannot create " + Folder() + ": " + ec.message();
    return;
  }
  const fs::file_status status = fs::symlink_status(path_, ec);
  if (fs::exists(status) && !fs::is_directory(status)) fs::remove(path_, ec);
  fs::create_symlink(device_, path_, ec);
  if (ec) {
    error_ = "cannot link " + path_ + ": " + ec.message();
    return;
  }
  ok_ = true;
}

PortLink::~PortLink() {
  if (!ok_) return;
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path_, ec)) && fs::read_symlink(path_, ec) == device_) {
    fs::remove(path_, ec);
  }
}

}  // namespace velka::sim
