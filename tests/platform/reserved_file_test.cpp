#include "platform/reserved_file.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/file_status.h"
#include "platform/folders.h"
#include "tests/platform/temp_home.h"

namespace velka {
namespace {

namespace fs = std::filesystem;

class ReservedFileTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return home_.root() + "/" + name; }
  std::vector<std::string> names() const {
    std::vector<std::string> found = ListFolder(home_.root());
    std::sort(found.begin(), found.end());
    return found;
  }

  TempHome home_;
};

TEST_F(ReservedFileTest, SpaceIsTakenBeforeAndTheContentCommittedWhole) {
  ReservedFile reserved;
  ASSERT_TRUE(reserved.reserve(path("Sale.OK"), 8192));
  EXPECT_TRUE(reserved.held());
  const std::string temporary = reserved.temporaryPath();
  EXPECT_TRUE(temporary.starts_with(path("Sale.OK.")));
  EXPECT_TRUE(temporary.ends_with(".tmp"));
  EXPECT_EQ(FileSize(temporary), 8192);
  EXPECT_FALSE(fs::exists(path("Sale.OK")));
  EXPECT_TRUE(reserved.commit(path("Sale.KO"), "Error=112;x;Row 1;=T1\r\n", true));
  EXPECT_FALSE(reserved.held());
  EXPECT_EQ(TempHome::ReadFile(path("Sale.KO")), "Error=112;x;Row 1;=T1\r\n");
  EXPECT_EQ(names(), (std::vector<std::string>{"Sale.KO"}));
  EXPECT_FALSE(reserved.commit(path("Sale.KO"), "again", false));  // used up
}

TEST_F(ReservedFileTest, ReleasedOrDroppedItLeavesNothing) {
  {
    ReservedFile reserved;
    ASSERT_TRUE(reserved.reserve(path("a.OK"), 4096));
    ReservedFile other;
    ASSERT_TRUE(other.reserve(path("b.OK"), 4096));
    other.release();
    EXPECT_FALSE(other.held());
  }
  EXPECT_TRUE(names().empty());
  ReservedFile nowhere;
  EXPECT_FALSE(nowhere.reserve(path("missing/folder/c.OK"), 4096));
}

// The reservation of a run that crashed is taken over by its name; a link in its place is not.
TEST_F(ReservedFileTest, NextRunAdoptsTheReservationByItsName) {
  std::string temporary;
  {
    ReservedFile crashed;
    ASSERT_TRUE(crashed.reserve(path("Sale.OK"), 4096));
    temporary = crashed.temporaryPath();
    fs::copy_file(temporary, path("kept"));  // what a crash leaves (no release)
  }
  fs::rename(path("kept"), temporary);
  ReservedFile next;
  ASSERT_TRUE(next.adopt(temporary));
  EXPECT_TRUE(next.commit(path("Sale.OK"), "done\r\n", false));
  EXPECT_EQ(TempHome::ReadFile(path("Sale.OK")), "done\r\n");
  EXPECT_FALSE(next.adopt(temporary));  // gone

  TempHome::WriteFile(path("victim"), "kept");
  fs::create_symlink(path("victim"), path("planted.tmp"));
  EXPECT_FALSE(next.adopt(path("planted.tmp")));
  EXPECT_EQ(TempHome::ReadFile(path("victim")), "kept");
}

TEST_F(ReservedFileTest, FullDiskRefusesTheReservation) {
  const std::string small = path("small");
  fs::create_directory(small);
  // A mount of its own needs a private mount namespace; a forked child keeps it away from the
  // rest of the tests.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0) {
      ::_exit(2);
    }
    {
      std::ofstream filler(small + "/filler", std::ios::binary);
      const std::string block(4096, 'x');
      while (filler.write(block.data(), block.size())) {
      }
    }
    ReservedFile reserved;
    const bool refused = !reserved.reserve(small + "/Sale.OK", 8192);
    const bool clean = ListFolder(small).size() == 1;
    fs::remove(small + "/filler");
    const bool taken = reserved.reserve(small + "/Sale.OK", 8192);
    ::_exit(refused && clean && taken ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "no private mount of a small file system here";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace velka
