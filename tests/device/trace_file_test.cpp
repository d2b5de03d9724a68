// The trace file: system names, setting aside at the size limit, daily numbering.
#include "control/device/trace_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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
