// frmMain as the server shows it: its elements by name, the captions in both languages, the
// status events, the job results, the tray icon's picture and tooltip, bringing the window to
// the front, the menu commands and the double click on the icon.
#include "server/ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>

#include "server/jobs/status_display.h"
#include "server/resources/message_table.h"
#include "server/ui/qt_text.h"
#include "server/ui/start_failure_box.h"
#include "tests/ui/ui_test_support.h"

namespace velka::server::ui {
namespace {

using testing::RecordingArea;
using testing::RecordingCommands;
using testing::Settle;

QString Utf8(const char* text) {
  return QString::fromUtf8(text);
}

class MainWindowTest : public ::testing::Test {
 protected:
  explicit MainWindowTest(bool tray_present = true)
      : window(std::make_unique<RecordingArea>(calls, tray_present)), display(window) {
    window.setMenuCommands(&commands);
  }

  // Start-up as the server does it: captions, register frame, tray icon.
  void StartUp(int language_offset = kItalianOffset) {
    display.setLanguageOffset(language_offset);
    display.ApplyCaptions();
    display.ShowRegisterFrame("1");
    display.ShowTray();
    window.ShowAtStartUp();
    Settle();
  }

  QString label(const char* name) const {
    const auto* found = window.findChild<QLabel*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found ? found->text() : QString("<missing>");
  }
  QString frame(const char* name) const {
    const auto* found = window.findChild<QGroupBox*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found ? found->title() : QString("<missing>");
  }
  QAction* action(const char* name) const {
    auto* found = window.findChild<QAction*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QString menuText(const char* name) const {
    QAction* found = action(name);
    return found ? found->text() : QString("<missing>");
  }
  const NotifyIconRecord& tray() const { return calls.back().record; }
  bool topmost() const { return window.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

  std::vector<RecordingArea::Call> calls;
  RecordingCommands commands;
  frmMain window;
  StatusDisplay display;
};

class MainWindowWithoutTrayTest : public MainWindowTest {
 protected:
  MainWindowWithoutTrayTest() : MainWindowTest(false) {}
};

TEST_F(MainWindowTest, CaptionsInItalianAndEnglish) {
  const struct {
    int offset;
    const char* Frame1;
    const char* lblStato;
    const char* titles[4];
    const char* Frame2;
    const char* menus[4];  // PERSONALIZZA, INVIA, ESCI, mnuNascondi
  } rows[] = {
      {kItalianOffset,
       "Registratore di cassa VELKA su COM1",
       "La stampante è pronta",
       {"Errore: ", "Stato: ", "Numero ", "Ora "},
       "Ultimo Scontrino ",
       {"Personalizza... ", "Invia... ", "Esci ", "Nascondi"}},
      {kEnglishOffset,
       "Cash Register VELKA on COM1",
       "Idle",
       {"Error: ", "State: ", "Number ", "Time "},
       "Last Ticket",
       {"Configure...", "Send...", "Exit", "Hide"}},
  };
  for (const auto& row : rows) {
    StartUp(row.offset);
    EXPECT_EQ(frame("Frame1"), Utf8(row.Frame1));
    EXPECT_EQ(label("lblStato"), Utf8(row.lblStato));
    for (int i = 0; i < 4; ++i) {
      const std::string name = "lblTitCol(" + std::to_string(i) + ")";
      EXPECT_EQ(label(name.c_str()), Utf8(row.titles[i])) << name;
    }
    EXPECT_EQ(frame("Frame2"), Utf8(row.Frame2));
    EXPECT_EQ(menuText("MNU_FILE_PERSONALIZZA"), Utf8(row.menus[0]));
    EXPECT_EQ(menuText("MNU_FILE_INVIA"), Utf8(row.menus[1]));
    EXPECT_EQ(menuText("MNU_FILE_ESCI"), Utf8(row.menus[2]));
    EXPECT_EQ(menuText("mnuNascondi"), Utf8(row.menus[3]));
  }
}

TEST_F(MainWindowTest, EveryElementIsThereByItsName) {
  StartUp();
  const auto* file = window.findChild<QMenu*>("MNU_FILE");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->title(), "&File");
  QStringList entries;
  for (QAction* a : file->actions()) entries << a->objectName();
  EXPECT_EQ(entries, QStringList({"MNU_FILE_PERSONALIZZA", "MNU_FILE_INVIA", "MNU_FILE_SEP",
                                  "MNU_FILE_ESCI"}));
  EXPECT_TRUE(action("MNU_FILE_SEP")->isSeparator());
  for (const char* picture : {"imgErr", "imgWarn"}) {
    const auto* image = window.findChild<QLabel*>(picture);
    ASSERT_NE(image, nullptr) << picture;
    EXPECT_FALSE(image->pixmap().isNull()) << picture;
    EXPECT_TRUE(image->isHidden()) << picture;
  }
  EXPECT_EQ(window.windowTitle(), "Velka Server - TMV S.P.A.");
  EXPECT_EQ(label("lblErrore"), "");
  EXPECT_EQ(label("lblOra"), "");
  EXPECT_EQ(label("lblNumero"), "");
}

TEST_F(MainWindowTest, StartUpShowsTheTrayIconNotTheWindow) {
  StartUp();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].operation, NotifyIconOperation::Add);
  EXPECT_EQ(tray().icon.cacheKey(), window.icons().normal.cacheKey());
  EXPECT_EQ(tray().tipText(), "Velka Server - TMV S.P.A.");
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, StatusUpdateEventTable) {
  const struct {
    std::int32_t status;
    const char* lblStato;
    server::TrayIcon icon;
    const char* tooltip;
    bool brought_to_front;
  } rows[] = {
      {11, "Il coperchio è aperto", server::TrayIcon::Error, "Il coperchio è aperto", true},
      {12, "Il coperchio è stato richiuso", server::TrayIcon::Normal,
       "Il coperchio è stato richiuso", false},
      {24, "Il rotolo carta è terminato", server::TrayIcon::Error, "Il rotolo carta è terminato",
       true},
      {26, "Il rotolo carta è stato sostituito", server::TrayIcon::Normal,
       "Il rotolo carta è stato sostituito", false},
      {30, "La stampante è occupata", server::TrayIcon::Warning, "La stampante è occupata", false},
      {1001, "La stampante è pronta", server::TrayIcon::Normal, "Velka Server - TMV S.P.A.", false},
      // Not in the table: lblStato and the icon stay, the tooltip copies lblStato.
      {21, "La stampante è pronta", server::TrayIcon::Warning, "La stampante è pronta", false},
  };
  for (const auto& row : rows) {
    std::vector<RecordingArea::Call> own_calls;
    frmMain fresh(std::make_unique<RecordingArea>(own_calls));
    StatusDisplay shown(fresh);
    shown.ShowRegisterFrame("1");
    shown.ShowTray();
    if (row.status == 21) fresh.setTrayIcon(server::TrayIcon::Warning);
    shown.StatusUpdateEvent(row.status);
    Settle();
    const auto* lblStato = fresh.findChild<QLabel*>("lblStato");
    EXPECT_EQ(lblStato->text(), Utf8(row.lblStato)) << row.status;
    EXPECT_EQ(own_calls.back().record.icon.cacheKey(), fresh.icons().ForTray(row.icon).cacheKey())
        << row.status;
    EXPECT_EQ(ShownText(own_calls.back().record.tipText()), Utf8(row.tooltip)) << row.status;
    EXPECT_EQ(fresh.isVisible(), row.brought_to_front) << row.status;
    EXPECT_EQ(fresh.windowFlags().testFlag(Qt::WindowStaysOnTopHint), row.brought_to_front)
        << row.status;
  }
}

TEST_F(MainWindowTest, CoverClosedAfterCoverOpenLeavesTheWindowOnTop) {
  StartUp();
  display.StatusUpdateEvent(11);
  display.StatusUpdateEvent(12);
  display.StatusUpdateEvent(1001);
  Settle();
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(topmost());
  EXPECT_EQ(tray().icon.cacheKey(), window.icons().normal.cacheKey());
}

TEST_F(MainWindowTest, ErrorStaysUntilAReceiptSucceeds) {
  StartUp();
  display.ShowJobFailure("Errore generico");
  EXPECT_EQ(label("lblErrore"), "Errore generico");
  EXPECT_EQ(tray().icon.cacheKey(), window.icons().error.cacheKey());
  EXPECT_EQ(tray().tipText(), "Errore generico");

  display.DirectIOEvent();  // a later command succeeds
  display.StatusUpdateEvent(1001);
  EXPECT_EQ(label("lblStato"), Utf8("La stampante è pronta"));
  EXPECT_EQ(label("lblErrore"), "Errore generico");
  EXPECT_EQ(tray().icon.cacheKey(), window.icons().normal.cacheKey());
  EXPECT_EQ(tray().tipText(), "Velka Server - TMV S.P.A.");

  display.ShowReceipt("18:30:15", 1234);
  EXPECT_EQ(label("lblErrore"), "");
  EXPECT_EQ(label("lblOra"), "18:30:15");
  EXPECT_EQ(label("lblNumero"), "1.234");
}

TEST_F(MainWindowTest, HiddenWindowStillTakesEveryField) {
  StartUp();
  display.StatusUpdateEvent(30);
  display.ShowReceipt("09:00:00", 7);
  Settle();
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(label("lblStato"), Utf8("La stampante è occupata"));
  EXPECT_EQ(label("lblNumero"), "7");
}

TEST_F(MainWindowTest, DoubleClickWithAnyButtonShowsTheHiddenWindow) {
  StartUp();
  for (int message : {tray_message::LeftDoubleClick, tray_message::RightDoubleClick,
                      tray_message::MiddleDoubleClick}) {
    window.hide();
    Settle();
    window.MyTray().MouseMessage(message, 0);
    Settle();
    EXPECT_TRUE(window.isVisible()) << message;
  }
  window.hide();
  window.MyTray().MouseMessage(tray_message::LeftUp, 0);
  Settle();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, HideKeepsTheTrayIcon) {
  StartUp();
  display.BringToFront();
  Settle();
  action("mnuNascondi")->trigger();
  Settle();
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(window.MyTray().visible());
  EXPECT_EQ(calls.back().operation, NotifyIconOperation::Add);
}

TEST_F(MainWindowTest, MenuCommandsAndClosingGoToTheServer) {
  StartUp();
  display.BringToFront();
  Settle();
  action("MNU_FILE_PERSONALIZZA")->trigger();
  action("MNU_FILE_INVIA")->trigger();
  action("MNU_FILE_ESCI")->trigger();
  window.close();
  Settle();
  EXPECT_EQ(commands.asked, (std::vector<std::string>{"settings", "send", "exit", "exit"}));
  // The window waits for the shutdown to end the program.
  EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindowTest, ShutdownRemovesTheTrayIcon) {
  StartUp();
  display.HideTray();
  EXPECT_EQ(calls.back().operation, NotifyIconOperation::Delete);
  EXPECT_FALSE(window.MyTray().visible());
}

TEST_F(MainWindowWithoutTrayTest, WindowIsTheIndicator) {
  StartUp();
  EXPECT_TRUE(window.isVisible());  // the only way to the server
  display.StatusUpdateEvent(11);
  EXPECT_EQ(window.windowIcon().cacheKey(), window.icons().error.cacheKey());
  display.StatusUpdateEvent(12);
  EXPECT_EQ(window.windowIcon().cacheKey(), window.icons().application.cacheKey());
  action("mnuNascondi")->trigger();
  Settle();
  EXPECT_FALSE(window.isHidden());  // minimized, still reachable
}

TEST(StartFailureBoxTest, MessagesInTheirBoxes) {
  const struct {
    int id;
    const char* detail;
    const char* text;
  } rows[] = {
      {msg::AlreadyRunning, "", "Questo programma è già stato caricato."},
      {msg::CannotStart, "TMVOpen on port 0 returned 115",
       "Impossibile caricare il programma gestione cassa."},
  };
  for (const auto& row : rows) {
    const auto box = MakeStartFailureBox(LoadString(row.id), row.detail);
    EXPECT_EQ(box->windowTitle(), "Velka Server - TMV S.P.A.");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->text(), Utf8(row.text));
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->detailedText(), row.detail);
  }
}

}  // namespace
}  // namespace velka::server::ui
