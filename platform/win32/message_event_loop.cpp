// The message-queue event loop.
#include "platform/win32/message_event_loop.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/loop_registry.h"

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

}  // namespace

// The timers and watches are the registry's; the loop waits on the watched handles and the
// thread's message queue.
struct MessageEventLoop::Impl {
  std::shared_ptr<LoopRegistry> registry = LoopRegistry::Create();
  bool quit_seen = false;  // the host's WM_QUIT was handed back: no more message pumping

  void dispatchWatches() {
    for (auto& w : registry->waitableWatches()) {
      // Tested one at a time: an earlier callback may have drained this handle's source.
      if (!w->waitable()) continue;
      if (Invalid(w->handle)) {
        w->invalid = true;
        continue;
      }
      if (Signalled(w->handle)) LoopRegistry::Call(*w);
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
    registry->dispatchTimers();
    dispatchWatches();
    dispatchMessages();
  }

  void waitForEvents(HANDLE wake, Millis max_wait_ms);
};

void MessageEventLoop::Impl::waitForEvents(HANDLE wake, Millis max_wait_ms) {
  std::vector<HANDLE> handles;
  if (wake != nullptr && !Invalid(wake)) handles.push_back(wake);
  for (auto& w : registry->waitableWatches()) {
    if (handles.size() > kMaxWatchedHandles) continue;
    if (Invalid(w->handle)) {
      w->invalid = true;
      continue;
    }
    handles.push_back(w->handle);
  }

  const Millis start = MonotonicMillis();
  std::optional<Millis> until = registry->nextDeadline();
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

MessageEventLoop::MessageEventLoop() : impl_(std::make_shared<Impl>()) {}
MessageEventLoop::~MessageEventLoop() = default;

Millis MessageEventLoop::now() const {
  return MonotonicMillis();
}

std::unique_ptr<Timer> MessageEventLoop::createTimer(std::function<void()> on_tick) {
  return impl_->registry->createTimer(std::move(on_tick));
}

std::unique_ptr<ReadWatch> MessageEventLoop::watchReadable(NativeHandle handle,
                                                           std::function<void()> on_readable) {
  return impl_->registry->createWatch(handle, std::move(on_readable));
}

void MessageEventLoop::processPendingEvents() {
  impl_->processPendingEvents();
}

void MessageEventLoop::waitForEvents(NativeHandle wake, Millis max_wait_ms) {
  impl_->waitForEvents(static_cast<HANDLE>(wake), max_wait_ms);
}

Millis MessageEventLoop::millisUntilNextTimer() const {
  const std::optional<Millis> next = impl_->registry->nextDeadline();
  if (!next) return -1;
  return std::max<Millis>(*next - MonotonicMillis(), 0);
}

}  // namespace velka
