// The message-queue event loop.
#include "platform/win32/message_event_loop.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace velka {

namespace {

// One step dispatches at most this many window messages, so that a host flooding its own
// queue cannot keep the control's timers and port from their turn.
constexpr int kMessagesPerStep = 128;
// Handles one wait takes besides the wake handle (the system's limit, less one for messages
// and one for the wake handle).
constexpr std::size_t kMaxWatchedHandles = MAXIMUM_WAIT_OBJECTS - 2;

bool Signalled(HANDLE handle) {
  return ::WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
}
bool Invalid(HANDLE handle) {
  return ::WaitForSingleObject(handle, 0) == WAIT_FAILED;
}

// Sets a flag while a callback runs, and clears it however the callback leaves.
class Running {
 public:
  explicit Running(bool& flag) : flag_(flag) { flag_ = true; }
  ~Running() { flag_ = false; }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  bool& flag_;
};

}  // namespace

// Timers and watches own their state; the loop holds weak references only, so destroying a
// Timer or ReadWatch (even from its own callback) unregisters it at once.
struct MessageEventLoop::Impl {
  struct TimerState {
    std::function<void()> on_tick;
    Millis interval = 0;
    Millis deadline = 0;
    bool active = false;
    bool running = false;
    unsigned long order = 0;
    bool due(Millis now) const { return active && !running && interval > 0 && deadline <= now; }
  };
  struct WatchState {
    HANDLE handle = nullptr;
    std::function<void()> on_readable;
    bool enabled = true;
    bool running = false;
    bool invalid = false;  // the handle was closed under the watch: never waited on again
    bool waitable() const { return enabled && !running && !invalid; }
  };

  std::vector<std::weak_ptr<TimerState>> timers;
  std::vector<std::weak_ptr<WatchState>> watches;
  unsigned long next_order = 0;
  bool quit_seen = false;  // the host's WM_QUIT was handed back: no more message pumping

  template <typename T>
  static std::vector<std::shared_ptr<T>> Live(std::vector<std::weak_ptr<T>>& items) {
    std::erase_if(items, [](const std::weak_ptr<T>& w) { return w.expired(); });
    std::vector<std::shared_ptr<T>> live;
    for (const auto& w : items) {
      if (auto s = w.lock()) live.push_back(std::move(s));
    }
    return live;
  }

  std::optional<Millis> nextDeadline() {
    std::optional<Millis> next;
    for (const auto& t : Live(timers)) {
      if (!t->active || t->running || t->interval <= 0) continue;
      if (!next || t->deadline < *next) next = t->deadline;
    }
    return next;
  }

  void dispatchTimers() {
    const Millis now = MonotonicMillis();
    auto due = Live(timers);
    std::erase_if(due, [now](const auto& t) { return !t->due(now); });
    std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
      return a->deadline != b->deadline ? a->deadline < b->deadline : a->order < b->order;
    });
    for (auto& t : due) {
      if (!t->due(now)) continue;  // an earlier callback stopped or restarted it
      t->deadline += t->interval;
      if (t->deadline <= now) t->deadline = now + t->interval;
      Running running(t->running);
      t->on_tick();
    }
  }

  void dispatchWatches() {
    for (auto& w : Live(watches)) {
      if (!w->waitable()) continue;
      // Tested one at a time: an earlier callback may have drained this handle's source.
      if (Invalid(w->handle)) {
        w->invalid = true;
        continue;
      }
      if (!Signalled(w->handle)) continue;
      Running running(w->running);
      w->on_readable();
    }
  }

  void dispatchMessages() {
    MSG message;
    for (int n = 0; n < kMessagesPerStep && !quit_seen; ++n) {
      if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) break;
      if (message.message == WM_QUIT) {
        // The host's own loop must see it: hand it back, and leave the queue to the host.
        ::PostQuitMessage(static_cast<int>(message.wParam));
        quit_seen = true;
        break;
      }
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }

  void processPendingEvents() {
    dispatchTimers();
    dispatchWatches();
    dispatchMessages();
  }

  void waitForEvents(HANDLE wake, Millis max_wait_ms);
};

