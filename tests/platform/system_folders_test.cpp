// The machine-wide folders from XDG_DATA_DIRS and XDG_CONFIG_DIRS, and the ports folders and
// port lookup built on them: the user's entry first, then the machine's.
#include "platform/system_folders.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/port_map.h"
#include "tests/platform/temp_home.h"

namespace velka {
namespace {

namespace fs = std::filesystem;
using Folders = std::vector<std::string>;

TEST(SystemFoldersTest, ListsKeepAbsoluteEntriesInOrderOnce) {
  const struct {
    const char* text;
    Folders folders;
  } rows[] = {
      {"/usr/share:/opt/x/share/", {"/usr/share", "/opt/x/share"}},
      {"relative:/a::/a//:/b", {"/a", "/b"}},
      {"/", {"/"}},
      {"", {}},
      {"::", {}},
      {"share:data", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(FolderList(row.text), row.folders) << row.text;
}

TEST(SystemFoldersTest, EnvironmentOrTheDefaults) {
  TempHome home;
  ::setenv("XDG_DATA_DIRS", "/srv/data:/usr/share", 1);
  ::setenv("XDG_CONFIG_DIRS", "/srv/etc/", 1);
  EXPECT_EQ(SystemDataFolders(), (Folders{"/srv/data", "/usr/share"}));
  EXPECT_EQ(SystemConfigFolders(), (Folders{"/srv/etc"}));
  // Nothing usable in the variable, or no variable: the defaults of the conventions.
  ::setenv("XDG_DATA_DIRS", "relative", 1);
  ::unsetenv("XDG_CONFIG_DIRS");
  EXPECT_EQ(SystemDataFolders(), (Folders{"/usr/local/share", "/usr/share"}));
  EXPECT_EQ(SystemConfigFolders(), (Folders{"/etc/xdg"}));
}

TEST(PortMapTest, UserEntryFirstThenTheMachinesThenTheDefault) {
  TempHome home;
  const std::string mine = home.config() + "/TMV SPA/ports";
  const std::string machine = home.systemConfig() + "/TMV SPA/ports";
  EXPECT_EQ(PortsFolders(), (Folders{mine, machine}));
  fs::create_directories(mine);
  fs::create_directories(machine);
  fs::create_symlink("/dev/ttyUSB0", mine + "/com1");
  fs::create_symlink("/dev/ttyUSB1", machine + "/com1");  // hidden by the user's
  fs::create_symlink("/dev/serial/by-id/usb-adapter", machine + "/com2");
  TempHome::WriteFile(machine + "/com3", "ttyACM0\n");
  TempHome::WriteFile(machine + "/com4", "\n");
  fs::create_symlink("../../../null-link", machine + "/com6");  // relative, through a link
  fs::create_symlink("/dev/null", home.root() + "/null-link");
  // device, entry, named, resolved (a link that leads nowhere resolves to itself).
  const struct {
    int port;
    PortLocation expected;
  } rows[] = {
      {1, {mine + "/com1", mine + "/com1", "/dev/ttyUSB0", mine + "/com1"}},
      {2,
       {machine + "/com2", machine + "/com2", "/dev/serial/by-id/usb-adapter", machine + "/com2"}},
      {3, {machine + "/ttyACM0", machine + "/com3", "ttyACM0", machine + "/ttyACM0"}},
      {4, {"", machine + "/com4", "", ""}},
      {5, {"/dev/ttyS4", "", "", "/dev/ttyS4"}},
      {6, {machine + "/com6", machine + "/com6", "../../../null-link", "/dev/null"}},
      {0, {"", "", "", ""}},
  };
  for (const auto& row : rows) {
    const PortLocation found = LocatePort(row.port);
    EXPECT_EQ(found.device, row.expected.device) << row.port;
    EXPECT_EQ(found.entry, row.expected.entry) << row.port;
    EXPECT_EQ(found.named, row.expected.named) << row.port;
    EXPECT_EQ(found.resolved, row.expected.resolved) << row.port;
  }
}

}  // namespace
}  // namespace velka
