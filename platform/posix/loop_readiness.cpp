// The poll loop's readiness descriptor: epoll over the watched descriptors and a timerfd.
#include "platform/posix/loop_readiness.h"

#include <sys/epoll.h>
#include <sys/timerfd.h>
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
  const int timer_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (timer_fd < 0 || !Watch(epoll_fd, timer_fd)) {
    if (timer_fd >= 0) ::close(timer_fd);
    ::close(epoll_fd);
    return nullptr;
  }
  return std::unique_ptr<LoopReadiness>(new LoopReadiness(epoll_fd, timer_fd));
}

LoopReadiness::LoopReadiness(int epoll_fd, int timer_fd)
    : epoll_fd_(epoll_fd), timer_fd_(timer_fd) {}

LoopReadiness::~LoopReadiness() {
  ::close(timer_fd_);
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
  // still ahead has not fired yet.
  if (deadline_ms == armed_) return;
  itimerspec spec{};
  if (deadline_ms) {
    const Millis wait_ms = *deadline_ms - MonotonicMillis();
    if (wait_ms <= 0) {
      spec.it_value.tv_nsec = 1;  // due now (0 would disarm it)
    } else {
      spec.it_value.tv_sec = static_cast<time_t>(wait_ms / 1000);
      spec.it_value.tv_nsec = static_cast<long>(wait_ms % 1000) * 1000000L;
    }
  }
  // Setting the timer also drops the expirations counted so far.
  if (::timerfd_settime(timer_fd_, 0, &spec, nullptr) == 0) armed_ = deadline_ms;
}

}  // namespace velka
