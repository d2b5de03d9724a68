// The trace file: system names, setting aside at the size limit, daily numbering.
#include "control/device/trace_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "tests/support/control_fixture.h"
#include "tests/support/temporary_home.h"

namespace velka::testing {
namespace {

namespace fs = std::filesystem;

TEST(SystemName, FollowsTheVersionRecord) {
  struct Row {
    VersionRecord version;
    const char* name;
  };
  const Row rows[] = {
      {{0, 3, 10, 0}, "31"},
      {{1, 4, 0, 950}, "95"},
      {{1, 4, 10, 2222}, "98SE"},
      {{1, 4, 10, (1u << 16) + 2222}, "98SE"},
      {{1, 4, 10, 1998}, "98"},
      {{1, 4, 90, 3000}, "Me"},
      {{1, 4, 20, 0}, ""},
      {{2, 3, 51, 0}, "NT351"},
      {{2, 4, 0, 0}, "NT40"},
      {{2, 5, 0, 0}, "2000"},
      {{2, 5, 1, 2600}, "XP"},
      {{2, 5, 2, 0}, "2003SVR"},
      {{2, 6, 0, 0}, "VISTA"},
      {{2, 6, 1, 7601}, "SEVEN"},
      {{2, 6, 2, 9200}, ""},
      {{2, 10, 0, 19045}, ""},
      {{3, 0, 0, 0}, "Failed"},
      {{VersionRecord{}}, "31"},  // the call failed: the record stays zero
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SystemName(row.version), row.name)
        << row.version.platform_id << " " << row.version.major << "." << row.version.minor;
  }
}

TEST(TracePlace, FollowsTheSystemVersion) {
  const std::string user = "C:\\Users\\cassa\\";
  const std::string library = "D:\\Programs\\x\\TMVVelka.dll";
  struct Row {
    std::optional<VersionRecord> version;
    std::string folder;
    bool set_aside;
  };
  const Row rows[] = {
      {VersionRecord{2, 6, 0, 6002}, user, true},    // VISTA
      {VersionRecord{2, 6, 1, 7601}, user, false},   // SEVEN: a big trace starts afresh
      {VersionRecord{2, 5, 1, 2600}, "D:\\", true},  // XP: the root of the library's drive
      {VersionRecord{2, 6, 2, 9200}, user, true},    // later systems, as VISTA
      {VersionRecord{2, 5, 0, 2195}, user, true},    // older ones too
      {std::nullopt, user, true},                    // no version record (Linux)
  };
  for (const Row& row : rows) {
    const TracePlace place = ChooseTracePlace(row.version, user, library);
    EXPECT_EQ(place.folder, row.folder);
    EXPECT_EQ(place.set_aside, row.set_aside) << row.folder;
  }
}

TEST(UserFolder, EndsWithTheSeparatorOfItsSystem) {
  TemporaryHome home{"velka-user", {}};
  const char* old = std::getenv("USERPROFILE");
  const std::string saved = old ? old : "";
  ::setenv("USERPROFILE", "C:\\Users\\cassa", 1);
  EXPECT_EQ(UserFolder(), "C:\\Users\\cassa\\");
  ::setenv("USERPROFILE", "/home/cassa", 1);
  EXPECT_EQ(UserFolder(), "/home/cassa/");
  if (old) {
    ::setenv("USERPROFILE", saved.c_str(), 1);
  } else {
    ::unsetenv("USERPROFILE");
  }
}

// On SEVEN a trace past the limit is emptied, and nothing is set aside or numbered.
TEST(TraceFolderSeven, TooBigIsStartedAfreshWithoutSettingAside) {
  TemporaryHome home{"velka-trace", {}};
  const std::string folder = home.root() + "/";
  testing::MemorySettingsStore settings;
  {
    std::ofstream out(folder + kTraceFileName, std::ios::binary);
    out << std::string(kTraceSizeLimit + 1, 'x');
  }
  auto sink = OpenTraceFile(
      folder, settings, [] { return LocalDateTime{2026, 12, 6, 10, 0, 0}; }, false);
  ASSERT_TRUE(sink);
  sink->writeLine("fresh");
  sink.reset();
  EXPECT_EQ(fs::file_size(folder + kTraceFileName), 7u);
  EXPECT_FALSE(fs::exists(folder + "06_12_2026_TMVVelkaTrace_1.txt"));
  EXPECT_TRUE(settings.velka.find("ProgTraceLOG") == settings.velka.end());
}

class TraceFolder : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(home.ok()); }

  void writeTrace(std::uintmax_t size) {
    std::ofstream out(folder + kTraceFileName, std::ios::binary | std::ios::trunc);
    out << std::string(size, 'x');
  }
  WallClock day(int d, int m, int y) {
    return [=] { return LocalDateTime{y, m, d, 10, 0, 0}; };
  }
  TemporaryHome home{"velka-trace", {}};
  const std::string folder = home.root() + "/";
  MemorySettingsStore settings;
};

