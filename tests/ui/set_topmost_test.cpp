// SetTopmost: the stays-on-top property without moving, resizing, showing or hiding.
#include "server/ui/set_topmost.h"

#include <gtest/gtest.h>

#include "tests/ui/ui_test_support.h"

namespace velka::server::ui {
namespace {

TEST(SetTopmostTest, KeepsPlaceSizeAndVisibility) {
  for (bool shown : {true, false}) {
    QWidget window;
    window.setGeometry(40, 50, 300, 200);
    if (shown) window.show();
    testing::Settle();
    const QRect before = window.geometry();
    EXPECT_TRUE(SetTopmost(&window, true));
    EXPECT_TRUE(SetTopmost(&window, true));  // already: nothing changes
    testing::Settle();
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window.isVisible(), shown);
    EXPECT_EQ(window.geometry(), before);
    EXPECT_TRUE(SetTopmost(&window, false));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window.isVisible(), shown);
  }
  EXPECT_FALSE(SetTopmost(nullptr, true));
}

}  // namespace
}  // namespace velka::server::ui
