// "Configure..." and "Send..." on the running job server (fake control, virtual time), with
// the dialogs answered by the test: the steps around the settings dialog and their order,
// the reopen failure, the language switch, the unwritable settings file, the document sent
// (result files, the default document, a new name, lines that cannot be framed), and the
// commands and the polling waiting for a job in progress.
#include "server/ui/server_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "platform/ini_file.h"
#include "server/ui/document_editor.h"
#include "tests/server/job_server_fixture.h"
#include "tests/ui/ui_test_support.h"

namespace velka::server::ui {
namespace {

using testing::ScriptedDialogs;

void Choose(QDialog& dialog, const char* list, int index) {
  dialog.findChild<QComboBox*>(list)->setCurrentIndex(index);
}
void Press(QDialog& dialog, const char* button) {
  dialog.findChild<QPushButton*>(button)->click();
}

// Runs Qt's events for duration_ms of real time.
void RunQtEvents(int duration_ms) {
  QEventLoop loop;
  QTimer::singleShot(duration_ms, &loop, &QEventLoop::quit);
  loop.exec();
}

class ServerCommandsTest : public server::testing::JobServerTest {
 protected:
  void SetUp() override {
    WriteSettings("Port=1\r\nDumpAnswers=0\r\n");
    ASSERT_EQ(Start(), JobServer::StartResult::Running);
    commands = std::make_unique<ServerCommands>(*server, dialogs, nullptr);
    control->calls.clear();
    view.lines.clear();
  }
  std::string Ini() const { return folder.path("TMVSERVER.INI"); }
  std::optional<std::string> Stored(const char* key) const {
    return ReadProfileString(Ini(), "Parameters", key);
  }
  // A document outside the input folder; returns its path.
  std::string Document(const std::string& name, const std::string& content) {
    const std::string path = folder.root() + "/docs/" + name;
    std::filesystem::create_directories(folder.root() + "/docs");
    server::testing::TempProgramFolder::WriteFile(path, content);
    return path;
  }
  // Send... with the document chosen and the editor closed without saving.
  void SendUnchanged(const std::string& path) {
    dialogs.open_files.push_back(QString::fromStdString(path));
    dialogs.answers.push_back(Answer::No);
    dialogs.on_modal = [](QDialog& editor) { editor.close(); };
    commands->SendConfigurationDocument();
  }

