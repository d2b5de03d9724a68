#include "platform/overwritten_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/platform/temp_home.h"

namespace velka {
namespace {

namespace fs = std::filesystem;

TEST(OverwrittenFileTest, EachWriteReplacesTheRecordInPlace) {
  TempHome home;
  const std::string path = home.root() + "/record";
  OverwrittenFile file;
  ASSERT_TRUE(file.open(path));
  const auto inode = fs::status(path).type();
  EXPECT_EQ(inode, fs::file_type::regular);
  for (const char* record : {"first 1\n", "second2\n", "third 3\n"}) {
    ASSERT_TRUE(file.write(record));
    EXPECT_EQ(TempHome::ReadFile(path), record);
  }
  ASSERT_TRUE(file.write("ab"));  // shorter: the rest of the last record stays behind
  EXPECT_EQ(TempHome::ReadFile(path), "abird 3\n");
  file.close();
  EXPECT_FALSE(file.write("x"));
  ASSERT_TRUE(file.open(path));  // an existing record is kept until written
  EXPECT_EQ(TempHome::ReadFile(path), "abird 3\n");
}

TEST(OverwrittenFileTest, RefusesALinkOrAFolderInItsPlace) {
  TempHome home;
  TempHome::WriteFile(home.root() + "/victim", "kept");
  fs::create_symlink(home.root() + "/victim", home.root() + "/link");
  fs::create_directory(home.root() + "/folder");
  OverwrittenFile file;
  EXPECT_FALSE(file.open(home.root() + "/link"));
  EXPECT_FALSE(file.open(home.root() + "/folder"));
  EXPECT_FALSE(file.open(home.root() + "/missing/record"));
  EXPECT_EQ(TempHome::ReadFile(home.root() + "/victim"), "kept");
}

}  // namespace
}  // namespace velka
