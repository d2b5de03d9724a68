#pragma once
// The register's end of a pseudo-terminal.
//
// The register keeps a descriptor of the slave open itself, so the line never hangs up
// when a control closes it and a new control can open the same slave path again. Controls
// coming and going are seen through a watch (inotify) on the slave's device node. When the
// last one has closed the line, the register throws away what nobody read and clears the
// exclusive-use flag a control may have set (on a pseudo-terminal it outlives the close).
#include <cstddef>
#include <string>

#include "sim/register_frames.h"

namespace velka::sim {

class PtyEndpoint {
 public:
  PtyEndpoint();
  ~PtyEndpoint();
  PtyEndpoint(const PtyEndpoint&) = delete;
  PtyEndpoint& operator=(const PtyEndpoint&) = delete;

  bool ok() const { return master_ >= 0; }
  const std::string& error() const { return error_; }
  const std::string& slavePath() const { return slave_path_; }

  int masterDescriptor() const { return master_; }
  // Readable when a control opens or closes the slave; -1 when the watch is not available
  // (then the line counts as always in use).
  int presenceDescriptor() const { return presence_; }

  struct Presence {
    bool opened = false;       // a control opened the slave
    bool last_closed = false;  // the last control closed it
  };
  // Takes the waiting notices of the presence watch.
  Presence readPresence();
  bool inUse() const { return presence_ < 0 || users_ > 0; }
  // After the last control left: drops unread output, clears exclusive use.
  void clearAfterHangUp();

  // At most `limit` bytes waiting on the master (possibly none).
  Bytes read(std::size_t limit);
  // Writes what the line takes now; returns how many bytes were taken.
  std::size_t write(const std::uint8_t* data, std::size_t size);

 private:
  int master_ = -1;
  int keeper_ = -1;  // the register's own slave descriptor
  int presence_ = -1;
  int users_ = 0;
  std::string slave_path_;
  std::string error_;
};

}  // namespace velka::sim
