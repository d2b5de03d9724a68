// TrayIcon: what the notification area is handed and when, the tooltip field, the mouse
// messages and the events they raise; and the activations of Qt's tray icon as messages.
#include "server/ui/tray_icon.h"

#include <gtest/gtest.h>

#include <QPixmap>
#include <memory>

#include "server/ui/server_icons.h"
#include "server/ui/system_tray_area.h"
#include "tests/ui/ui_test_support.h"

namespace velka::server::ui {
namespace {

using testing::RecordingArea;
using Op = NotifyIconOperation;

class TrayIconTest : public ::testing::Test {
 protected:
  std::vector<Op> operations() const {
    std::vector<Op> ops;
    for (const auto& call : calls) ops.push_back(call.operation);
    return ops;
  }
  const NotifyIconRecord& lastRecord() const { return calls.back().record; }

  ServerIcons icons = LoadServerIcons();
  std::vector<RecordingArea::Call> calls;
  RecordingArea area{calls};
  std::unique_ptr<TrayIcon> tray = std::make_unique<TrayIcon>(area);
};

TEST_F(TrayIconTest, IconAndTooltipBeforeShowAreOnlyStored) {
  tray->I_Icon(icons.error);
  tray->I_ToolTipText("Il coperchio \xE8 aperto");
  EXPECT_TRUE(calls.empty());
  tray->I_Show();
  ASSERT_EQ(operations(), std::vector<Op>{Op::Add});
  EXPECT_EQ(lastRecord().icon.cacheKey(), icons.error.cacheKey());
  EXPECT_EQ(lastRecord().tipText(), "Il coperchio \xE8 aperto");
  EXPECT_TRUE(tray->visible());
}

TEST_F(TrayIconTest, ChangesGoOutOnlyWhileShown) {
  tray->I_Show();
  tray->I_Show();  // already shown: nothing
  tray->I_ToolTipText("uno");
  tray->I_Icon(icons.warning);
  EXPECT_EQ(operations(), (std::vector<Op>{Op::Add, Op::Modify, Op::Modify}));
  EXPECT_EQ(lastRecord().tipText(), "uno");
  EXPECT_EQ(lastRecord().icon.cacheKey(), icons.warning.cacheKey());

  tray->I_Hide();
  tray->I_ToolTipText("due");
  tray->I_Icon(icons.normal);
  EXPECT_EQ(calls.size(), 4u);  // the delete only
  tray->I_Visible(true);
  EXPECT_EQ(operations().back(), Op::Add);
  EXPECT_EQ(lastRecord().tipText(), "due");
  EXPECT_EQ(lastRecord().icon.cacheKey(), icons.normal.cacheKey());
}

TEST_F(TrayIconTest, HideTwiceSendsOneDeleteAndDestructionOneMore) {
  tray->I_Show();
  tray->I_Hide();
  tray->I_Hide();
  tray->I_Visible(false);
  EXPECT_EQ(operations(), (std::vector<Op>{Op::Add, Op::Delete}));
  EXPECT_FALSE(tray->visible());
  tray.reset();  // hidden already: the final delete goes out all the same
  EXPECT_EQ(operations(), (std::vector<Op>{Op::Add, Op::Delete, Op::Delete}));
}

TEST_F(TrayIconTest, DestructionOfANeverShownIconSendsADelete) {
  tray.reset();
  EXPECT_EQ(operations(), std::vector<Op>{Op::Delete});
}

TEST_F(TrayIconTest, TooltipFieldHoldsAtMost63CharactersANulAndBlanks) {
  const struct {
    std::size_t length;
    std::size_t kept;
  } rows[] = {{0, 0}, {1, 1}, {62, 62}, {63, 63}, {64, 63}, {200, 63}};
  tray->I_Show();
  for (const auto& row : rows) {
    std::string text;
    for (std::size_t i = 0; i < row.length; ++i) text += static_cast<char>('a' + i % 26);
    tray->I_ToolTipText(text);
    const auto& tip = lastRecord().tip;
    EXPECT_EQ(lastRecord().tipText(), text.substr(0, row.kept)) << row.length;
    EXPECT_EQ(tip[row.kept], '\0') << row.length;
    for (std::size_t i = row.kept + 1; i < tip.size(); ++i) {
      ASSERT_EQ(tip[i], ' ') << row.length << " at " << i;
    }
  }
}

TEST_F(TrayIconTest, MouseMessagesRaiseTheirEvents) {
  const struct {
    int message;
    const char* event;  // "" for none
    std::int16_t button;
  } rows[] = {
      {512, "MouseMove", -1},
      {513, "MouseDown", 0},
      {514, "MouseUp", 0},
      {515, "DoubleClick", 0},
      {516, "MouseDown", 1},
      {517, "MouseUp", 1},
      {518, "DoubleClick", 1},
      {519, "MouseDown", 2},
      {520, "MouseUp", 2},
      {521, "DoubleClick", 2},
      {511, "", -1},
      {522, "", -1},
      {0, "", -1},
      {1000, "", -1},
  };
  std::string raised;
  std::int16_t button = -1;
  std::int16_t shift = -1;
  tray->MouseMove = [&](std::int16_t& s) {
    raised = "MouseMove";
    shift = s;
  };
  auto recorder = [&](const char* name) {
    return [&, name](std::int16_t& b, std::int16_t& s) {
      raised = name;
      button = b;
      shift = s;
    };
  };
  tray->MouseDown = recorder("MouseDown");
  tray->MouseUp = recorder("MouseUp");
  tray->DoubleClick = recorder("DoubleClick");
  for (const auto& row : rows) {
    raised.clear();
    button = -1;
    shift = -1;
    tray->MouseMessage(row.message, 5);
    EXPECT_EQ(raised, row.event) << row.message;
    EXPECT_EQ(button, row.button) << row.message;
    if (*row.event) {
      EXPECT_EQ(shift, 5) << row.message;
    }
  }

  tray->I_GeneraEventi = false;
  raised.clear();
  for (int message = 512; message <= 521; ++message) tray->MouseMessage(message, 0);
  EXPECT_EQ(raised, "");
}

TEST(SystemTrayAreaTest, ActivationsBecomeTheButtonsMessages) {
  using Reason = QSystemTrayIcon::ActivationReason;
  const struct {
    Reason reason;
    std::vector<int> messages;
  } rows[] = {
      {QSystemTrayIcon::Trigger, {513, 514}}, {QSystemTrayIcon::DoubleClick, {515}},
      {QSystemTrayIcon::Context, {516, 517}}, {QSystemTrayIcon::MiddleClick, {519, 520}},
      {QSystemTrayIcon::Unknown, {}},
  };
  for (const auto& row : rows) {
    std::vector<int> seen;
    SystemTrayArea area([&](int message, std::int16_t) { seen.push_back(message); });
    emit area.icon().activated(row.reason);
    EXPECT_EQ(seen, row.messages) << static_cast<int>(row.reason);
  }
  EXPECT_EQ(ShiftState(Qt::NoModifier), 0);
  EXPECT_EQ(ShiftState(Qt::ShiftModifier | Qt::AltModifier), 5);
  EXPECT_EQ(ShiftState(Qt::ControlModifier), 2);
}

TEST(SystemTrayAreaTest, RecordReachesQtsIcon) {
  SystemTrayArea area([](int, std::int16_t) {});
  NotifyIconRecord record;
  record.icon = LoadServerIcons().warning;
  const std::string tip = "La stampante \xE8 occupata";
  std::copy(tip.begin(), tip.end(), record.tip.begin());
  record.tip[tip.size()] = '\0';
  area.NotifyIcon(NotifyIconOperation::Add, record);
  EXPECT_EQ(area.icon().toolTip(), QString::fromUtf8("La stampante \xC3\xA8 occupata"));
  EXPECT_EQ(area.icon().icon().cacheKey(), record.icon.cacheKey());
  area.NotifyIcon(NotifyIconOperation::Delete, record);
  EXPECT_FALSE(area.icon().isVisible());
}

TEST(ServerIconsTest, EveryPictureIsDrawn) {
  const ServerIcons icons = LoadServerIcons();
  for (const QIcon* icon : {&icons.application, &icons.normal, &icons.error, &icons.warning}) {
    const QImage image = icon->pixmap(32).toImage();
    ASSERT_FALSE(image.isNull());
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) opaque += qAlpha(image.pixel(x, y)) > 0;
    }
    EXPECT_GT(opaque, image.width() * image.height() / 3);
  }
  // The three states differ where the badge is.
  const QImage normal = icons.normal.pixmap(32).toImage();
  EXPECT_NE(normal, icons.error.pixmap(32).toImage());
  EXPECT_NE(normal, icons.warning.pixmap(32).toImage());
  EXPECT_EQ(&icons.ForTray(server::TrayIcon::Error), &icons.error);
}

}  // namespace
}  // namespace velka::server::ui
