// The poll(2) event loop.
#include "platform/posix/poll_event_loop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>
#include <vector>

#include "platform/loop_registry.h"
#include "platform/posix/loop_readiness.h"

namespace velka {

namespace {

// Readiness that the watch owner must look at: data, or the end of the descriptor.
constexpr short kReadableEvents = POLLIN | POLLPRI | POLLHUP | POLLERR | POLLNVAL;

// One non-blocking look at a single descriptor.
short PollOnce(int fd) {
  pollfd p{fd, POLLIN, 0};
  int n;
  do {
    n = ::poll(&p, 1, 0);
  } while (n < 0 && errno == EINTR);
  return n > 0 ? p.revents : 0;
}

int PollTimeout(std::optional<Millis> wait_ms) {
  if (!wait_ms) return -1;
  return static_cast<int>(std::clamp<Millis>(*wait_ms, 0, INT_MAX));
}

}  // namespace

// The timers and watches are the registry's; the loop polls the watched descriptors.
struct PollEventLoop::Impl {
  std::shared_ptr<LoopRegistry> registry = LoopRegistry::Create();
  std::unique_ptr<LoopReadiness> readiness;  // made when a host first asks for it

  // Brings the readiness descriptor up to date after a change of timers or watches.
  void updateReadiness() {
    if (readiness) readiness->update(registry->watchedHandles(), registry->nextDeadline());
  }
  void dispatchWatches();
  void processPendingEvents();
  void waitForEvents(NativeHandle wake_fd, Millis max_wait_ms);
};

void PollEventLoop::Impl::dispatchWatches() {
  const auto candidates = registry->waitableWatches();
  std::vector<pollfd> fds;
  for (const auto& w : candidates) fds.push_back({w->handle, POLLIN, 0});
  if (fds.empty()) return;
  int n;
  do {
    n = ::poll(fds.data(), fds.size(), 0);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return;

  bool called = false;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    auto& w = candidates[i];
    short revents = fds[i].revents;
    if (!(revents & kReadableEvents) || !w->waitable()) continue;
    // An earlier callback may have drained this descriptor.
    if (called) {
      revents = PollOnce(w->handle);
      if (!(revents & kReadableEvents)) continue;
    }
    if (revents & POLLNVAL) w->invalid = true;
    called = true;
    LoopRegistry::Call(*w);
  }
}

void PollEventLoop::Impl::processPendingEvents() {
  registry->dispatchTimers();
  dispatchWatches();
  // Deadlines moved on and descriptors were drained: the host's next wait must see that.
  updateReadiness();
}

void PollEventLoop::Impl::waitForEvents(NativeHandle wake_fd, Millis max_wait_ms) {
  std::vector<pollfd> fds;
  if (wake_fd >= 0) fds.push_back({wake_fd, POLLIN, 0});
  std::size_t first_watch = fds.size();
  const auto polled = registry->waitableWatches();
  for (const auto& w : polled) fds.push_back({w->handle, POLLIN, 0});

  const Millis start = MonotonicMillis();
  std::optional<Millis> until = registry->nextDeadline();
  if (max_wait_ms >= 0 && (!until || start + max_wait_ms < *until)) until = start + max_wait_ms;

  for (;;) {
    std::optional<Millis> wait_ms;
    if (until) wait_ms = *until - MonotonicMillis();
    const int n = ::poll(fds.data(), fds.size(), PollTimeout(wait_ms));
    if (n <= 0) break;  // deadline reached, or a signal the caller may want to look at
    // A wake descriptor that is not open would end every wait at once: drop it and go on
    // sleeping for what is left of the wait.
    if (first_watch == 1 && (fds[0].revents & POLLNVAL)) {
      fds.erase(fds.begin());
      first_watch = 0;
      if (fds.empty() && !until) break;  // nothing left that could ever wake us
      continue;
    }
    for (std::size_t i = first_watch; i < fds.size(); ++i) {
      if (fds[i].revents & POLLNVAL) polled[i - first_watch]->invalid = true;
    }
    break;
  }
  processPendingEvents();
}

PollEventLoop::PollEventLoop() : impl_(std::make_shared<Impl>()) {}
PollEventLoop::~PollEventLoop() = default;

Millis PollEventLoop::now() const {
  return MonotonicMillis();
}

std::unique_ptr<Timer> PollEventLoop::createTimer(std::function<void()> on_tick) {
  return impl_->registry->createTimer(std::move(on_tick));
}

std::unique_ptr<ReadWatch> PollEventLoop::watchReadable(NativeHandle fd,
                                                        std::function<void()> on_readable) {
  return impl_->registry->createWatch(fd, std::move(on_readable));
}

void PollEventLoop::processPendingEvents() {
  impl_->processPendingEvents();
}

void PollEventLoop::waitForEvents(NativeHandle wake_fd, Millis max_wait_ms) {
  impl_->waitForEvents(wake_fd, max_wait_ms);
}

NativeHandle PollEventLoop::readinessHandle() {
  if (!impl_->readiness) {
    impl_->readiness = LoopReadiness::Create();
    if (!impl_->readiness) return kNoHandle;
    Impl* impl = impl_.get();
    impl_->registry->setOnChange([impl] { impl->updateReadiness(); });
    impl_->updateReadiness();
  }
  return impl_->readiness->handle();
}

Millis PollEventLoop::millisUntilNextTimer() const {
  const std::optional<Millis> next = impl_->registry->nextDeadline();
  if (!next) return -1;
  return std::max<Millis>(*next - MonotonicMillis(), 0);
}

}  // namespace velka
