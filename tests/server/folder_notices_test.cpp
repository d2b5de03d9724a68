// The input folder's notices as the job server uses them, on virtual time with a fake watch: a
// job renamed in starts at once and whole, one written in place still waits for its quiet
// time, a notice during a job never nests a tick, lost notices and a watch that ended.
#include <gtest/gtest.h>

#include <deque>

#include "tests/server/job_server_fixture.h"

namespace velka::server {
namespace {

using testing::JobServerTest;
using testing::TempProgramFolder;

// A watch whose notices the test hands in; readable while some wait.
class FakeFolderWatch : public FolderWatch, public VirtualSource {
 public:
  explicit FakeFolderWatch(VirtualEventLoop& loop) : loop_(loop), handle_(loop.addSource(this)) {}
  ~FakeFolderWatch() override { loop_.removeSource(handle_); }

  NativeHandle handle() const override { return handle_; }
  FolderChanges take() override { return std::exchange(waiting_, {}); }
  bool readable(Millis) const override { return pending(); }
  std::optional<Millis> nextReadyTime(Millis now) const override {
    return pending() ? std::optional(now) : std::nullopt;
  }

  FolderChanges waiting_;

 private:
  bool pending() const { return !waiting_.files.empty() || waiting_.overflowed || waiting_.ended; }
  VirtualEventLoop& loop_;
  NativeHandle handle_;
};

class FolderNoticesTest : public JobServerTest {
 protected:
  void StartWatched(Millis settle = 0) {
    watch_folder = [this](const std::string& path) -> std::unique_ptr<FolderWatch> {
      ++watches_made;
      watched = path;
      auto made = std::make_unique<FakeFolderWatch>(loop);
      watch = made.get();
      return made;
    };
    WriteSettings("Frequence=5\r\n");
    ASSERT_EQ(Start(settle), JobServer::StartResult::Running);
    loop.advance(10);  // the start-up's own look at the folder
  }
  void Notice(FolderChange::Kind kind, const std::string& name) {
    watch->waiting_.files.push_back({kind, name});
  }

  FakeFolderWatch* watch = nullptr;
  int watches_made = 0;
  std::string watched;
};

TEST_F(FolderNoticesTest, RenamedInJobRunsAtOnceWithoutWaitingToSettle) {
  StartWatched(/*settle=*/2000);
  EXPECT_EQ(watched, input());
  Job("a.txt", "<</?d\r\n");  // written just now: it would wait for its quiet time
  Notice(FolderChange::Kind::MovedIn, "a.txt");
  loop.advance(20);
  EXPECT_EQ(control->sent, std::vector<std::string>{"<</?d"});
  EXPECT_TRUE(ExistsInInput("a.OK"));
}

// The polling tick comes between the rename and the dispatch of its notice: the notice is read
// before the folder is listed, and the file is still taken whole at once.
TEST_F(FolderNoticesTest, PollingTickReadsTheNoticeOfAFileJustRenamedIn) {
  StartWatched(/*settle=*/2000);
  Job("r.txt", "<</?d\r\n");
  Notice(FolderChange::Kind::MovedIn, "r.txt");
  const Millis ticked = loop.now();
  server->Tick();
  EXPECT_EQ(control->sent, std::vector<std::string>{"<</?d"});
  EXPECT_LT(loop.now() - ticked, 100);  // not left to settle first
}

TEST_F(FolderNoticesTest, FileWrittenInPlaceStillWaitsForItsQuietTime) {
  StartWatched(/*settle=*/2000);
  Job("w.txt", "<</?d\r\n");
  Notice(FolderChange::Kind::Written, "w.txt");
  loop.advance(20);
  EXPECT_TRUE(control->sent.empty());  // still young: being watched until quiet
}

// Notices of what is not a command file, or of a version replaced since, change nothing.
TEST_F(FolderNoticesTest, OnlyCommandFilesAskForATick) {
  StartWatched();
  Job("b.txt", "<</?d\r\n");
  const long wakes = loop.wakeCount();
  Notice(FolderChange::Kind::MovedIn, "b.OK");
  Notice(FolderChange::Kind::Written, "notes.tmp");
  loop.advance(20);
  EXPECT_TRUE(control->sent.empty());
  EXPECT_LT(loop.wakeCount() - wakes, 5);
}

// A notice that arrives while a job is being sent (inside its waits) runs no tick within it:
// the second job starts after the first has ended, once.
TEST_F(FolderNoticesTest, NoticeDuringAJobRunsItsTickAfterIt) {
  StartWatched();
  std::vector<std::string> order;
  script = [&](const std::string& line) {
    order.push_back("sent " + line);
    if (line == "=C1") {
      Job("second.txt", "=C2\r\n");
      Notice(FolderChange::Kind::MovedIn, "second.txt");
      loop.processPendingEvents();
      order.push_back(ExistsInInput("second.OK") ? "nested" : "held");
    }
    return Reply{};
  };
  Job("first.txt", "=C1\r\n");
  Notice(FolderChange::Kind::MovedIn, "first.txt");
  loop.advance(20);
  EXPECT_EQ(order, (std::vector<std::string>{"sent =C1", "held", "sent =C2"}));
  EXPECT_TRUE(ExistsInInput("first.OK"));
  EXPECT_TRUE(ExistsInInput("second.OK"));
}

// Lost notices: the whole folder is looked at. A watch that ended (the folder removed) is set
// up again at the next tick, and the polling finds what arrived meanwhile.
TEST_F(FolderNoticesTest, OverflowAndEndedWatchFallBackOnTheFolder) {
  StartWatched();
  Job("o.txt", "<</?d\r\n");
  watch->waiting_.overflowed = true;
  loop.advance(20);
  EXPECT_TRUE(ExistsInInput("o.OK"));

  watch->waiting_.ended = true;
  loop.advance(20);
  const int made = watches_made;
  Job("p.txt", "<</?d\r\n");
  loop.advance(5100);
  EXPECT_TRUE(ExistsInInput("p.OK"));
  EXPECT_EQ(watches_made, made + 1);
}

}  // namespace
}  // namespace velka::server
