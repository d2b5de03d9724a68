// The folder watch on a real folder: what the job server's input folder tells of the files
// dropped into it, and of its own end.
#include "platform/folder_watch.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "tests/platform/temp_home.h"

namespace velka {
namespace {

namespace fs = std::filesystem;

bool Readable(NativeHandle handle, int timeout_ms) {
  pollfd p{handle, POLLIN, 0};
  return ::poll(&p, 1, timeout_ms) > 0;
}

void Write(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

class FolderWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(home_.config()) / "TOSEND";
    fs::create_directories(folder_);
    aside_ = fs::path(home_.config()) / "aside";
    fs::create_directories(aside_);
    std::string why;
    watch_ = WatchFolder(folder_.string() + "/", &why);
    ASSERT_TRUE(watch_) << why;
  }

  // Everything noticed within the bound, as "written NAME" or "moved NAME".
  std::multiset<std::string> Noticed(FolderChanges* last = nullptr) {
    std::multiset<std::string> seen;
    while (Readable(watch_->handle(), 200)) {
      const FolderChanges changes = watch_->take();
      for (const FolderChange& c : changes.files) {
        seen.insert((c.kind == FolderChange::Kind::MovedIn ? "moved " : "written ") + c.name);
      }
      if (last) *last = changes;
      if (changes.ended) break;
    }
    return seen;
  }

  TempHome home_;
  fs::path folder_;
  fs::path aside_;
  std::unique_ptr<FolderWatch> watch_;
};

TEST_F(FolderWatchTest, FilesWrittenAndRenamedInAreToldApart) {
  Write(folder_ / "Written.txt", "=R1/$1\r\n");             // written in place
  Write(folder_ / "Sale.tmp", "=R1/$1\r\n");                // written aside in the folder
  fs::rename(folder_ / "Sale.tmp", folder_ / "Sale.txt");   // then renamed
  Write(aside_ / "Other.txt", "=R1/$1\r\n");                // written in another folder
  fs::rename(aside_ / "Other.txt", folder_ / "Other.txt");  // and moved in
  fs::create_directories(folder_ / "sub");                  // nothing of a sub-folder
  Write(folder_ / "sub" / "Inner.txt", "x");
  EXPECT_EQ(Noticed(), (std::multiset<std::string>{"written Written.txt", "written Sale.tmp",
                                                   "moved Sale.txt", "moved Other.txt"}));
  EXPECT_FALSE(Readable(watch_->handle(), 0));
}

TEST_F(FolderWatchTest, TheFolderRemovedOrRenamedEndsTheWatch) {
  for (const bool remove : {true, false}) {
    FolderChanges last;
    if (remove) {
      fs::remove_all(folder_);
    } else {
      fs::rename(folder_, fs::path(home_.config()) / "TOSEND.old");
    }
    Noticed(&last);
    EXPECT_TRUE(last.ended) << remove;
    // Made again, the folder is watched anew.
    fs::create_directories(folder_);
    watch_ = WatchFolder(folder_.string() + "/");
    ASSERT_TRUE(watch_);
    Write(folder_ / "Again.txt", "x");
    EXPECT_EQ(Noticed(), std::multiset<std::string>{"written Again.txt"});
  }
}

// A burst of files is handed over in bounded takes; the handle stays readable until all are.
TEST_F(FolderWatchTest, ABurstComesInBoundedTakes) {
  constexpr int kFiles = 2500;
  for (int n = 0; n < kFiles; ++n) Write(aside_ / ("J" + std::to_string(n) + ".txt"), "x");
  for (int n = 0; n < kFiles; ++n) {
    const std::string name = "J" + std::to_string(n) + ".txt";
    fs::rename(aside_ / name, folder_ / name);
  }
  std::size_t total = 0;
  int takes = 0;
  bool overflowed = false;
  while (Readable(watch_->handle(), 200)) {
    const FolderChanges changes = watch_->take();
    EXPECT_LE(changes.files.size(), kMaxFolderChanges);
    total += changes.files.size();
    overflowed = overflowed || changes.overflowed;
    ++takes;
  }
  // Either every file is told, or the loss is (a kernel with a small queue).
  EXPECT_TRUE(total == kFiles || overflowed) << total;
  EXPECT_GE(takes, 3);
}

TEST(WatchFolderTest, AMissingFolderCannotBeWatched) {
  TempHome home;
  std::string why;
  EXPECT_EQ(WatchFolder(home.config() + "/missing/", &why), nullptr);
  EXPECT_NE(why.find("missing"), std::string::npos) << why;
  const std::string file = home.config() + "/file";
  Write(file, "x");
  EXPECT_EQ(WatchFolder(file), nullptr);  // not a folder
}

}  // namespace
}  // namespace velka
