// Which face the environment asks for.
#include "server/ui/server_face.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

namespace velka::server::ui {
namespace {

// Sets or clears a variable for the test's lifetime.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedVariable() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ServerFaceTest, DesktopIsThereWhenEitherDisplayIsSet) {
  const struct {
    const char* display;
    const char* wayland;
    bool desktop;
  } rows[] = {
      {nullptr, nullptr, false},    {"", "", false},         {":0", nullptr, true},
      {nullptr, "wayland-0", true}, {"", "wayland-0", true},
  };
  for (const auto& row : rows) {
    ScopedVariable display("DISPLAY", row.display);
    ScopedVariable wayland("WAYLAND_DISPLAY", row.wayland);
    EXPECT_EQ(DesktopPresent(), row.desktop)
        << (row.display ? row.display : "-") << " " << (row.wayland ? row.wayland : "-");
  }
}

// A DISPLAY left over from a closed session must not take the server into a window system that
// is not there: the socket of a local display is looked at first.
TEST(ServerFaceTest, DisplaySocketOfALocalDisplay) {
  const struct {
    const char* display;
    const char* wayland;
    const char* runtime;
    const char* socket;
  } rows[] = {
      {":0", "", "", "/tmp/.X11-unix/X0"},
      {":12.1", "", "", "/tmp/.X11-unix/X12"},
      {"localhost:10.0", "", "", ""},  // another host: not told from here
      {":", "", "", ""},
      {":0x", "", "", ""},
      {":0", "wayland-1", "/run/user/7", "/run/user/7/wayland-1"},  // Wayland first
      {"", "/tmp/w-9", "", "/tmp/w-9"},
      {"", "wayland-0", "", ""},  // no runtime folder to look in
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DisplaySocket(row.display, row.wayland, row.runtime), row.socket)
        << row.display << " " << row.wayland;
  }
}

TEST(ServerFaceTest, DesktopWhoseSocketIsMissingIsNotReachable) {
  ScopedVariable display("DISPLAY", nullptr);
  ScopedVariable runtime("XDG_RUNTIME_DIR", "/nonexistent-velka-runtime");
  ScopedVariable wayland("WAYLAND_DISPLAY", "wayland-0");
  EXPECT_TRUE(DesktopPresent());
  EXPECT_FALSE(DesktopReachable());
  ScopedVariable remote("WAYLAND_DISPLAY", nullptr);
  ScopedVariable forwarded("DISPLAY", "localhost:10.0");
  EXPECT_TRUE(DesktopReachable());
}

}  // namespace
}  // namespace velka::server::ui
