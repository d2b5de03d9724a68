// On a virtual X server, against two velka-sim registers linked as com1 and com2: the
// server, polling port 1, is moved to port 2 with the settings dialog and its next job
// reaches the second register; then a configuration document is edited, saved under a new
// name and sent to it. Screenshots of both dialogs are kept under <build>/screenshots/.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "server/jobs/control_registration.h"
#include "server/jobs/dispatch_register_control.h"
#include "server/jobs/job_server.h"
#include "server/ui/document_editor.h"
#include "server/ui/server_face.h"
#include "tests/server/e2e_support.h"
#include "tests/server/server_test_support.h"
#include "tests/ui/ui_test_support.h"
#include "tests/ui/virtual_display.h"

// What libraries below Qt keep for the life of the process is not a leak of ours (as
// tests/ui/lsan_qt.supp says); visible, so that the sanitizer's runtime finds it.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\nleak:libfontconfig.so\n";
}

#if defined(VELKA_SIM_EXE)

namespace velka::server::ui {
namespace {

using server::testing::ChildProcess;
using server::testing::Frames;
using server::testing::ReadText;
using server::testing::TempProgramFolder;

constexpr int kWaitMs = 20000;

// Runs Qt's events until done() holds, or for timeout_ms; returns done().
bool RunUntil(const std::function<bool()>& done, int timeout_ms) {
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, [&] {
    if (done()) loop.quit();
  });
  check.start(20);
  QTimer::singleShot(timeout_ms, &loop, &QEventLoop::quit);
  if (!done()) loop.exec();
  return done();
}

void RunFor(int ms) {
  RunUntil([] { return false; }, ms);
}

// The scripted answers, but each modal window really runs modally: on_modal acts on it from
// inside its own event loop.
class ModalDialogs : public testing::ScriptedDialogs {
 public:
  void ShowModal(QDialog& dialog) override {
    asked.push_back("modal: " + dialog.objectName().toStdString());
    QTimer::singleShot(0, &dialog, [this, &dialog] { on_modal(dialog); });
    dialog.exec();
  }
};

class SettingsAndDocumentDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder.home());
    display.Start(folder.root());
    StartSim(first, "1");
    StartSim(second, "2");
    std::string error;
    ASSERT_TRUE(RegisterControlLibrary(VELKA_CONTROL_LIBRARY, error)) << error;
  }
  void TearDown() override {
    for (ChildProcess* sim : {&first, &second}) {
      sim->Signal(SIGTERM);
      sim->WaitExit(kWaitMs);
    }
    display.Stop();
  }

  std::string root(const std::string& name) const { return folder.root() + "/" + name; }
  void StartSim(ChildProcess& sim, const std::string& port) {
    ASSERT_TRUE(sim.Start(
        {VELKA_SIM_EXE, "--com", port, "--baud", "0", "--log", root("sim" + port + ".log")},
        root("sim" + port + ".out"), root("sim" + port + ".err")));
    ASSERT_TRUE(server::testing::WaitFor(
        [&] { return ReadText(root("sim" + port + ".out")).starts_with("/dev/"); }, kWaitMs));
  }
  // The pseudo-terminal a register printed.
  std::string Device(const std::string& port) const {
    const std::string out = ReadText(root("sim" + port + ".out"));
    return out.substr(0, out.find('\n'));
  }
  // The command texts a register received.
  std::vector<std::string> Received(const std::string& port) const {
    std::vector<std::string> texts;
    for (const auto& frame : Frames(root("sim" + port + ".log"))) {
      if (frame.from_control) texts.push_back(frame.text);
    }
    return texts;
  }
  static bool Holds(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  }
  // Drops a job into the input folder and waits for its ".OK".
  bool RunJob(const std::string& input, const std::string& name, const std::string& content) {
    TempProgramFolder::WriteFile(input + "." + name, content);
    std::filesystem::rename(input + "." + name, input + name);
    const std::string ok = input + name.substr(0, name.size() - 4) + ".OK";
    return RunUntil([&] { return TempProgramFolder::Exists(ok); }, kWaitMs);
  }

  TempProgramFolder folder;
  testing::VirtualDisplay display;
  ChildProcess first;
  ChildProcess second;
};

