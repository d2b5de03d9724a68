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

}  // namespace
}  // namespace velka::server::ui
