#include "platform/whole_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "platform/folders.h"
#include "tests/platform/temp_home.h"

namespace velka {
namespace {

namespace fs = std::filesystem;

class WholeFileTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return home_.root() + "/" + name; }
  // What the folder holds besides the given names: a temporary file left behind shows here.
  std::vector<std::string> others(std::vector<std::string> expected) const {
    std::vector<std::string> left;
    for (const std::string& name : ListFolder(home_.root())) {
      if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
        left.push_back(name);
      }
    }
    return left;
  }

  TempHome home_;
};

TEST_F(WholeFileTest, ReadsAreBoundedAndNeverWaitOnAPipe) {
  TempHome::WriteFile(path("ten"), "0123456789");
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  fs::create_directory(path("folder"));
  struct Row {
    const char* name;
    std::size_t bound;
    FileReadStatus status;
    std::string bytes;
  };
  const Row rows[] = {
      {"ten", 10, FileReadStatus::Read, "0123456789"}, {"ten", 4, FileReadStatus::TooLarge, "0123"},
      {"missing", 10, FileReadStatus::Missing, ""},    {"pipe", 10, FileReadStatus::Unreadable, ""},
      {"folder", 10, FileReadStatus::Unreadable, ""},
  };
  for (const Row& r : rows) {
    const FileRead read = ReadRegularFile(path(r.name), r.bound);
    EXPECT_EQ(read.status, r.status) << r.name << " " << r.bound;
    EXPECT_EQ(read.bytes, r.bytes) << r.name << " " << r.bound;
  }
}

// The identity read is that of the file the bytes came from; a link is refused when links are
// not to be followed.
TEST_F(WholeFileTest, ReadGivesTheIdentityOfWhatItReadAndMayRefuseLinks) {
  TempHome::WriteFile(path("job"), "=K\r\n");
  fs::create_symlink(path("job"), path("link"));
  const FileRead read = ReadRegularFile(path("job"), 100);
  ASSERT_TRUE(read.identity.has_value());
  EXPECT_EQ(read.identity, IdentityOf(path("job")));
  EXPECT_EQ(ReadRegularFile(path("link"), 100).bytes, "=K\r\n");
  const FileRead refused = ReadRegularFile(path("link"), 100, {.follow_links = false});
  EXPECT_EQ(refused.status, FileReadStatus::Unreadable);
  EXPECT_TRUE(refused.bytes.empty());
  EXPECT_FALSE(refused.identity.has_value());
  EXPECT_EQ(ReadRegularFile(path("job"), 100, {.follow_links = false}).status,
            FileReadStatus::Read);
}

TEST_F(WholeFileTest, ReplacingWriteTakesThePathsPlaceAndLeavesNoTemporaryFile) {
  TempHome::WriteFile(path("target"), "old");
  fs::create_symlink(path("target"), path("link"));
  for (const bool durable : {false, true}) {
    EXPECT_TRUE(WriteFileReplacing(path("link"), "new", {.durable = durable}));
    // Without keep_link_and_mode the link itself is replaced by the file.
    EXPECT_FALSE(fs::is_symlink(path("link")));
    EXPECT_EQ(TempHome::ReadFile(path("link")), "new");
    EXPECT_EQ(TempHome::ReadFile(path("target")), "old");
    fs::remove(path("link"));
    fs::create_symlink(path("target"), path("link"));
  }
  EXPECT_FALSE(WriteFileReplacing(path("no/such/folder/file"), "x"));
  EXPECT_TRUE(others({"target", "link"}).empty());
}

TEST_F(WholeFileTest, ALinkPlantedAtTheTemporaryNameIsNeverWrittenThrough) {
  TempHome::WriteFile(path("victim"), "kept");
  const std::string first_temporary = path("Sale.OK") + "." + std::to_string(::getpid()) + "_0.tmp";
  fs::create_symlink(path("victim"), first_temporary);
  EXPECT_TRUE(WriteFileReplacing(path("Sale.OK"), "result"));
  EXPECT_EQ(TempHome::ReadFile(path("Sale.OK")), "result");
  EXPECT_EQ(TempHome::ReadFile(path("victim")), "kept");
  EXPECT_TRUE(fs::is_symlink(first_temporary));
}

TEST_F(WholeFileTest, KeepingWriteRefusesWhatIsNotARegularFile) {
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(WriteFileReplacing(path("pipe"), "x", {.keep_link_and_mode = true}));
  EXPECT_TRUE(fs::is_fifo(path("pipe")));
  EXPECT_TRUE(WriteFileReplacing(path("pipe"), "x"));  // the plain write replaces it
  EXPECT_TRUE(fs::is_regular_file(path("pipe")));
  EXPECT_TRUE(others({"pipe"}).empty());
}

TEST_F(WholeFileTest, CopyAppendAndRemove) {
  TempHome::WriteFile(path("from"), std::string(200 * 1024, 'c'));
  EXPECT_TRUE(CopyFileReplacing(path("from"), path("to")));
  EXPECT_EQ(TempHome::ReadFile(path("to")), TempHome::ReadFile(path("from")));
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(CopyFileReplacing(path("pipe"), path("to")));
  EXPECT_FALSE(CopyFileReplacing(path("missing"), path("to")));
  EXPECT_EQ(TempHome::ReadFile(path("to")).size(), 200u * 1024);

  EXPECT_TRUE(AppendToFile(path("log"), "a\r\n", false));
  EXPECT_TRUE(AppendToFile(path("log"), "b\r\n", false));
  EXPECT_EQ(TempHome::ReadFile(path("log")), "a\r\nb\r\n");
  EXPECT_TRUE(AppendToFile(path("log"), "c\r\n", true));
  EXPECT_EQ(TempHome::ReadFile(path("log")), "c\r\n");

  ::chmod(path("to").c_str(), 0444);
  EXPECT_FALSE(RemoveFile(path("to")));
  EXPECT_TRUE(fs::exists(path("to")));
  EXPECT_TRUE(RemoveFile(path("log")));
  EXPECT_FALSE(fs::exists(path("log")));
  EXPECT_TRUE(RemoveFile(path("never-there")));
  EXPECT_TRUE(others({"from", "to", "pipe"}).empty());
}

}  // namespace
}  // namespace velka
