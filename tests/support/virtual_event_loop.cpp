#include "tests/support/virtual_event_loop.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace velka {

struct VirtualEventLoop::TimerState {
  std::function<void()> on_tick;
  Millis interval = 0;
  Millis deadline = 0;
  bool active = false;
  bool running = false;  // its callback is on the stack
  long sequence = 0;     // dispatch order of timers due at the same moment
};

struct VirtualEventLoop::WatchState {
  NativeHandle handle = kNoHandle;
  std::function<void()> on_readable;
  bool enabled = true;
  bool running = false;
};

namespace {

class VirtualTimer : public Timer {
 public:
  VirtualTimer(VirtualEventLoop& loop, std::shared_ptr<VirtualEventLoop::TimerState> state,
               long& sequence)
      : loop_(loop), state_(std::move(state)), sequence_(sequence) {}
  // Unregisters at once: a pass that already took this timer as due must not run it.
  ~VirtualTimer() override { state_->active = false; }

  void setInterval(Millis interval_ms) override {
    state_->interval = interval_ms;
    if (state_->active) start();
  }
  Millis interval() const override { return state_->interval; }
  void start() override {
    state_->active = true;
    state_->deadline = loop_.now() + state_->interval;
    state_->sequence = sequence_++;
  }
  void stop() override { state_->active = false; }
  bool isActive() const override { return state_->active; }

 private:
  VirtualEventLoop& loop_;
  std::shared_ptr<VirtualEventLoop::TimerState> state_;
  long& sequence_;
};

class VirtualWatch : public ReadWatch {
 public:
  explicit VirtualWatch(std::shared_ptr<VirtualEventLoop::WatchState> state)
      : state_(std::move(state)) {}
  ~VirtualWatch() override { state_->enabled = false; }
  void setEnabled(bool enabled) override { state_->enabled = enabled; }
  bool isEnabled() const override { return state_->enabled; }

 private:
  std::shared_ptr<VirtualEventLoop::WatchState> state_;
};

// The handle numbered n: an integer on systems whose handles are integers, else a pointer
// value that no real handle has.
template <typename Handle>
Handle HandleNumbered(long n) {
  if constexpr (std::is_pointer_v<Handle>) {
    return reinterpret_cast<Handle>(static_cast<std::intptr_t>(n));
  } else {
    return static_cast<Handle>(n);
  }
}

template <typename T>
void DropExpired(std::vector<std::weak_ptr<T>>& items) {
  items.erase(std::remove_if(items.begin(), items.end(),
                             [](const std::weak_ptr<T>& w) { return w.expired(); }),
              items.end());
}

}  // namespace

VirtualEventLoop::VirtualEventLoop(Millis start_ms) : now_(start_ms) {}
VirtualEventLoop::~VirtualEventLoop() = default;

std::unique_ptr<Timer> VirtualEventLoop::createTimer(std::function<void()> on_tick) {
  auto state = std::make_shared<TimerState>();
  state->on_tick = std::move(on_tick);
  DropExpired(timers_);
  timers_.push_back(state);
  return std::make_unique<VirtualTimer>(*this, std::move(state), next_sequence_);
}

std::unique_ptr<ReadWatch> VirtualEventLoop::watchReadable(NativeHandle handle,
                                                           std::function<void()> on_readable) {
  auto state = std::make_shared<WatchState>();
  state->handle = handle;
  state->on_readable = std::move(on_readable);
  DropExpired(watches_);
  watches_.push_back(state);
  return std::make_unique<VirtualWatch>(std::move(state));
}

NativeHandle VirtualEventLoop::addSource(VirtualSource* source) {
  const NativeHandle handle = HandleNumbered<NativeHandle>(next_handle_++);
  sources_.push_back({handle, source});
  return handle;
}

void VirtualEventLoop::removeSource(NativeHandle handle) {
  sources_.erase(std::remove_if(sources_.begin(), sources_.end(),
                                [&](const SourceEntry& e) { return e.handle == handle; }),
                 sources_.end());
}

bool VirtualEventLoop::sourceReadable(NativeHandle handle) const {
  for (const auto& e : sources_) {
    if (e.handle == handle) return e.source->readable(now_);
  }
  return false;
}

std::optional<Millis> VirtualEventLoop::sourceNextReady(NativeHandle handle) const {
  for (const auto& e : sources_) {
    if (e.handle == handle) return e.source->nextReadyTime(now_);
  }
  return std::nullopt;
}

void VirtualEventLoop::processPendingEvents() {
  // Timers due now, in deadline order; each is checked again just before it runs, since an
  // earlier callback may have stopped or restarted it.
  std::vector<std::shared_ptr<TimerState>> due;
  for (auto& w : timers_) {
    if (auto t = w.lock()) {
      if (t->active && !t->running && t->interval > 0 && t->deadline <= now_) due.push_back(t);
    }
  }
  std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
    return a->deadline != b->deadline ? a->deadline < b->deadline : a->sequence < b->sequence;
  });
  for (auto& t : due) {
    if (!(t->active && !t->running && t->interval > 0 && t->deadline <= now_)) continue;
    t->deadline += t->interval;
    if (t->deadline <= now_) t->deadline = now_ + t->interval;
    t->running = true;
    auto callback = t->on_tick;  // the timer may be destroyed by its own callback
    callback();
    t->running = false;
  }

  std::vector<std::shared_ptr<WatchState>> ready;
  for (auto& w : watches_) {
    if (auto s = w.lock()) {
      if (s->enabled && !s->running && sourceReadable(s->handle)) ready.push_back(s);
    }
  }
  for (auto& s : ready) {
    if (!(s->enabled && !s->running && sourceReadable(s->handle))) continue;
    s->running = true;
    auto callback = s->on_readable;
    callback();
    s->running = false;
  }
  DropExpired(timers_);
  DropExpired(watches_);
}

void VirtualEventLoop::waitForEvents(NativeHandle wake, Millis max_wait_ms) {
  ++wake_count_;
  if (wake != kNoHandle && sourceReadable(wake)) {
    processPendingEvents();
    return;
  }
  constexpr Millis kNever = std::numeric_limits<Millis>::max();
  Millis next = kNever;
  for (auto& w : timers_) {
    if (auto t = w.lock()) {
      if (t->active && !t->running && t->interval > 0) next = std::min(next, t->deadline);
    }
  }
  for (auto& w : watches_) {
    if (auto s = w.lock()) {
      if (!s->enabled || s->running) continue;
      if (sourceReadable(s->handle)) next = std::min(next, now_);
      if (auto at = sourceNextReady(s->handle)) next = std::min(next, *at);
    }
  }
  if (wake != kNoHandle) {
    if (auto at = sourceNextReady(wake)) next = std::min(next, *at);
  }
  if (max_wait_ms >= 0) next = std::min(next, now_ + max_wait_ms);
  if (next == kNever) {
    throw VirtualDeadlock("the blocking step would sleep for ever: no timer, byte or bound");
  }
  now_ = std::max(now_, next);
  processPendingEvents();
}

void VirtualEventLoop::advance(Millis duration_ms) {
  const Millis until = now_ + duration_ms;
  while (now_ < until) waitForEvents(kNoHandle, until - now_);
  processPendingEvents();
}

bool VirtualEventLoop::runUntil(const std::function<bool()>& done, Millis limit_ms) {
  const Millis until = now_ + limit_ms;
  processPendingEvents();
  while (!done() && now_ < until) waitForEvents(kNoHandle, until - now_);
  return done();
}

}  // namespace velka
