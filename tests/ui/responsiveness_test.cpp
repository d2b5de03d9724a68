// The window stays alive while the control waits for the register: the real control, on the
// window face's QtEventLoop, waits 3 s for a register that keeps silent after its ACK (the
// simulated register, in-process on the same loop), and meanwhile a timer of the host keeps
// ticking, the window repaints, a menu command runs, and the process sleeps.
#include <gtest/gtest.h>
#include <time.h>

#include <QAction>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "control/device/tmv_ecr_velka.h"
#include "platform/single_byte_text.h"
#include "server/ui/main_window.h"
#include "server/ui/qt_event_loop.h"
#include "sim/port_link.h"
#include "sim/simulated_register.h"
#include "tests/support/temporary_home.h"
#include "tests/ui/ui_test_support.h"

namespace velka::server::ui {
namespace {

using testing::RecordingArea;

constexpr int kPort = 31;
constexpr Millis kSilenceMs = 3000;
constexpr int kHostPeriodMs = 50;

Millis ProcessCpuMillis() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<Millis>(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

// Counts the paint events of a widget.
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
  int paints = 0;
};

TEST(ResponsivenessTest, HostTimerTicksWhileTheControlWaitsForASilentRegister) {
  velka::testing::TemporaryHome home(
      "velka-ui-wait", {{"XDG_CONFIG_HOME", ""}, {"XDG_DATA_HOME", ""}, {"HOME", ""}});
  ASSERT_TRUE(home.ok());
  QtEventLoop loop;
  sim::SimulatedRegister sim(loop, {0, 50, LocalDateTime{2026, 12, 6, 18, 30, 0}});
  ASSERT_TRUE(sim.ok()) << sim.error();
  sim::PortLink link(kPort, sim.slavePath());
  ASSERT_TRUE(link.ok()) << link.error();
  ControlEnvironment environment;
  environment.loop = &loop;
  TmvEcrVelka control(environment);
  std::u16string port = Utf8ToUtf16(std::to_string(kPort));
  ASSERT_EQ(control.TMVOpen(port), 0);

  std::vector<RecordingArea::Call> calls;
  frmMain window(std::make_unique<RecordingArea>(calls));
  window.show();
  PaintCounter painted;
  window.installEventFilter(&painted);
  QApplication::processEvents();

  // The host's timer: it asks for a repaint at every tick and notes the longest gap.
  using Clock = std::chrono::steady_clock;
  int ticks = 0;
  Clock::time_point last_tick = Clock::now();
  Millis longest_gap_ms = 0;
  QTimer host;
  host.setInterval(kHostPeriodMs);
  QObject::connect(&host, &QTimer::timeout, [&] {
    const Clock::time_point now = Clock::now();
    longest_gap_ms = std::max<Millis>(
        longest_gap_ms,
        std::chrono::duration_cast<std::chrono::milliseconds>(now - last_tick).count());
    last_tick = now;
    ++ticks;
    window.update();
  });
  // The operator hides the window in the middle of the wait.
  QTimer::singleShot(1000, [&] { window.findChild<QAction*>("mnuNascondi")->trigger(); });

  sim.faults().pause_ms = kSilenceMs;
  host.start();
  last_tick = Clock::now();
  const Clock::time_point start = Clock::now();
  const Millis cpu_start = ProcessCpuMillis();
  std::int32_t pData = 0;
  std::u16string date = u"<</?d", answer;
  const std::int32_t result = control.DirectIO2(0, pData, date, answer);
  const Millis cpu_ms = ProcessCpuMillis() - cpu_start;
  const Millis elapsed_ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  host.stop();

  EXPECT_EQ(result, 0);
  EXPECT_GE(elapsed_ms, kSilenceMs);
  EXPECT_GE(ticks, static_cast<int>(kSilenceMs / kHostPeriodMs) * 8 / 10) << ticks;
  EXPECT_LT(longest_gap_ms, 4 * kHostPeriodMs);
  EXPECT_GE(painted.paints, 5);
  EXPECT_FALSE(window.isVisible());
  EXPECT_LT(cpu_ms * 20, elapsed_ms) << "cpu " << cpu_ms << " ms in " << elapsed_ms << " ms";
  std::printf(
      "wait of %lld ms: %d host ticks, longest gap %lld ms, %d paints, %lld ms CPU "
      "(%.2f%%)\n",
      static_cast<long long>(elapsed_ms), ticks, static_cast<long long>(longest_gap_ms),
      painted.paints, static_cast<long long>(cpu_ms),
      100.0 * static_cast<double>(cpu_ms) / static_cast<double>(elapsed_ms));
  control.TMVClose();
}

}  // namespace
}  // namespace velka::server::ui
