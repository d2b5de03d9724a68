// The message-queue loop through the conformance suite every loop passes, and what only this
// loop does: window messages of the thread dispatched inside the control's waits, and a wait
// that sleeps instead of spinning.
#include "platform/win32/message_event_loop.h"

#include <windows.h>

#include <chrono>
#include <thread>

#include "tests/support/event_loop_conformance.h"

namespace velka {
namespace {

struct MessageLoopTraits {
  using Loop = MessageEventLoop;

  // A manual-reset event: readable once set.
  class Source {
   public:
    explicit Source(Loop&) : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
      if (!event_) ADD_FAILURE() << "CreateEvent failed";
    }
    ~Source() {
      if (setter_.joinable()) setter_.join();
      ::CloseHandle(event_);
    }
    NativeHandle fd() const { return event_; }
    void makeReadable() { ::SetEvent(event_); }
    void makeReadableAfter(Millis delay_ms) {
      setter_ = std::thread([this, delay_ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
        makeReadable();
      });
    }
    void drain() { ::ResetEvent(event_); }

   private:
    HANDLE event_;
    std::thread setter_;
  };
};

INSTANTIATE_TYPED_TEST_SUITE_P(Message, EventLoopConformance, MessageLoopTraits);

int g_messages_seen = 0;

LRESULT CALLBACK CountingWindow(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_APP) ++g_messages_seen;
  return ::DefWindowProcW(window, message, w, l);
}

// A host's window keeps getting its messages while the control waits on the loop.
TEST(MessageEventLoop, DispatchesTheThreadsWindowMessagesInsideAWait) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = CountingWindow;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"VelkaLoopTestWindow";
  ::RegisterClassW(&window_class);
  HWND window = ::CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, window_class.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  MessageEventLoop loop;
  g_messages_seen = 0;
  ::PostMessageW(window, WM_APP, 0, 0);
  const Millis start = loop.now();
  loop.waitForEvents(kNoHandle, 5000);  // the posted message ends the wait at once
  EXPECT_EQ(g_messages_seen, 1);
  EXPECT_LT(loop.now() - start, 2000);
  ::DestroyWindow(window);
}

// A wait for a timer sleeps in the kernel: it takes the timer's time and almost no CPU.
TEST(MessageEventLoop, SleepsUntilTheTimerIsDue) {
  MessageEventLoop loop;
  int ticks = 0;
  auto timer = loop.createTimer([&] { ++ticks; });
  timer->setInterval(300);
  timer->start();
  FILETIME created, exited, kernel_before, user_before, kernel_after, user_after;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel_before, &user_before);
  const Millis start = loop.now();
  while (ticks == 0 && loop.now() - start < 5000) loop.waitForEvents();
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel_after, &user_after);
  auto units = [](const FILETIME& t) {
    return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  const long long cpu_ms =
      (units(kernel_after) - units(kernel_before) + units(user_after) - units(user_before)) / 10000;
  EXPECT_EQ(ticks, 1);
  EXPECT_GE(loop.now() - start, 290);
  EXPECT_LT(cpu_ms, 100);
}

// A WM_QUIT meant for the host is handed back, not swallowed, and the loop stops pumping.
TEST(MessageEventLoop, HandsTheHostsQuitMessageBack) {
  MessageEventLoop loop;
  ::PostQuitMessage(7);
  loop.processPendingEvents();
  MSG message;
  ASSERT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(message.wParam, 7u);
}

}  // namespace
}  // namespace velka