TEST_F(SettingsAndDocumentDesktopTest, SecondRegisterBySettingsThenADocumentEditedAndSent) {
  TempProgramFolder::WriteFile(folder.path("TMVSERVER.INI"),
                               "[Parameters]\r\nPort=1\r\nFrequence=1\r\nDumpAnswers=0\r\n");
  auto owned_dialogs = std::make_unique<ModalDialogs>();
  ModalDialogs& dialogs = *owned_dialogs;
  std::unique_ptr<ServerFace> face = CreateWindowFace(std::move(owned_dialogs));
  ServerControlSite site(face->loop());
  JobServerEnvironment env;
  env.program_folder = folder.home();
  env.log_name = "VelkaDriverServer";
  env.loop = &face->loop();
  env.view = &face->view();
  env.create_control = [&site](std::string& error) { return CreateHostedControl(site, error); };
  JobServer server(env);
  face->ConnectCommands(server);
  face->BeginStartUp();
  ASSERT_EQ(server.Start(), JobServer::StartResult::Running) << server.startFailure();
  face->EndStartUp(true);
  QWidget* window = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->objectName() == "frmMain") window = top;
  }
  ASSERT_NE(window, nullptr);
  const std::string input = server.settings().DirectoryInput;

  ASSERT_TRUE(RunJob(input, "Sale001.txt", "=R1/$1.5/(CAFFE)\r\n=T1/$1.5\r\n"));
  EXPECT_TRUE(Holds(Received("1"), "=R1/$1.5/(CAFFE)"));
  EXPECT_FALSE(Holds(Received("2"), "=R1/$1.5/(CAFFE)"));

  // The settings dialog: port 2, which names the second register's pseudo-terminal.
  QString device_shown;
  dialogs.on_modal = [&](QDialog& dialog) {
    dialog.findChild<QComboBox*>("cmbPorta")->setCurrentIndex(1);
    RunFor(500);
    device_shown = dialog.findChild<QLabel*>("lblDispositivo")->text();
    display.Screenshot("settings-dialog");
    dialog.findChild<QPushButton*>("cmdOk")->click();
  };
  window->findChild<QAction*>("MNU_FILE_PERSONALIZZA")->trigger();
  EXPECT_EQ(device_shown.toStdString(), Device("2"));
  EXPECT_EQ(window->findChild<QGroupBox*>("Frame1")->title(),
            "Registratore di cassa VELKA su COM2");
  EXPECT_NE(ReadText(folder.path("TMVSERVER.INI")).find("Port=2"), std::string::npos);

  ASSERT_TRUE(RunJob(input, "Sale002.txt", "=R1/$2/(ACQUA)\r\n=T1/$2\r\n"));
  EXPECT_TRUE(Holds(Received("2"), "=R1/$2/(ACQUA)"));
  EXPECT_FALSE(Holds(Received("1"), "=R1/$2/(ACQUA)"));

  // Send...: the document edited, saved under a new name, and that one sent.
  const std::string opened = root("Setup.tmv");
  const std::string saved = root("Setup-nuovo.tmv");
  TempProgramFolder::WriteFile(opened, ">>/?H/$1/(BAR CENTRALE)\r\n");
  dialogs.open_files = {QString::fromStdString(opened)};
  dialogs.answers = {Answer::Yes};
  dialogs.save_files = {QString::fromStdString(saved)};
  dialogs.on_modal = [&](QDialog& editor) {
    static_cast<frmEdit&>(editor).txtEdit()->appendPlainText(">>/?H/$2/(VIA ROMA 1)");
    RunFor(500);
    display.Screenshot("document-editor");
    editor.close();
  };
  window->findChild<QAction*>("MNU_FILE_INVIA")->trigger();
  EXPECT_EQ(ReadText(saved), ">>/?H/$1/(BAR CENTRALE)\r\n>>/?H/$2/(VIA ROMA 1)\r\n");
  EXPECT_EQ(ReadText(opened), ">>/?H/$1/(BAR CENTRALE)\r\n");
  EXPECT_TRUE(Holds(Received("2"), ">>/?H/$1/(BAR CENTRALE)"));
  EXPECT_TRUE(Holds(Received("2"), ">>/?H/$2/(VIA ROMA 1)"));
  EXPECT_EQ(ReadText(input + "Configurazione.tmv"), "\r\n");
  const std::string log = ReadText(input + "VelkaDriverServer.LOG");
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
  EXPECT_EQ(log.find("Error="), std::string::npos) << log;
  EXPECT_EQ(dialogs.Asked("modal"),
            (std::vector<std::string>{"modal: frmSetUp", "modal: frmEdit"}));
  server.Shutdown();
}

}  // namespace
}  // namespace velka::server::ui

#endif