  ScriptedDialogs dialogs;
  std::unique_ptr<ServerCommands> commands;
};

TEST_F(ServerCommandsTest, ConfigureClosesShowsTheDialogAndReopensInOrder) {
  const struct {
    int baud;
    std::vector<std::string> calls;
  } cases[] = {
      {1, {"TMVClose", "TMVHighSpeed=False", "TMVHighSpeed=True", "AsyncMode=False", "TMVOpen 2"}},
      {0, {"TMVClose", "TMVHighSpeed=False", "AsyncMode=False", "TMVOpen 2"}},
  };
  for (const auto& c : cases) {
    control->calls.clear();
    view.lines.clear();
    bool offline_during_dialog = false;
    dialogs.on_modal = [&](QDialog& dialog) {
      offline_during_dialog =
          !server->tmrFile().isActive() && control->calls == std::vector<std::string>{"TMVClose"};
      Choose(dialog, "cmbPorta", 1);
      Choose(dialog, "cmbBaud", c.baud);
      Choose(dialog, "cmbFrequenza", 6);
      Press(dialog, "cmdOk");
    };
    commands->OpenSettingsDialog();
    EXPECT_TRUE(offline_during_dialog);
    EXPECT_EQ(control->calls, c.calls);
    // Captions, then the register frame and the status, then polling with the new period.
    ASSERT_EQ(view.lines.size(), 11u);
    EXPECT_EQ(view.lines[0], "mnuNascondi: Nascondi");
    EXPECT_EQ(view.lines[9], "Frame1: Registratore di cassa VELKA su COM2");
    EXPECT_EQ(SingleByteToUtf8(view.lines[10]), "lblStato: La stampante è pronta");
    EXPECT_TRUE(server->tmrFile().isActive());
    EXPECT_EQ(server->tmrFile().interval(), 10000);
    EXPECT_EQ(Stored("Port"), "2");
    EXPECT_EQ(Stored("DumpAnswers"), "0");
  }
}

TEST_F(ServerCommandsTest, EnglishSwitchesTheLaterCaptionsAndTheNextDialog) {
  dialogs.on_modal = [](QDialog& dialog) {
    Choose(dialog, "cmbLingua", 1);
    Press(dialog, "cmdOk");
  };
  commands->OpenSettingsDialog();
  EXPECT_EQ(view.last("MNU_FILE_PERSONALIZZA"), "Configure...");
  EXPECT_EQ(view.last("Frame1"), "Cash Register VELKA on COM1");
  EXPECT_EQ(view.last("lblStato"), "Idle");
  QString next_title;
  dialogs.on_modal = [&](QDialog& dialog) {
    next_title = dialog.windowTitle();
    Press(dialog, "cmdAnnulla");
  };
  commands->OpenSettingsDialog();
  EXPECT_EQ(next_title, "Configure");
  // A failed job's message follows the language too: register texts exist in Italian only.
  script = [](const std::string&) { return Fail(112); };
  Job("Sale001.txt", "=R1/$1/(PANE)\r\n");
  server->Tick();
  EXPECT_EQ(view.last("lblErrore"), "");
}

TEST_F(ServerCommandsTest, ReopenFailureShows551AndEndsAtOnce) {
  server::testing::TempProgramFolder::WriteFile(folder.path("Stop.txt"), "=C1\r\n");
  dialogs.on_modal = [&](QDialog& dialog) {
    control->open_result = 115;
    Press(dialog, "cmdOk");
  };
  commands->OpenSettingsDialog();
  EXPECT_EQ(dialogs.Asked("error"),
            std::vector<std::string>{"error: Impossibile caricare il programma gestione cassa. | "
                                     "TMVOpen on port 1 returned 115"});
  EXPECT_TRUE(server->closeRequested());
  EXPECT_TRUE(server->endedAtOnce());
  EXPECT_FALSE(server->tmrFile().isActive());
  EXPECT_TRUE(std::none_of(view.lines.begin(), view.lines.end(),
                           [](const std::string& line) { return line.starts_with("Frame1"); }));
  control->calls.clear();
  server->Shutdown();  // the host's loop ends and calls it: no shutdown steps run
  EXPECT_TRUE(control->calls.empty());
  // Nothing more is started from the menu.
  commands->SendConfigurationDocument();
  EXPECT_FALSE(ExistsInInput("Configurazione.tmv"));
}

TEST_F(ServerCommandsTest, UnwritableSettingsFileIsToldInTheErrorField) {
  ::chmod(Ini().c_str(), 0444);
  dialogs.on_modal = [](QDialog& dialog) {
    Choose(dialog, "cmbPorta", 2);
    Press(dialog, "cmdOk");
  };
  commands->OpenSettingsDialog();
  ::chmod(Ini().c_str(), 0644);
  EXPECT_EQ(control->calls.back(), "TMVOpen 3");
  EXPECT_EQ(Stored("Port"), "1");
  EXPECT_EQ(view.last("lblErrore"), "Impossibile scrivere il file " + Ini());
}

TEST_F(ServerCommandsTest, FolderChangedThenAnnullaServesTheRunningServer) {
  const std::string jobs = folder.root() + "/Jobs";
  std::filesystem::create_directories(jobs);
  const std::string before = server::testing::TempProgramFolder::ReadFile(Ini());
  dialogs.folders.push_back(QString::fromStdString(jobs));
  dialogs.on_modal = [](QDialog& dialog) {
    Press(dialog, "cmdModifica");
    Press(dialog, "cmdAnnulla");
  };
  commands->OpenSettingsDialog();
  EXPECT_EQ(server::testing::TempProgramFolder::ReadFile(Ini()), before);
  EXPECT_EQ(input(), jobs + "/");
  Job("Sale001.txt", "=R1/$1/(PANE)\r\n");
  server->Tick();
  EXPECT_TRUE(ExistsInInput("Sale001.OK"));
}

TEST_F(ServerCommandsTest, SendGrowsTheDefaultDocumentByOneLineEachUse) {
  commands->SendConfigurationDocument();  // cancelled
  commands->SendConfigurationDocument();  // cancelled
  EXPECT_EQ(InInput("Configurazione.tmv"), "\r\n\r\n");
  EXPECT_TRUE(dialogs.Asked("modal").empty());
  EXPECT_TRUE(control->sent.empty());
  EXPECT_EQ(dialogs.Asked("open"),
            std::vector<std::string>(2,
                                     "open: Apri documento configurazione registratore | "
                                     "File di configurazione|*.tmv|File di testo|*.txt"));
  SendUnchanged(input() + "Configurazione.tmv");
  EXPECT_EQ(InInput("Configurazione.tmv"), "\r\n\r\n\r\n");
  EXPECT_TRUE(control->sent.empty());  // blank lines are not sent
  EXPECT_NE(Log().find(";Ticket=1234"), std::string::npos);
}

TEST_F(ServerCommandsTest, ResultFilesOnlyBesideATxtDocument) {
  const struct {
    const char* name;
    bool results;
  } cases[] = {{"Setup.tmv", false}, {"Setup.txt", true}, {"Setup.TXT.tmv", true}};
  for (const auto& c : cases) {
    control->sent.clear();
    const std::string path = Document(c.name, ">>/H1/(NEGOZIO)\r\n>>/H2/(VIA ROMA)\r\n");
    SendUnchanged(path);
    EXPECT_EQ(control->sent, (std::vector<std::string>{">>/H1/(NEGOZIO)", ">>/H2/(VIA ROMA)"}))
        << c.name;
    EXPECT_TRUE(server::testing::TempProgramFolder::Exists(path)) << c.name;  // not deleted
    EXPECT_EQ(server::testing::TempProgramFolder::Exists(folder.root() + "/docs/Setup.OK"),
              c.results)
        << c.name;
    EXPECT_FALSE(server::testing::TempProgramFolder::Exists(folder.root() + "/docs/Setup.KO"));
    std::filesystem::remove(folder.root() + "/docs/Setup.OK");
  }
  const std::string log = Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
}

TEST_F(ServerCommandsTest, SavingUnderANewNameSendsTheNewFile) {
  const std::string opened = Document("Setup.tmv", ">>/H1/(NEGOZIO)\r\n");
  const std::string saved = folder.root() + "/docs/Nuovo.tmv";
  dialogs.open_files.push_back(QString::fromStdString(opened));
  dialogs.answers.push_back(Answer::Yes);
  dialogs.save_files.push_back(QString::fromStdString(saved));
  dialogs.on_modal = [](QDialog& dialog) {
    static_cast<frmEdit&>(dialog).txtEdit()->appendPlainText(">>/H2/(CAFFÈ)");
    dialog.close();
  };
  commands->SendConfigurationDocument();
  EXPECT_EQ(commands->documentPath(), saved);
  EXPECT_EQ(server::testing::TempProgramFolder::ReadFile(saved),
            ">>/H1/(NEGOZIO)\r\n>>/H2/(CAFF\xC8)\r\n");
  EXPECT_EQ(server::testing::TempProgramFolder::ReadFile(opened), ">>/H1/(NEGOZIO)\r\n");
  EXPECT_EQ(control->sent, (std::vector<std::string>{">>/H1/(NEGOZIO)", ">>/H2/(CAFF\xC8)"}));
}

TEST_F(ServerCommandsTest, LineThatCannotBeFramedIsRefusedAsInAJob) {
  // The control refuses a line longer than a frame holds (999) with 106; the server refuses
  // one longer than a command line may be before it reaches the control.
  script = [](const std::string& line) { return line.size() > 999 ? Fail(106) : Reply{}; };
  for (std::size_t length : {1000u, 5000u}) {
    control->sent.clear();
    const std::string long_line(length, 'X');
    SendUnchanged(Document("Long.txt", "=R1/$1/(PANE)\r\n" + long_line + "\r\n=T1\r\n"));
    EXPECT_EQ(control->sent.front(), "=R1/$1/(PANE)") << length;
    EXPECT_EQ(control->sent.size(), length == 1000 ? 2u : 1u);
    const std::string ko =
        server::testing::TempProgramFolder::ReadFile(folder.root() + "/docs/Long.KO");
    EXPECT_TRUE(ko.starts_with("Error=106;Errore generico;Row 2;XXX")) << ko;
    EXPECT_EQ(view.last("lblErrore"), "Errore generico");
  }
}

TEST_F(ServerCommandsTest, PollingLeavesOutItsTicksWhileADocumentIsSent) {
  bool taken_during_send = true;
  script = [&](const std::string& line) {
    if (line == ">>/H1/(NEGOZIO)") {
      Job("Sale001.txt", "=R1/$1/(PANE)\r\n");
      server->Tick();
      taken_during_send = !ExistsInInput("Sale001.txt");
    }
    return Reply{};
  };
  SendUnchanged(Document("Setup.tmv", ">>/H1/(NEGOZIO)\r\n"));
  EXPECT_FALSE(taken_during_send);
  EXPECT_TRUE(server->tmrFile().isActive());
  server->Tick();
  EXPECT_TRUE(ExistsInInput("Sale001.OK"));
}

TEST_F(ServerCommandsTest, CommandChosenDuringAJobWaitsForItsEnd) {
  std::vector<std::string> asked_during_job;
  script = [&](const std::string&) {
    commands->OpenSettingsDialog();
    asked_during_job = dialogs.asked;
    return Reply{};
  };
  dialogs.on_modal = [](QDialog& dialog) { Press(dialog, "cmdAnnulla"); };
  Job("Sale001.txt", "=R1/$1/(PANE)\r\n");
  server->Tick();
  EXPECT_TRUE(asked_during_job.empty());
  EXPECT_TRUE(commands->waiting());
  EXPECT_EQ(std::count(control->calls.begin(), control->calls.end(), "TMVClose"), 0);
  script = nullptr;
  RunQtEvents(2 * kCommandRetryMs);
  EXPECT_FALSE(commands->waiting());
  EXPECT_EQ(dialogs.Asked("modal"), std::vector<std::string>{"modal: frmSetUp"});
  EXPECT_EQ(control->calls.back(), "TMVOpen 1");
}

}  // namespace
}  // namespace velka::server::ui
