#pragma once
// One descriptor that is readable exactly while the poll loop has work: an epoll set holding
// the loop's watched descriptors and a precise alarm set for its next timer deadline. The loop
// tells it what it watches and when its next timer is due after every change; a host's own
// loop waits on the descriptor (system_event_loop.h).
#include <memory>
#include <optional>
#include <vector>

#include "platform/monotonic_clock.h"
#include "platform/precise_alarm.h"

namespace velka {

class LoopReadiness {
 public:
  // Null when the system has no descriptor left for it.
  static std::unique_ptr<LoopReadiness> Create();
  ~LoopReadiness();
  LoopReadiness(const LoopReadiness&) = delete;
  LoopReadiness& operator=(const LoopReadiness&) = delete;

  // The epoll descriptor.
  int handle() const { return epoll_fd_; }

  // Makes the descriptor readable when one of watched becomes readable (or hung up) or when
  // the monotonic time reaches deadline_ms. A descriptor that epoll cannot watch (a regular
  // file, which poll(2) reports always readable) makes it readable at once.
  void update(std::vector<int> watched, std::optional<Millis> deadline_ms);

 private:
  LoopReadiness(int epoll_fd, std::unique_ptr<PreciseAlarm> alarm);
  void arm(std::optional<Millis> deadline_ms);

  int epoll_fd_;
  std::unique_ptr<PreciseAlarm> alarm_;
  std::vector<int> registered_;  // sorted
  std::vector<int> unwatchable_;
  std::optional<Millis> armed_;
};

}  // namespace velka
