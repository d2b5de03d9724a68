// What a running program holds of the system: an open appending file, a lock, its own file,
// the monotonic clock, and the loop the system gives it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <thread>

#include "platform/appending_file.h"
#include "platform/exclusive_lock_file.h"
#include "platform/executable_path.h"
#include "platform/monotonic_clock.h"
#include "platform/system_factory.h"
#include "tests/platform/temp_home.h"

namespace velka {
namespace {

TEST(AppendingFileTest, OpensEmptiedAppendsAndNeverWaitsOnAPipe) {
  TempHome home;
  const std::string path = home.root() + "/TMVVelkaData.OUT";
  TempHome::WriteFile(path, "an earlier job's lines\r\n");
  AppendingFile file;
  EXPECT_FALSE(file.append("lost"));  // not open
  ASSERT_TRUE(file.openEmptied(path));
  EXPECT_TRUE(file.append("1\r\n"));
  EXPECT_TRUE(file.append("2\r\n"));
  file.close();
  EXPECT_FALSE(file.isOpen());
  EXPECT_EQ(TempHome::ReadFile(path), "1\r\n2\r\n");

  const std::string pipe = home.root() + "/pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_FALSE(file.openEmptied(pipe));  // no reader: refused at once
  EXPECT_FALSE(file.openEmptied(home.root() + "/missing/file"));
}

TEST(ExclusiveLockFileTest, OneHolderAtATimeAndFreedWithTheHolder) {
  TempHome home;
  const std::string path = home.root() + "/server.lock";
  auto first = std::make_unique<ExclusiveLockFile>();
  EXPECT_EQ(first->acquire(path), ExclusiveLockFile::Status::Acquired);
  EXPECT_EQ(first->acquire(path), ExclusiveLockFile::Status::Acquired);
  ExclusiveLockFile second;
  EXPECT_EQ(second.acquire(path), ExclusiveLockFile::Status::HeldByAnother);
  first.reset();
  EXPECT_EQ(second.acquire(path), ExclusiveLockFile::Status::Acquired);
  ExclusiveLockFile nowhere;
  EXPECT_EQ(nowhere.acquire(home.root() + "/missing/server.lock"),
            ExclusiveLockFile::Status::Unavailable);
}

TEST(ProcessTest, ExecutablePathNamesThisProgram) {
  const std::string path = ExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_EQ(path.substr(path.rfind('/') + 1), "platform_tests");
}

TEST(ProcessTest, MonotonicClockAdvancesWithTimeAndTheSystemLoopRunsOnIt) {
  const Millis start = MonotonicMillis();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_GE(MonotonicMillis() - start, 20);

  const std::unique_ptr<EventLoop> loop = CreateSystemEventLoop();
  ASSERT_NE(loop, nullptr);
  EXPECT_LE(loop->now() - MonotonicMillis(), 0);
  int ticks = 0;
  auto timer = loop->createTimer([&] { ++ticks; });
  timer->setInterval(10);
  timer->start();
  const Millis until = loop->now() + 2000;
  while (ticks == 0 && loop->now() < until) loop->waitForEvents(kNoHandle, until - loop->now());
  EXPECT_EQ(ticks, 1);
  EXPECT_NE(SystemSerialPortFactory()(*loop), nullptr);
}

}  // namespace
}  // namespace velka
