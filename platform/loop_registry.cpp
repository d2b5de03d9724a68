#include "platform/loop_registry.h"

#include <algorithm>

namespace velka {

namespace {

// Sets a flag while a callback runs, and clears it however the callback leaves.
class RunningFlag {
 public:
  explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() { flag_ = false; }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;

 private:
  bool& flag_;
};

// The items still owned by their objects; the others are forgotten.
template <typename T>
std::vector<std::shared_ptr<T>> Live(std::vector<std::weak_ptr<T>>& items) {
  std::erase_if(items, [](const std::weak_ptr<T>& w) { return w.expired(); });
  std::vector<std::shared_ptr<T>> live;
  for (const auto& w : items) {
    if (auto s = w.lock()) live.push_back(std::move(s));
  }
  return live;
}

class RegistryTimer : public Timer {
 public:
  RegistryTimer(std::shared_ptr<LoopTimerState> state, std::weak_ptr<LoopRegistry> registry)
      : state_(std::move(state)), registry_(std::move(registry)) {}
  // Unregisters at once: a pass that already took this timer as due must not run it.
  ~RegistryTimer() override {
    state_->active = false;
    changed();
  }

  void setInterval(Millis interval_ms) override {
    state_->interval = interval_ms;
    if (state_->active) start();
  }
  Millis interval() const override { return state_->interval; }
  void start() override {
    state_->active = true;
    state_->deadline = MonotonicMillis() + state_->interval;
    const auto registry = registry_.lock();
    state_->order = registry ? registry->nextOrder() : 0UL;
    changed();
  }
  void stop() override {
    state_->active = false;
    changed();
  }
  bool isActive() const override { return state_->active; }

 private:
  void changed() {
    if (const auto registry = registry_.lock()) registry->changed();
  }
  std::shared_ptr<LoopTimerState> state_;
  std::weak_ptr<LoopRegistry> registry_;
};

class RegistryWatch : public ReadWatch {
 public:
  RegistryWatch(std::shared_ptr<LoopWatchState> state, std::weak_ptr<LoopRegistry> registry)
      : state_(std::move(state)), registry_(std::move(registry)) {}
  ~RegistryWatch() override {
    state_->enabled = false;
    changed();
  }
  void setEnabled(bool enabled) override {
    state_->enabled = enabled;
    changed();
  }
  bool isEnabled() const override { return state_->enabled; }

 private:
  void changed() {
    if (const auto registry = registry_.lock()) registry->changed();
  }
  std::shared_ptr<LoopWatchState> state_;
  std::weak_ptr<LoopRegistry> registry_;
};

}  // namespace

std::shared_ptr<LoopRegistry> LoopRegistry::Create() {
  return std::shared_ptr<LoopRegistry>(new LoopRegistry());
}

std::unique_ptr<Timer> LoopRegistry::createTimer(std::function<void()> on_tick) {
  auto state = std::make_shared<LoopTimerState>();
  state->on_tick = std::move(on_tick);
  Live(timers_);
  timers_.push_back(state);
  return std::make_unique<RegistryTimer>(std::move(state), weak_from_this());
}

std::unique_ptr<ReadWatch> LoopRegistry::createWatch(NativeHandle handle,
                                                     std::function<void()> on_ready) {
  auto state = std::make_shared<LoopWatchState>();
  state->handle = handle;
  state->on_ready = std::move(on_ready);
  Live(watches_);
  watches_.push_back(state);
  changed();
  return std::make_unique<RegistryWatch>(std::move(state), weak_from_this());
}

std::optional<Millis> LoopRegistry::nextDeadline() {
  std::optional<Millis> next;
  for (const auto& t : Live(timers_)) {
    if (!t->active || t->running || t->interval <= 0) continue;
    if (!next || t->deadline < *next) next = t->deadline;
  }
  return next;
}

void LoopRegistry::dispatchTimers() {
  const Millis now = MonotonicMillis();
  auto due = Live(timers_);
  std::erase_if(due, [now](const auto& t) { return !t->due(now); });
  std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
    return a->deadline != b->deadline ? a->deadline < b->deadline : a->order < b->order;
  });
  for (auto& t : due) {
    if (!t->due(now)) continue;  // an earlier callback stopped, restarted or destroyed it
    t->deadline += t->interval;
    if (t->deadline <= now) t->deadline = now + t->interval;
    RunningFlag running(t->running);
    t->on_tick();
  }
}

std::vector<std::shared_ptr<LoopWatchState>> LoopRegistry::waitableWatches() {
  auto live = Live(watches_);
  std::erase_if(live, [](const auto& w) { return !w->waitable(); });
  return live;
}

std::vector<NativeHandle> LoopRegistry::watchedHandles() {
  std::vector<NativeHandle> handles;
  for (const auto& w : Live(watches_)) {
    if (w->enabled && !w->invalid) handles.push_back(w->handle);
  }
  return handles;
}

void LoopRegistry::Call(LoopWatchState& watch) {
  RunningFlag running(watch.running);
  watch.on_ready();
}

}  // namespace velka
