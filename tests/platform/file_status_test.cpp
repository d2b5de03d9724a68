#include "platform/file_status.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "platform/folders.h"
#include "tests/platform/temp_home.h"

namespace velka {
namespace {

namespace fs = std::filesystem;

TEST(FileStatusTest, IdentityChangesWithEveryNewVersion) {
  TempHome home;
  const std::string file = home.root() + "/job.txt";
  EXPECT_FALSE(IdentityOf(file));
  EXPECT_FALSE(IdentityOf(home.root()));  // a folder has none
  TempHome::WriteFile(file, "=K\r\n");
  const std::optional<FileIdentity> first = IdentityOf(file);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->size, 4);
  EXPECT_EQ(IdentityOf(file), first);
  const timespec earlier[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), earlier, 0), 0);
  EXPECT_NE(IdentityOf(file), first);  // touched
}

// A link names no file of its own: the input folder's links are never taken for the file
// they point at.
TEST(FileStatusTest, EntryIdentityDoesNotFollowLinks) {
  TempHome home;
  const std::string file = home.root() + "/job.txt";
  const std::string link = home.root() + "/link.txt";
  TempHome::WriteFile(file, "=K\r\n");
  fs::create_symlink(file, link);
  EXPECT_EQ(EntryIdentityOf(file), IdentityOf(file));
  EXPECT_TRUE(IdentityOf(link));
  EXPECT_FALSE(EntryIdentityOf(link));
  EXPECT_FALSE(EntryIdentityOf(home.root()));
  EXPECT_TRUE(IsSymbolicLink(link));
  EXPECT_FALSE(IsSymbolicLink(file));
  fs::remove(file);
  EXPECT_TRUE(IsSymbolicLink(link));  // dangling
}

TEST(FileStatusTest, AgeFollowsTheWallClockAndMayBeNegative) {
  TempHome home;
  const std::string file = home.root() + "/job.txt";
  TempHome::WriteFile(file, "x");
  const Millis fresh = MillisSinceModified(*IdentityOf(file));
  EXPECT_GE(fresh, 0);
  EXPECT_LT(fresh, 60'000);
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const timespec future[2] = {now, {now.tv_sec + 3600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), future, 0), 0);
  EXPECT_LT(MillisSinceModified(*IdentityOf(file)), -3'000'000);
}

TEST(FileStatusTest, KindsSizesAndFolders) {
  TempHome home;
  const std::string folder = home.root() + "/in";
  EXPECT_TRUE(CreateFolder(folder));
  EXPECT_TRUE(CreateFolder(folder + "/"));  // already there
  EXPECT_FALSE(CreateFolder(home.root() + "/missing/parent"));
  fs::create_directory_symlink(folder, home.root() + "/alias");
  EXPECT_TRUE(SameFolder(folder, home.root() + "/alias/"));
  EXPECT_FALSE(SameFolder(folder, home.root()));
  EXPECT_TRUE(IsFolder(folder));

  TempHome::WriteFile(folder + "/a.txt", "abc");
  TempHome::WriteFile(folder + "/b.txt", "");
  EXPECT_TRUE(IsRegularFile(folder + "/a.txt"));
  EXPECT_FALSE(IsRegularFile(folder));
  EXPECT_EQ(FileSize(folder + "/a.txt"), 3);
  EXPECT_EQ(FileSize(folder + "/none"), -1);
  EXPECT_FALSE(IsReadOnly(folder + "/a.txt"));
  ::chmod((folder + "/a.txt").c_str(), 0444);
  EXPECT_TRUE(IsReadOnly(folder + "/a.txt"));
  EXPECT_FALSE(IsReadOnly(folder + "/none"));

  std::vector<std::string> names = ListFolder(folder);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_TRUE(ListFolder(folder + "/none").empty());
}

}  // namespace
}  // namespace velka
