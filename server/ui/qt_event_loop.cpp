// The EventLoop of the window face, on QTimer, QSocketNotifier and processEvents().
#include "server/ui/qt_event_loop.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <optional>

namespace velka::server::ui {

namespace {

using Dispatches = QtEventLoop::Dispatches;

// Qt takes the descriptor as a qintptr.
qintptr SocketOf(NativeHandle handle) {
#if defined(_WIN32)
  return reinterpret_cast<qintptr>(handle);
#else
  return static_cast<qintptr>(handle);
#endif
}

int QtMillis(Millis ms) {
  return static_cast<int>(std::clamp<Millis>(ms, 0, INT_MAX));
}

// What a callback of a timer or a watch needs after the object that registered it may have
// gone: the object is destroyed from inside its own callback more often than not.
struct CallbackState {
  std::function<void()> callback;
  std::weak_ptr<Dispatches> dispatches;
  bool running = false;    // the callback is on the stack: nested steps do not run it again
  bool destroyed = false;  // the Timer or ReadWatch object is gone
};

// Runs the callback once, unless it is already running; true when it ran.
bool RunOnce(const std::shared_ptr<CallbackState>& state) {
  if (state->running || state->destroyed) return false;
  if (auto dispatches = state->dispatches.lock()) ++dispatches->count;
  state->running = true;
  state->callback();
  state->running = false;
  return true;
}

class QtTimer : public Timer {
 public:
  QtTimer(std::weak_ptr<Dispatches> dispatches, std::function<void()> on_tick)
      : state_(std::make_shared<CallbackState>()) {
    state_->callback = std::move(on_tick);
    state_->dispatches = std::move(dispatches);
    // Precise: a coarse timer may fire up to 5 % early, and no deadline of the link may.
    timer_.setTimerType(Qt::PreciseTimer);
    // The connection holds the state, not this object, so the tick survives its timer.
    QObject::connect(&timer_, &QTimer::timeout, [state = state_] { RunOnce(state); });
  }
  ~QtTimer() override { state_->destroyed = true; }

  void setInterval(Millis interval_ms) override {
    interval_ = interval_ms;
    if (active_) start();
  }
  Millis interval() const override { return interval_; }
  void start() override {
    active_ = true;
    // Interval 0 would tick on every pass of Qt's loop; ours never fires.
    if (interval_ > 0) {
      timer_.start(QtMillis(interval_));
    } else {
      timer_.stop();
    }
  }
  void stop() override {
    active_ = false;
    timer_.stop();
  }
  bool isActive() const override { return active_; }

 private:
  std::shared_ptr<CallbackState> state_;
  QTimer timer_;
  Millis interval_ = 0;
  bool active_ = false;
};

class QtWatch : public ReadWatch {
 public:
  QtWatch(NativeHandle handle, std::weak_ptr<Dispatches> dispatches,
          std::function<void()> on_readable)
      : state_(std::make_shared<CallbackState>()),
        notifier_(SocketOf(handle), QSocketNotifier::Read) {
    state_->callback = std::move(on_readable);
    state_->dispatches = std::move(dispatches);
    QObject::connect(&notifier_, &QSocketNotifier::activated,
                     [state = state_, notifier = &notifier_, enabled = &enabled_] {
                       // Switched off while it runs: a nested step would call it again, the
                       // descriptor being still readable until the callback has read it.
                       notifier->setEnabled(false);
                       RunOnce(state);
                       if (!state->destroyed) notifier->setEnabled(*enabled);
                     });
  }
  ~QtWatch() override { state_->destroyed = true; }

  void setEnabled(bool enabled) override {
    enabled_ = enabled;
    if (!state_->running) notifier_.setEnabled(enabled);
  }
  bool isEnabled() const override { return enabled_; }

 private:
  std::shared_ptr<CallbackState> state_;
  QSocketNotifier notifier_;
  bool enabled_ = true;
};

}  // namespace

QtEventLoop::QtEventLoop() : dispatches_(std::make_shared<Dispatches>()) {}
QtEventLoop::~QtEventLoop() = default;

Millis QtEventLoop::now() const {
  return MonotonicMillis();
}

std::unique_ptr<Timer> QtEventLoop::createTimer(std::function<void()> on_tick) {
  return std::make_unique<QtTimer>(dispatches_, std::move(on_tick));
}

std::unique_ptr<ReadWatch> QtEventLoop::watchReadable(NativeHandle handle,
                                                      std::function<void()> on_readable) {
  return std::make_unique<QtWatch>(handle, dispatches_, std::move(on_readable));
}

void QtEventLoop::processPendingEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventLoop::waitForEvents(NativeHandle wake, Millis max_wait_ms) {
  const unsigned long before = dispatches_->count;
  bool woken = false;
  bool bound_passed = false;

  std::optional<QSocketNotifier> wake_notifier;
  if (wake != kNoHandle) {
    wake_notifier.emplace(SocketOf(wake), QSocketNotifier::Read);
    QSocketNotifier* notifier = &*wake_notifier;
    QObject::connect(notifier, &QSocketNotifier::activated, [&woken, notifier] {
      woken = true;
      notifier->setEnabled(false);  // nothing reads it: it would keep waking the loop
    });
  }
  std::optional<QTimer> bound;
  if (max_wait_ms >= 0) {
    bound.emplace();
    bound->setSingleShot(true);
    bound->setTimerType(Qt::PreciseTimer);
    QObject::connect(&*bound, &QTimer::timeout, [&bound_passed] { bound_passed = true; });
    bound->start(QtMillis(max_wait_ms));
  }
  while (dispatches_->count == before && !woken && !bound_passed) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

}  // namespace velka::server::ui
