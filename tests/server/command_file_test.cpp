// Command files: which names are jobs, the base path of result files, line splitting and the
// limits of reading.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "server/jobs/command_file.h"
#include "tests/server/server_test_support.h"

namespace velka::server {
namespace {

using testing::TempProgramFolder;

TEST(CommandFileTest, BasePath) {
  const struct {
    const char* path;
    const char* base;
  } rows[] = {
      {"/srv/TOSEND/Sale017.txt", "/srv/TOSEND/Sale017"},
      {"/srv/TOSEND/Sale017.TXT", "/srv/TOSEND/Sale017"},
      {"/srv/TOSEND/Sale.TXT.TXT", "/srv/TOSEND/Sale"},
      {"/srv/TOSEND/Sale.txtold.txt", "/srv/TOSEND/Sale"},
      {"/srv/Configurazione.tmv", ""},
      {"/srv/TOSEND/Sale017", ""},
      {".txt", ""},
      {"/srv/a.txt.d/Sale.txt", "/srv/a.txt.d/Sale"},  // a folder name does not cut the path
      {"/srv/TOSEND/MiXeD.TxT", "/srv/TOSEND/MiXeD"},
  };
  for (const auto& row : rows) EXPECT_EQ(BasePathOf(row.path), row.base) << row.path;
}

TEST(CommandFileTest, CommandFileNames) {
  EXPECT_TRUE(IsCommandFileName("job1.txt"));
  EXPECT_TRUE(IsCommandFileName("JOB1.TXT"));
  EXPECT_TRUE(IsCommandFileName("a.b.Txt"));
  EXPECT_FALSE(IsCommandFileName("job1.txt.tmp"));
  EXPECT_FALSE(IsCommandFileName("job1.OK"));
  EXPECT_FALSE(IsCommandFileName("txt"));
  EXPECT_FALSE(IsCommandFileName("job1.txtx"));
}

TEST(CommandFileTest, LinesEndInCrLfLfOrCr) {
  const struct {
    const char* text;
    std::vector<std::string> lines;
  } rows[] = {
      {"", {}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\r\nb", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"a\rb\r", {"a", "b"}},
      {"\r\n\r\n", {"", ""}},
      {"  \r\nSTOP \r\n", {"  ", "STOP "}},
  };
  for (const auto& row : rows) EXPECT_EQ(SplitCommandLines(row.text), row.lines) << row.text;
}

TEST(CommandFileTest, ReadingRefusesWhatIsNotASmallRegularFile) {
  TempProgramFolder folder;
  const std::string ok = folder.path("ok.txt");
  TempProgramFolder::WriteFile(ok, "=K\r\n=C1\r\n");
  CommandFileContent content = ReadCommandFile(ok);
  EXPECT_EQ(content.status, CommandFileContent::Status::Read);
  EXPECT_EQ(content.lines, (std::vector<std::string>{"=K", "=C1"}));

  EXPECT_EQ(ReadCommandFile(folder.path("missing.txt")).status,
            CommandFileContent::Status::Missing);

  std::filesystem::create_directories(folder.path("folder.txt"));
  EXPECT_EQ(ReadCommandFile(folder.path("folder.txt")).status,
            CommandFileContent::Status::Unreadable);

  // A pipe named like a job would block a plain open for ever.
  const std::string pipe = folder.path("pipe.txt");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
  EXPECT_EQ(ReadCommandFile(pipe).status, CommandFileContent::Status::Unreadable);

  const std::string big = folder.path("big.txt");
  TempProgramFolder::WriteFile(big, std::string(kMaxCommandFileBytes + 1, 'x'));
  EXPECT_EQ(ReadCommandFile(big).status, CommandFileContent::Status::TooLarge);
}

}  // namespace
}  // namespace velka::server
