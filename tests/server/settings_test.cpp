// TMVSERVER.INI: defaults, the adjustments of each key, the folders created at start-up.
#include <gtest/gtest.h>

#include "server/jobs/server_settings.h"
#include "tests/server/server_test_support.h"

namespace velka::server {
namespace {

using testing::TempProgramFolder;

TEST(ServerSettingsTest, FirstStartWithoutFileUsesDefaultsAndCreatesFolders) {
  TempProgramFolder folder;
  std::filesystem::create_directories(folder.home());
  ServerSettings s = ReadSettings(folder.home());
  EXPECT_EQ(s.DirectoryInput, folder.home() + "/TOSEND/");
  EXPECT_EQ(s.DirectoryOutput, folder.home() + "/UNSENT/");
  EXPECT_EQ(s.DirectoryOutputData, folder.home() + "/ODATA/");
  EXPECT_EQ(s.Language, "Italiano");
  EXPECT_EQ(s.LanguageOffset, 0);
  EXPECT_EQ(s.BaudRate, "9600");
  EXPECT_EQ(s.Port, "1");
  EXPECT_EQ(PollingPeriodMs(s.Frequence), 5000);
  EXPECT_EQ(LogLimitBytes(s.MaxLogDimension), 128 * 1024);
  EXPECT_EQ(s.DataFilePath, folder.home() + "/ODATA/TMVVelkaData.OUT");
  for (const char* name : {"TOSEND", "UNSENT", "ODATA"}) {
    EXPECT_TRUE(std::filesystem::is_directory(folder.path(name))) << name;
  }
}

TEST(ServerSettingsTest, KeysAreReadFromTheParametersSectionWithProfileRules) {
  TempProgramFolder folder;
  TempProgramFolder::WriteFile(
      folder.path("TMVSERVER.INI"),
      "[parameters]\r\nlanguage = English\r\nPORT=3\r\nBaudRate=\"115200\"\r\n"
      "Frequence=\r\nDirectoryInput=" +
          folder.root() + "/jobs\r\n");
  ServerSettings s = ReadSettings(folder.home());
  EXPECT_EQ(s.Language, "English");
  EXPECT_EQ(s.LanguageOffset, 1000);
  EXPECT_EQ(s.Port, "3");
  EXPECT_TRUE(HighSpeedSelected(s.BaudRate));
  EXPECT_EQ(s.Frequence, "");  // present but empty: not the default
  EXPECT_EQ(PollingPeriodMs(s.Frequence), 0);
  EXPECT_EQ(s.DirectoryInput, folder.root() + "/jobs/");
  EXPECT_TRUE(std::filesystem::is_directory(folder.root() + "/jobs"));
}

TEST(ServerSettingsTest, OnlyTheLastFolderLevelIsCreated) {
  TempProgramFolder folder;
  TempProgramFolder::WriteFile(folder.path("TMVSERVER.INI"),
                               "[Parameters]\r\nDirectoryOutput=" + folder.root() + "/a/b\r\n");
  ServerSettings s = ReadSettings(folder.home());
  EXPECT_EQ(s.DirectoryOutput, folder.root() + "/a/b/");
  EXPECT_FALSE(std::filesystem::exists(folder.root() + "/a"));
  EXPECT_TRUE(std::filesystem::is_directory(folder.path("TOSEND")));
}

TEST(ServerSettingsTest, BlankFolderTakesItsDefaultNotTheRootFolder) {
  TempProgramFolder folder;
  TempProgramFolder::WriteFile(folder.path("TMVSERVER.INI"),
                               "[Parameters]\r\nDirectoryInput=\r\nDirectoryOutput=  \r\n"
                               "DirectoryOutputData=\"\"\r\n");
  ServerSettings s = ReadSettings(folder.home());
  EXPECT_EQ(s.DirectoryInput, folder.home() + "/TOSEND/");
  EXPECT_EQ(s.DirectoryOutput, folder.home() + "/UNSENT/");
  EXPECT_EQ(s.DirectoryOutputData, folder.home() + "/ODATA/");
}

TEST(ServerSettingsTest, LanguageOffset) {
  const struct {
    const char* language;
    int offset;
  } rows[] = {{"Italiano", 0},   {"italiano", 0}, {"ITALIANO", 0},    {"English", 1000},
              {"Deutsch", 1000}, {"", 1000},      {" Italiano", 1000}};
  for (const auto& row : rows)
    EXPECT_EQ(LanguageOffsetFor(row.language), row.offset) << row.language;
}

TEST(ServerSettingsTest, HighSpeed) {
  const struct {
    const char* baud;
    bool high;
  } rows[] = {{"115200", true}, {"  115200  ", true}, {"115200 baud", false},
              {"9600", false},  {"", false},          {"1152000", false}};
  for (const auto& row : rows) EXPECT_EQ(HighSpeedSelected(row.baud), row.high) << row.baud;
}

TEST(ServerSettingsTest, PollingPeriodAndLogLimit) {
  const struct {
    const char* text;
    Millis period_ms;
    std::int64_t log_bytes;
  } rows[] = {
      {"5", 5000, 5120},    {"2.5", 2500, 2560},
      {"0", 0, 0},          {"abc", 0, 0},
      {" 7 s", 7000, 7168}, {"1024", 1024000, 1048576},
      {"-3", -3000, -3072}, {"99999999999999999999", kMaxPollingPeriodMs, kMaxLogLimitBytes},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(PollingPeriodMs(row.text), row.period_ms) << row.text;
    EXPECT_EQ(LogLimitBytes(row.text), row.log_bytes) << row.text;
  }
}

TEST(ServerSettingsTest, FolderAdjustments) {
  const std::string prog = "/opt/velka";
  const struct {
    const char* value;
    const char* folder;
  } rows[] = {
      {"/srv/jobs", "/srv/jobs/"},
      {"/srv/jobs/", "/srv/jobs/"},
      {"", "/"},
      {"jobs", "/opt/velka/jobs/"},
      {"\\srv\\jobs\\", "/srv/jobs/"},
      {"/srv/my jobs", "/srv/my jobs/"},
      // A Windows folder from a drive is absolute too.
      {"C:\\Jobs\\In", "C:/Jobs/In/"},
      {"D:/jobs/", "D:/jobs/"},
  };
  for (const auto& row : rows) EXPECT_EQ(AdjustFolder(row.value, prog), row.folder) << row.value;
}

TEST(ServerSettingsTest, ShortestPollingPeriodIsATenthOfASecond) {
  struct Case {
    const char* frequence;
    Millis period;
  };
  for (const Case& c :
       {Case{"0.001", 100}, Case{"0.05", 100}, Case{"0.1", 100}, Case{"0.25", 250}, Case{"0", 0}}) {
    EXPECT_EQ(PollingPeriodMs(c.frequence), c.period) << c.frequence;
  }
}

}  // namespace
}  // namespace velka::server
