#pragma once
// The device's end of a virtual serial line: what the simulated register holds, so that a
// control opens the other end by its path as it opens a real port.
//
// The holder keeps a descriptor of the control's end open itself, so the line never hangs up
// when a control closes it and a new control can open the same path again. Controls coming and
// going are seen through a presence handle. When the last one has closed the line, the holder
// throws away what nobody read and clears the exclusive-use flag a control may have set (on a
// pseudo-terminal it outlives the close).
//
// On POSIX the line is a pseudo-terminal: the holder reads and writes its master, a control
// opens the slave, and the presence handle is an inotify watch on the slave's device node.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/native_handle.h"
#include "platform/serial_port.h"

namespace velka {

class PseudoTerminal {
 public:
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  bool ok() const { return master_ != kNoHandle; }
  const std::string& error() const { return error_; }
  // The path a control opens.
  const std::string& slavePath() const { return slave_path_; }

  // Readable when bytes of a control wait.
  NativeHandle masterHandle() const { return master_; }
  // Readable when a control opens or closes the line; kNoHandle when the watch is not
  // available (then the line counts as always in use).
  NativeHandle presenceHandle() const { return presence_; }

  struct Presence {
    bool opened = false;       // a control opened the line
    bool last_closed = false;  // the last control closed it
  };
  // Takes the waiting notices of the presence watch.
  Presence readPresence();
  bool inUse() const { return presence_ == kNoHandle || users_ > 0; }
  // After the last control left: drops unread output, clears exclusive use.
  void clearAfterHangUp();

  // At most `limit` bytes a control wrote (possibly none).
  Bytes read(std::size_t limit);
  // Writes what the line takes now; returns how many bytes were taken.
  std::size_t write(const std::uint8_t* data, std::size_t size);

 private:
  NativeHandle master_ = kNoHandle;
  NativeHandle keeper_ = kNoHandle;  // the holder's own descriptor of the control's end
  NativeHandle presence_ = kNoHandle;
  int users_ = 0;
  std::string slave_path_;
  std::string error_;
};

}  // namespace velka
