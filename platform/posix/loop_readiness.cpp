// The poll loop's readiness descriptor: epoll over the watched descriptors and a precise alarm.
#include "platform/posix/loop_readiness.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

namespace velka {

namespace {

bool Watch(int epoll_fd, int fd) {
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.fd = fd;
  if (::epoll_ctl(epoll_fd, EPOLL_CTL_ADD, fd, &event) == 0) return true;
  return errno == EEXIST && ::epoll_ctl(epoll_fd, EPOLL_CTL_MOD, fd, &event) == 0;
}

void Unwatch(int epoll_fd, int fd) {
  // A descriptor closed meanwhile has left the set by itself.
  ::epoll_ctl(epoll_fd, EPOLL_CTL_DEL, fd, nullptr);
}

}  // namespace

std::unique_ptr<LoopReadiness> LoopReadiness::Create() {
  const int epoll_fd = ::epoll_create1(EPOLL_CLOEXEC);
  if (epoll_fd < 0) return nullptr;
  std::unique_ptr<PreciseAlarm> alarm = PreciseAlarm::Create();
  if (!alarm || !Watch(epoll_fd, alarm->handle())) {
    ::close(epoll_fd);
    return nullptr;
  }
  return std::unique_ptr<LoopReadiness>(new LoopReadiness(epoll_fd, std::move(alarm)));
}

LoopReadiness::LoopReadiness(int epoll_fd, std::unique_ptr<PreciseAlarm> alarm)
    : epoll_fd_(epoll_fd), alarm_(std::move(alarm)) {}

LoopReadiness::~LoopReadiness() {
  alarm_.reset();
  ::close(epoll_fd_);
}

void LoopReadiness::update(std::vector<int> watched, std::optional<Millis> deadline_ms) {
  std::sort(watched.begin(), watched.end());
  watched.erase(std::unique(watched.begin(), watched.end()), watched.end());

  std::vector<int> gone;
  std::set_difference(registered_.begin(), registered_.end(), watched.begin(), watched.end(),
                      std::back_inserter(gone));
  for (int fd : gone) Unwatch(epoll_fd_, fd);

  std::vector<int> now_registered;
  unwatchable_.clear();
  for (int fd : watched) {
    const bool known = std::binary_search(registered_.begin(), registered_.end(), fd);
    if (known || Watch(epoll_fd_, fd)) {
      now_registered.push_back(fd);
    } else {
      unwatchable_.push_back(fd);  // tried again at the next update
    }
  }
  registered_ = std::move(now_registered);

  if (!unwatchable_.empty()) deadline_ms = MonotonicMillis();
  arm(deadline_ms);
}

void LoopReadiness::arm(std::optional<Millis> deadline_ms) {
  // Unchanged: a deadline that has passed has fired and keeps the descriptor readable, one
  // still ahead has not fired yet. Setting the alarm anew drops what it has counted so far;
  // a deadline already passed makes it readable at once.
  if (deadline_ms == armed_) return;
  if (deadline_ms) {
    alarm_->set(*deadline_ms * 1000);
  } else {
    alarm_->clear();
  }
  armed_ = deadline_ms;
}

}  // namespace velka
