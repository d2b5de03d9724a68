#pragma once
// The port link of the simulated register: $XDG_CONFIG_HOME/TMV SPA/ports/com<N>, a symbolic
// link naming the register's pseudo-terminal, so that a control opening port N reaches it.
#include <string>

namespace velka::sim {

class PortLink {
 public:
  // Links com<port> to `device`, creating the folder and replacing an earlier link or file
  // of that name (left by a register that did not end cleanly). On failure ok() is false.
  PortLink(int port, const std::string& device);
  // Removes the link, unless it no longer names this device (another register took it).
  ~PortLink();
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;

  bool ok() const { return ok_; }
  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }

  static std::string Folder();

 private:
  bool ok_ = false;
  std::string path_;
  std::string device_;
  std::string error_;
};

}  // namespace velka::sim
