#pragma once
// A virtual X server (Xvfb) for a test, started on a free display, and screenshots of it cut
// to what is drawn, kept under <build>/screenshots/ (their paths are printed).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QImage>
#include <QSet>
#include <filesystem>
#include <string>

#include "tests/server/e2e_support.h"

namespace velka::server::ui::testing {

// A program of the PATH, or "" when there is none.
inline std::string FindProgram(const std::string& name) {
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

class VirtualDisplay {
 public:
  static constexpr int kWaitMs = 20000;

  ~VirtualDisplay() { Stop(); }

  // Starts Xvfb, its output in work_folder, and points DISPLAY at it (Qt's platform left to
  // choose: xcb).
  void Start(const std::string& work_folder) {
    work_ = work_folder;
    const std::string xvfb = FindProgram("Xvfb");
    ASSERT_FALSE(xvfb.empty()) << "Xvfb is missing: scripts/install-deps.sh installs it";
    // -displayfd: Xvfb picks a free display and writes its number on standard output.
    ASSERT_TRUE(x_server_.Start(
        {xvfb, "-displayfd", "1", "-screen", "0", "800x600x24", "-br", "-nolisten", "tcp"},
        File("xvfb.out"), File("xvfb.err")));
    ASSERT_TRUE(server::testing::WaitFor(
        [&] { return server::testing::ReadText(File("xvfb.out")).find('\n') != std::string::npos; },
        kWaitMs))
        << server::testing::ReadText(File("xvfb.err"));
    const std::string out = server::testing::ReadText(File("xvfb.out"));
    name_ = ":" + out.substr(0, out.find('\n'));
    ::setenv("DISPLAY", name_.c_str(), 1);
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("QT_QPA_PLATFORM");
  }

  void Stop() {
    x_server_.Signal(SIGTERM);
    x_server_.WaitExit(kWaitMs);
    ::unsetenv("DISPLAY");
  }

  const std::string& name() const { return name_; }

  // The whole screen, cut to what is not the black root window; kept as name.png.
  std::string Screenshot(const std::string& name) {
    const std::string import = FindProgram("import");
    EXPECT_FALSE(import.empty()) << "ImageMagick's import is missing";
    const std::string folder = VELKA_SCREENSHOT_DIR;
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/" + name + ".png";
    server::testing::ChildProcess shot;
    EXPECT_TRUE(shot.Start({import, "-display", name_, "-window", "root", "png24:" + path},
                           File("import.out"), File("import.err")));
    EXPECT_EQ(shot.WaitExit(kWaitMs), 0) << server::testing::ReadText(File("import.err"));
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

 private:
  std::string File(const std::string& name) const { return work_ + "/" + name; }

  server::testing::ChildProcess x_server_;
  std::string work_;
  std::string name_;
};

}  // namespace velka::server::ui::testing
