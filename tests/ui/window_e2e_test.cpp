// The real VelkaDriverServer with its window, on a virtual X server (Xvfb, started here),
// against velka-sim: a receipt job, then the cover opened in the middle of the next one.
// Screenshots of the screen are taken at each stage and kept, cut to the window, under
// <build>/screenshots/ (the paths are printed).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QImage>
#include <QSet>
#include <filesystem>

#include "tests/server/e2e_support.h"
#include "tests/server/server_test_support.h"

#if defined(VELKA_SERVER_EXE) && defined(VELKA_SIM_EXE)

namespace velka::server::ui {
namespace {

using server::testing::ChildProcess;
using server::testing::ReadText;
using server::testing::TempProgramFolder;
using server::testing::WaitFor;

constexpr int kWaitMs = 20000;

// A program of the PATH, or "" when there is none.
std::string FindProgram(const std::string& name) {
  const char* path = ::getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= folders.size();) {
    const std::size_t end = std::min(folders.find(':', start), folders.size());
    const std::string candidate = folders.substr(start, end - start) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return "";
}

std::string ScreenshotFolder() {
  return VELKA_SCREENSHOT_DIR;
}

class WindowEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder.home());
    const std::string xvfb = FindProgram("Xvfb");
    ASSERT_FALSE(xvfb.empty()) << "Xvfb is missing: scripts/install-deps.sh installs it";
    // -displayfd: Xvfb picks a free display and writes its number on standard output.
    ASSERT_TRUE(x_server.Start(
        {xvfb, "-displayfd", "1", "-screen", "0", "800x600x24", "-br", "-nolisten", "tcp"},
        root("xvfb.out"), root("xvfb.err")));
    ASSERT_TRUE(WaitFor([&] { return ReadText(root("xvfb.out")).find('\n') != std::string::npos; },
                        kWaitMs))
        << ReadText(root("xvfb.err"));
    display = ":" + ReadText(root("xvfb.out")).substr(0, ReadText(root("xvfb.out")).find('\n'));
    ::setenv("DISPLAY", display.c_str(), 1);
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
  }
  void TearDown() override {
    server.Signal(SIGTERM);
    server.WaitExit(kWaitMs);
    sim.Signal(SIGTERM);
    sim.WaitExit(kWaitMs);
    x_server.Signal(SIGTERM);
    x_server.WaitExit(kWaitMs);
    ::unsetenv("DISPLAY");
  }

  std::string root(const std::string& name) const { return folder.root() + "/" + name; }
  std::string input() const { return folder.path("TOSEND/"); }
  void Channel(const std::string& command) { std::ofstream(root("sim.ctl")) << command << "\n"; }
  void Drop(const std::string& name, const std::string& content) {
    TempProgramFolder::WriteFile(input() + "." + name, content);
    std::filesystem::rename(input() + "." + name, input() + name);
  }

  // The whole screen, cut to what is not the black root window; kept as name.png.
  std::string Screenshot(const std::string& name) {
    const std::string import = FindProgram("import");
    EXPECT_FALSE(import.empty()) << "ImageMagick's import is missing";
    std::filesystem::create_directories(ScreenshotFolder());
    const std::string path = ScreenshotFolder() + "/" + name + ".png";
    ChildProcess shot;
    EXPECT_TRUE(shot.Start({import, "-display", display, "-window", "root", "png24:" + path},
                           root("import.out"), root("import.err")));
    EXPECT_EQ(shot.WaitExit(kWaitMs), 0) << ReadText(root("import.err"));
    QImage screen(QString::fromStdString(path));
    EXPECT_FALSE(screen.isNull()) << path;
    QRect shown;
    QSet<QRgb> colours;
    for (int y = 0; y < screen.height(); ++y) {
      for (int x = 0; x < screen.width(); ++x) {
        const QRgb pixel = screen.pixel(x, y) & 0xFFFFFF;
        if (pixel == 0) continue;
        shown = shown.united(QRect(x, y, 1, 1));
        colours.insert(pixel);
      }
    }
    // A window with frames, texts and pictures, not an empty or single-colour screen.
    EXPECT_GE(shown.width(), 300) << path;
    EXPECT_GE(colours.size(), 20) << path;
    if (!shown.isEmpty()) screen.copy(shown).save(QString::fromStdString(path));
    std::printf("screenshot: %s\n", path.c_str());
    return path;
  }

  TempProgramFolder folder;
  ChildProcess x_server;
  ChildProcess sim;
  ChildProcess server;
  std::string display;
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
