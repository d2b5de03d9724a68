// The poll(2) event loop.
#include "platform/posix/poll_event_loop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>
#include <vector>

#include "platform/posix/loop_readiness.h"

namespace velka {

namespace {

// Readiness that the watch owner must look at: data, or the end of the descriptor.
constexpr short kReadableEvents = POLLIN | POLLPRI | POLLHUP | POLLERR | POLLNVAL;

// Clears a running flag however the callback leaves.
class RunningFlag {
 public:
  explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() { flag_ = false; }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;

 private:
  bool& flag_;
};

template <typename T>
void DropExpired(std::vector<std::weak_ptr<T>>& items) {
  std::erase_if(items, [](const std::weak_ptr<T>& w) { return w.expired(); });
}

}  // namespace

// The loop keeps weak references only: a Timer or ReadWatch object owns its state, so
// destroying it (even from its own callback) unregisters it, and one that outlives the loop
// stays harmless.
struct PollEventLoop::Impl {
  struct TimerState {
    std::function<void()> on_tick;
    Millis interval = 0;
    Millis deadline = 0;
    bool active = false;
    bool destroyed = false;
    bool running = false;     // its callback is on the stack
    unsigned long order = 0;  // dispatch order of timers due at the same moment
  };

  struct WatchState {
    int fd = -1;
    std::function<void()> on_readable;
    bool enabled = true;
    bool destroyed = false;
    bool running = false;
    bool invalid = false;  // poll() reported the descriptor closed: never polled again
  };

  std::vector<std::weak_ptr<TimerState>> timers;
  std::vector<std::weak_ptr<WatchState>> watches;
  unsigned long next_order = 0;
  std::unique_ptr<LoopReadiness> readiness;  // made when a host first asks for it

  static bool Due(const TimerState& t, Millis now) {
    return t.active && !t.destroyed && !t.running && t.interval > 0 && t.deadline <= now;
  }
  static bool Pollable(const WatchState& w) {
    return w.enabled && !w.destroyed && !w.running && !w.invalid;
  }

  std::optional<Millis> nextDeadline() const;
  // Brings the readiness descriptor up to date after a change of timers or watches.
  void updateReadiness();
  void dispatchTimers();
  void dispatchWatches();
  void processPendingEvents();
  void waitForEvents(NativeHandle wake_fd, Millis max_wait_ms);
};

namespace {

using TimerState = PollEventLoop::Impl::TimerState;
using WatchState = PollEventLoop::Impl::WatchState;

class PollTimer : public Timer {
 public:
  PollTimer(std::weak_ptr<PollEventLoop::Impl> loop, std::shared_ptr<TimerState> state)
      : loop_(std::move(loop)), state_(std::move(state)) {}
  ~PollTimer() override {
    state_->active = false;
    state_->destroyed = true;
    if (auto loop = loop_.lock()) loop->updateReadiness();
  }

  void setInterval(Millis interval_ms) override {
    state_->interval = interval_ms;
    if (state_->active) start();
  }
  Millis interval() const override { return state_->interval; }
  void start() override {
    state_->active = true;
    state_->deadline = MonotonicMillis() + state_->interval;
    if (auto loop = loop_.lock()) {
      state_->order = loop->next_order++;
      loop->updateReadiness();
    }
  }
  void stop() override {
    state_->active = false;
    if (auto loop = loop_.lock()) loop->updateReadiness();
  }
  bool isActive() const override { return state_->active; }

 private:
  std::weak_ptr<PollEventLoop::Impl> loop_;
  std::shared_ptr<TimerState> state_;
};

class PollWatch : public ReadWatch {
 public:
  PollWatch(std::weak_ptr<PollEventLoop::Impl> loop, std::shared_ptr<WatchState> state)
      : loop_(std::move(loop)), state_(std::move(state)) {}
  ~PollWatch() override {
    state_->enabled = false;
    state_->destroyed = true;
    if (auto loop = loop_.lock()) loop->updateReadiness();
  }
  void setEnabled(bool enabled) override {
    state_->enabled = enabled;
    if (auto loop = loop_.lock()) loop->updateReadiness();
  }
  bool isEnabled() const override { return state_->enabled; }

