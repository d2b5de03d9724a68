// QtEventLoop through the conformance suite of every loop, and what it adds: the host's own
// Qt events run inside its waits without ending them.
#include "server/ui/qt_event_loop.h"

#include <QCoreApplication>
#include <QTimer>

#include "tests/support/event_loop_conformance.h"
#include "tests/support/pipe_source.h"

namespace velka {
namespace {

using server::ui::QtEventLoop;

struct QtLoopTraits {
  using Loop = QtEventLoop;

  class Source : public testing::PipeSource {
   public:
    explicit Source(Loop&) {}
  };
};

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, EventLoopConformance, QtLoopTraits);

TEST(QtEventLoopTest, HostTimersAndPostedEventsRunInsideABoundedWait) {
  QtEventLoop loop;
  int host_ticks = 0;
  QTimer host;
  host.setInterval(10);
  QObject::connect(&host, &QTimer::timeout, [&] { ++host_ticks; });
  host.start();
  int posted = 0;
  QObject receiver;
  QMetaObject::invokeMethod(
      &receiver, [&] { ++posted; }, Qt::QueuedConnection);

  const Millis start = loop.now();
  loop.waitForEvents(kNoHandle, 120);
  // One step: the host's events do not end it, the bound does.
  EXPECT_GE(loop.now() - start, 120);
  EXPECT_LT(loop.now() - start, 2000);
  EXPECT_GE(host_ticks, 5);
  EXPECT_EQ(posted, 1);
}

TEST(QtEventLoopTest, TimersAndWatchesOutliveTheLoopHarmlessly) {
  std::unique_ptr<Timer> timer;
  std::unique_ptr<ReadWatch> watch;
  testing::PipeSource source;
  {
    QtEventLoop loop;
    timer = loop.createTimer([] {});
    timer->setInterval(5);
    timer->start();
    watch = loop.watchReadable(source.fd(), [&] { source.drain(); });
  }
  source.makeReadable();
  QCoreApplication::processEvents();
  timer->stop();
  watch->setEnabled(false);
}

}  // namespace
}  // namespace velka