TEST_F(TraceFolder, ExactlyTheLimitIsAppendedTo) {
  writeTrace(kTraceSizeLimit);
  auto sink = OpenTraceFile(folder, settings, day(6, 12, 2026));
  ASSERT_TRUE(sink);
  sink->writeLine("line");
  sink.reset();
  EXPECT_EQ(fs::file_size(folder + kTraceFileName), kTraceSizeLimit + 6);
  EXPECT_FALSE(fs::exists(folder + "06_12_2026_TMVVelkaTrace_1.txt"));
}

TEST_F(TraceFolder, OneByteMoreIsSetAsideAndStartedAnew) {
  settings.velka = {{"ProgDataLOG", "06/12/2026"}, {"ProgTraceLOG", "3"}};
  writeTrace(kTraceSizeLimit + 1);
  auto sink = OpenTraceFile(folder, settings, day(6, 12, 2026));
  ASSERT_TRUE(sink);
  sink->writeLine("fresh");
  sink.reset();
  EXPECT_EQ(fs::file_size(folder + "06_12_2026_TMVVelkaTrace_3.txt"), kTraceSizeLimit + 1);
  EXPECT_EQ(fs::file_size(folder + kTraceFileName), 7u);
  EXPECT_EQ(settings.velka["ProgTraceLOG"], "4");
  EXPECT_EQ(settings.velka["ProgDataLOG"], "06/12/2026");
}

TEST_F(TraceFolder, NumberingRestartsOnALaterDay) {
  settings.velka = {{"ProgDataLOG", "05/12/2026"}, {"ProgTraceLOG", "5"}};
  writeTrace(kTraceSizeLimit + 1);
  ASSERT_TRUE(SetTraceAside(folder, settings, day(6, 12, 2026)));
  EXPECT_TRUE(fs::exists(folder + "06_12_2026_TMVVelkaTrace_1.txt"));
  EXPECT_EQ(settings.velka["ProgTraceLOG"], "2");
  EXPECT_EQ(settings.velka["ProgDataLOG"], "06/12/2026");
}

TEST_F(TraceFolder, DatesAreComparedAsDatesAcrossMonthsAndYears) {
  settings.velka = {{"ProgDataLOG", "31/01/2026"}, {"ProgTraceLOG", "9"}};
  writeTrace(10);
  ASSERT_TRUE(SetTraceAside(folder, settings, day(1, 2, 2026)));
  EXPECT_TRUE(fs::exists(folder + "01_02_2026_TMVVelkaTrace_1.txt"));
  settings.velka = {{"ProgDataLOG", "31/12/2025"}, {"ProgTraceLOG", "4"}};
  writeTrace(10);
  ASSERT_TRUE(SetTraceAside(folder, settings, day(1, 1, 2026)));
  EXPECT_TRUE(fs::exists(folder + "01_01_2026_TMVVelkaTrace_1.txt"));
  // A stored day in the future (clock set back) keeps the numbering.
  settings.velka = {{"ProgDataLOG", "07/12/2026"}, {"ProgTraceLOG", "4"}};
  writeTrace(10);
  ASSERT_TRUE(SetTraceAside(folder, settings, day(6, 12, 2026)));
  EXPECT_TRUE(fs::exists(folder + "06_12_2026_TMVVelkaTrace_4.txt"));
}

TEST_F(TraceFolder, BrokenNumberingNeverKeepsTheTraceFromOpening) {
  settings.velka = {{"ProgDataLOG", "06/12/2026"}, {"ProgTraceLOG", "abc"}};
  writeTrace(10);
  ASSERT_TRUE(SetTraceAside(folder, settings, day(6, 12, 2026)));
  EXPECT_TRUE(fs::exists(folder + "06_12_2026_TMVVelkaTrace_1.txt"));
  // The next name is taken by a stray file: the next free number is used.
  settings.velka["ProgTraceLOG"] = "1";
  writeTrace(10);
  ASSERT_TRUE(SetTraceAside(folder, settings, day(6, 12, 2026)));
  EXPECT_TRUE(fs::exists(folder + "06_12_2026_TMVVelkaTrace_2.txt"));
  EXPECT_EQ(settings.velka["ProgTraceLOG"], "3");
  settings.velka["ProgDataLOG"] = "not a date";
  writeTrace(10);
  ASSERT_TRUE(SetTraceAside(folder, settings, day(6, 12, 2026)));
  EXPECT_EQ(settings.velka["ProgDataLOG"], "06/12/2026");
}

TEST_F(TraceFolder, UnwritableFolderGivesNoTrace) {
  EXPECT_FALSE(OpenTraceFile(folder + "missing/", settings, day(6, 12, 2026)));
}

TEST(UserFolder, PrefersUserProfileThenHome) {
  const char* home = std::getenv("HOME");
  const std::string saved_home = home ? home : "";
  setenv("USERPROFILE", "/profiles/cassa", 1);
  EXPECT_EQ(UserFolder(), "/profiles/cassa/");
  unsetenv("USERPROFILE");
  setenv("HOME", "/home/cassa", 1);
  EXPECT_EQ(UserFolder(), "/home/cassa/");
  unsetenv("HOME");
  EXPECT_EQ(UserFolder(), "");
  if (home) setenv("HOME", saved_home.c_str(), 1);
}

}  // namespace
}  // namespace velka::testing