void MessageEventLoop::Impl::waitForEvents(HANDLE wake, Millis max_wait_ms) {
  std::vector<HANDLE> handles;
  if (wake != nullptr && !Invalid(wake)) handles.push_back(wake);
  for (auto& w : Live(watches)) {
    if (!w->waitable() || handles.size() > kMaxWatchedHandles) continue;
    if (Invalid(w->handle)) {
      w->invalid = true;
      continue;
    }
    handles.push_back(w->handle);
  }

  const Millis start = MonotonicMillis();
  std::optional<Millis> until = nextDeadline();
  if (max_wait_ms >= 0 && (!until || start + max_wait_ms < *until)) until = start + max_wait_ms;
  DWORD timeout = INFINITE;
  if (until) {
    // Rounded up: the system's wait may end a little early, and a due timer is then found
    // not yet due.
    const Millis left = std::max<Millis>(0, *until - start);
    timeout = static_cast<DWORD>(std::min<Millis>(left + (left > 0 ? 1 : 0), INFINITE - 1));
  }
  const DWORD count = static_cast<DWORD>(handles.size());
  if (quit_seen) {
    if (count > 0) {
      ::WaitForMultipleObjects(count, handles.data(), FALSE, timeout);
    } else if (timeout != INFINITE) {
      ::Sleep(timeout);
    }
  } else {
    ::MsgWaitForMultipleObjectsEx(count, count ? handles.data() : nullptr, timeout, QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
  }
  processPendingEvents();
}

namespace {

using TimerState = MessageEventLoop::Impl::TimerState;
using WatchState = MessageEventLoop::Impl::WatchState;

class MessageTimer : public Timer {
 public:
  MessageTimer(std::weak_ptr<MessageEventLoop::Impl> loop, std::shared_ptr<TimerState> state)
      : loop_(std::move(loop)), state_(std::move(state)) {}
  ~MessageTimer() override { state_->active = false; }

  void setInterval(Millis interval_ms) override {
    state_->interval = interval_ms;
    if (state_->active) start();
  }
  Millis interval() const override { return state_->interval; }
  void start() override {
    state_->active = true;
    state_->deadline = MonotonicMillis() + state_->interval;
    if (auto loop = loop_.lock()) state_->order = loop->next_order++;
  }
  void stop() override { state_->active = false; }
  bool isActive() const override { return state_->active; }

 private:
  std::weak_ptr<MessageEventLoop::Impl> loop_;
  std::shared_ptr<TimerState> state_;
};

class MessageWatch : public ReadWatch {
 public:
  explicit MessageWatch(std::shared_ptr<WatchState> state) : state_(std::move(state)) {}
  ~MessageWatch() override { state_->enabled = false; }
  void setEnabled(bool enabled) override { state_->enabled = enabled; }
  bool isEnabled() const override { return state_->enabled; }

 private:
  std::shared_ptr<WatchState> state_;
};

}  // namespace

MessageEventLoop::MessageEventLoop() : impl_(std::make_shared<Impl>()) {}
MessageEventLoop::~MessageEventLoop() = default;

Millis MessageEventLoop::now() const {
  return MonotonicMillis();
}

std::unique_ptr<Timer> MessageEventLoop::createTimer(std::function<void()> on_tick) {
  auto state = std::make_shared<TimerState>();
  state->on_tick = std::move(on_tick);
  impl_->timers.push_back(state);
  return std::make_unique<MessageTimer>(impl_, std::move(state));
}

std::unique_ptr<ReadWatch> MessageEventLoop::watchReadable(NativeHandle handle,
                                                           std::function<void()> on_readable) {
  auto state = std::make_shared<WatchState>();
  state->handle = static_cast<HANDLE>(handle);
  state->on_readable = std::move(on_readable);
  impl_->watches.push_back(state);
  return std::make_unique<MessageWatch>(std::move(state));
}

void MessageEventLoop::processPendingEvents() {
  impl_->processPendingEvents();
}

void MessageEventLoop::waitForEvents(NativeHandle wake, Millis max_wait_ms) {
  impl_->waitForEvents(static_cast<HANDLE>(wake), max_wait_ms);
}

}  // namespace velka