 private:
  std::weak_ptr<PollEventLoop::Impl> loop_;
  std::shared_ptr<WatchState> state_;
};

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

std::optional<Millis> PollEventLoop::Impl::nextDeadline() const {
  std::optional<Millis> next;
  for (const auto& w : timers) {
    auto t = w.lock();
    if (!t || !t->active || t->destroyed || t->running || t->interval <= 0) continue;
    if (!next || t->deadline < *next) next = t->deadline;
  }
  return next;
}

void PollEventLoop::Impl::updateReadiness() {
  if (!readiness) return;
  std::vector<int> watched;
  for (const auto& w : watches) {
    // A watch whose callback is running counts: it is back in the poll set once it returns.
    auto s = w.lock();
    if (s && s->enabled && !s->destroyed && !s->invalid) watched.push_back(s->fd);
  }
  readiness->update(std::move(watched), nextDeadline());
}

void PollEventLoop::Impl::dispatchTimers() {
  const Millis now = MonotonicMillis();
  std::vector<std::shared_ptr<TimerState>> due;
  for (const auto& w : timers) {
    if (auto t = w.lock(); t && Due(*t, now)) due.push_back(std::move(t));
  }
  std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
    return a->deadline != b->deadline ? a->deadline < b->deadline : a->order < b->order;
  });
  for (auto& t : due) {
    // An earlier callback may have stopped, restarted or destroyed this one.
    if (!Due(*t, now)) continue;
    // Keep the cadence, but a tick that comes late is not followed by a burst of ticks.
    t->deadline += t->interval;
    if (t->deadline <= now) t->deadline = now + t->interval;
    RunningFlag running(t->running);
    t->on_tick();
  }
}

void PollEventLoop::Impl::dispatchWatches() {
  std::vector<std::shared_ptr<WatchState>> candidates;
  std::vector<pollfd> fds;
  for (const auto& w : watches) {
    auto s = w.lock();
    if (!s || !Pollable(*s)) continue;
    fds.push_back({s->fd, POLLIN, 0});
    candidates.push_back(std::move(s));
  }
  if (fds.empty()) return;
  int n;
  do {
    n = ::poll(fds.data(), fds.size(), 0);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return;

  bool called = false;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    auto& s = candidates[i];
    short revents = fds[i].revents;
    if (!(revents & kReadableEvents) || !Pollable(*s)) continue;
    // An earlier callback may have drained this descriptor.
    if (called) {
      revents = PollOnce(s->fd);
      if (!(revents & kReadableEvents)) continue;
    }
    if (revents & POLLNVAL) s->invalid = true;
    RunningFlag running(s->running);
    called = true;
    s->on_readable();
  }
}

void PollEventLoop::Impl::processPendingEvents() {
  dispatchTimers();
  dispatchWatches();
  DropExpired(timers);
  DropExpired(watches);
  // Deadlines moved on and descriptors were drained: the host's next wait must see that.
  updateReadiness();
}

void PollEventLoop::Impl::waitForEvents(NativeHandle wake_fd, Millis max_wait_ms) {
  std::vector<pollfd> fds;
  if (wake_fd >= 0) fds.push_back({wake_fd, POLLIN, 0});
  const std::size_t first_watch = fds.size();
  std::vector<std::shared_ptr<WatchState>> polled;
  for (const auto& w : watches) {
    auto s = w.lock();
    if (!s || !Pollable(*s)) continue;
    fds.push_back({s->fd, POLLIN, 0});
    polled.push_back(std::move(s));
  }

  const Millis start = MonotonicMillis();
  std::optional<Millis> until = nextDeadline();
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
  auto state = std::make_shared<Impl::TimerState>();
  state->on_tick = std::move(on_tick);
  DropExpired(impl_->timers);
  impl_->timers.push_back(state);
  return std::make_unique<PollTimer>(impl_, std::move(state));
}

std::unique_ptr<ReadWatch> PollEventLoop::watchReadable(NativeHandle fd,
                                                        std::function<void()> on_readable) {
  auto state = std::make_shared<Impl::WatchState>();
  state->fd = fd;
  state->on_readable = std::move(on_readable);
  DropExpired(impl_->watches);
  impl_->watches.push_back(state);
  impl_->updateReadiness();
  return std::make_unique<PollWatch>(impl_, std::move(state));
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
    impl_->updateReadiness();
  }
  return impl_->readiness->handle();
}

Millis PollEventLoop::millisUntilNextTimer() const {
  const std::optional<Millis> next = impl_->nextDeadline();
  if (!next) return -1;
  return std::max<Millis>(*next - MonotonicMillis(), 0);
}

}  // namespace velka
