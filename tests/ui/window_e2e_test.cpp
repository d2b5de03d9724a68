// The real VelkaDriverServer with its window, on a virtual X server (Xvfb, started here),
// against velka-sim: a receipt job, then the cover opened in the middle of the next one.
// Screenshots of the screen are taken at each stage and kept, cut to the window, under
// <build>/screenshots/ (the paths are printed).
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/server/e2e_support.h"
#include "tests/server/server_test_support.h"
#include "tests/ui/virtual_display.h"

#if defined(VELKA_SERVER_EXE) && defined(VELKA_SIM_EXE)

namespace velka::server::ui {
namespace {

using server::testing::ChildProcess;
using server::testing::ReadText;
using server::testing::TempProgramFolder;
using server::testing::WaitFor;

constexpr int kWaitMs = 20000;

class WindowEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder.home());
    display.Start(folder.root());
  }
  void TearDown() override {
    server.Signal(SIGTERM);
    server.WaitExit(kWaitMs);
    sim.Signal(SIGTERM);
    sim.WaitExit(kWaitMs);
    display.Stop();
  }

  std::string root(const std::string& name) const { return folder.root() + "/" + name; }
  std::string input() const { return folder.path("TOSEND/"); }
  void Channel(const std::string& command) { std::ofstream(root("sim.ctl")) << command << "\n"; }
  void Drop(const std::string& name, const std::string& content) {
    TempProgramFolder::WriteFile(input() + "." + name, content);
    std::filesystem::rename(input() + "." + name, input() + name);
  }

  std::string Screenshot(const std::string& name) { return display.Screenshot(name); }

  TempProgramFolder folder;
  testing::VirtualDisplay display;
  ChildProcess sim;
  ChildProcess server;
};

TEST_F(WindowEndToEndTest, ReceiptThenCoverOpenOnTheWindow) {
  ASSERT_TRUE(sim.Start({VELKA_SIM_EXE, "--com", "1", "--baud", "0", "--control", root("sim.ctl"),
                         "--paper", root("paper.txt")},
                        root("sim.out"), root("sim.err")));
  ASSERT_TRUE(WaitFor([&] { return ReadText(root("sim.out")).starts_with("/dev/"); }, kWaitMs));
  TempProgramFolder::WriteFile(folder.path("TMVSERVER.INI"),
                               "[Parameters]\r\nPort=1\r\nFrequence=1\r\n");
  ASSERT_TRUE(server.Start({VELKA_SERVER_EXE}, root("server.out"), root("server.err")));
  ASSERT_TRUE(WaitFor(
      [&] {
        return server.Printed("tray: shown") || !server.running() || server.WaitExit(0).has_value();
      },
      kWaitMs));
  ASSERT_TRUE(server.Printed("tray: shown")) << ReadText(root("server.err"));

  Drop("Sale001.txt", "=R1/$1.5/*2/(CAFFE)\r\n=R1/$3/(CORNETTO)\r\n=T1/$10\r\n");
  ASSERT_TRUE(WaitFor([&] { return TempProgramFolder::Exists(input() + "Sale001.OK"); }, kWaitMs))
      << ReadText(root("server.out"));
  ASSERT_TRUE(WaitFor([&] { return server.Printed("lblNumero: 1"); }, kWaitMs))
      << ReadText(root("server.out"));
  // Let the window repaint before the picture.
  WaitFor([] { return false; }, 300);
  Screenshot("window-receipt");

  Channel("cover open");
  ASSERT_TRUE(
      WaitFor([&] { return ReadText(root("sim.out")).find("ok") != std::string::npos; }, kWaitMs));
  Drop("Sale002.txt", "=R1/$2/(ACQUA)\r\n=T1/$2\r\n");
  // The status, the icon, then the window to the front: the last line tells all are shown.
  ASSERT_TRUE(WaitFor([&] { return server.Printed("window: brought to front"); }, kWaitMs))
      << ReadText(root("server.out"));
  EXPECT_TRUE(server.Printed("lblStato: Il coperchio \xC3\xA8 aperto"));
  EXPECT_TRUE(server.Printed("tray icon: error"));
  WaitFor([] { return false; }, 300);
  Screenshot("window-cover-open");

  Channel("cover close");
  ASSERT_TRUE(WaitFor([&] { return TempProgramFolder::Exists(input() + "Sale002.OK"); }, kWaitMs))
      << ReadText(root("server.out"));
  server.Signal(SIGTERM);
  EXPECT_EQ(server.WaitExit(kWaitMs), 0) << ReadText(root("server.err"));
}

}  // namespace
}  // namespace velka::server::ui

#endif
