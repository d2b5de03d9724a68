#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "tests/platform/temp_home.h"

namespace velka {
namespace {

TEST(ConfigHomeTest, FollowsXdgConfigHomeThenHome) {
  TempHome home;
  ::setenv("XDG_CONFIG_HOME", "/srv/conf//", 1);
  EXPECT_EQ(ConfigHome(), "/srv/conf");
  for (const char* ignored : {"", "relative/conf"}) {
    ::setenv("XDG_CONFIG_HOME", ignored, 1);
    EXPECT_EQ(ConfigHome(), home.root() + "/home/.config") << ignored;
  }
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(ConfigHome(), home.root() + "/home/.config");
  ::setenv("HOME", "/", 1);
  EXPECT_EQ(ConfigHome(), "/.config");
}

TEST(IniSettingsStoreTest, WritesCreateTheFoldersAndReadBack) {
  TempHome home;
  IniSettingsStore store;
  EXPECT_EQ(IniSettingsStore::PathFor("TMV SPA"), home.config() + "/TMV SPA/settings.ini");
  EXPECT_EQ(store.read("TMV SPA", "VELKA", "PackID"), std::nullopt);
  ASSERT_TRUE(store.write("TMV SPA", "VELKA", "PackID", "7"));
  ASSERT_TRUE(store.write("TMV SPA", "VELKA", "TraceLOG", "False"));
  ASSERT_TRUE(store.write("TMV SPA", "VELKA", "PackID", "8"));
  EXPECT_EQ(store.read("TMV SPA", "velka", "packid"), "8");
  EXPECT_EQ(store.read("TMV SPA", "VELKA", "TraceLOG"), "False");
  EXPECT_EQ(TempHome::ReadFile(home.config() + "/TMV SPA/settings.ini"),
            "[VELKA]\r\nPackID=8\r\nTraceLOG=False\r\n");
}

// A value written after every frame goes to a record of its own, rewritten in place; it is the
// value until the key is written durably again, and a damaged record is not believed.
TEST(IniSettingsStoreTest, UnflushedValueLivesInARecordUntilWrittenDurably) {
  TempHome home;
  const std::string ini = home.config() + "/TMV SPA/settings.ini";
  const std::string record = home.config() + "/TMV SPA/VELKA.PACKID.value";
  {
    IniSettingsStore store;
    ASSERT_TRUE(store.write("TMV SPA", "VELKA", "PackID", "3"));
    for (const char* digit : {"4", "5", "6"}) {
      ASSERT_TRUE(store.writeUnflushed("TMV SPA", "VELKA", "PackID", digit));
    }
    EXPECT_EQ(store.read("TMV SPA", "velka", "packid"), "6");
    EXPECT_EQ(TempHome::ReadFile(ini), "[VELKA]\r\nPackID=3\r\n");
  }
  IniSettingsStore next_run;  // after a crash
  EXPECT_EQ(next_run.read("TMV SPA", "VELKA", "PackID"), "6");
  std::string damaged = TempHome::ReadFile(record);
  damaged[17] = '9';
  TempHome::WriteFile(record, damaged);
  EXPECT_EQ(next_run.read("TMV SPA", "VELKA", "PackID"), "3");
  ASSERT_TRUE(next_run.writeUnflushed("TMV SPA", "VELKA", "PackID", "7"));
  ASSERT_TRUE(next_run.write("TMV SPA", "VELKA", "PackID", "8"));  // at termination
  EXPECT_FALSE(std::filesystem::exists(record));
  EXPECT_EQ(next_run.read("TMV SPA", "VELKA", "PackID"), "8");
}

TEST(IniSettingsStoreTest, ApplicationNamesStayInsideTheConfigFolder) {
  TempHome home;
  IniSettingsStore store;
  for (const char* bad : {"", ".", "..", "../escape", "a/b"}) {
    EXPECT_FALSE(store.write(bad, "S", "K", "1")) << bad;
    EXPECT_EQ(store.read(bad, "S", "K"), std::nullopt) << bad;
  }
  EXPECT_FALSE(std::filesystem::exists(home.root() + "/escape"));
}

}  // namespace
}  // namespace velka
