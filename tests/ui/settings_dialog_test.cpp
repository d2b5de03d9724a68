// frmSetUp on its own: its controls and their items, captions in both languages, the
// preselection from the in-memory settings, the folder list and its browser, the devices
// beside the ports, and the store into TMVSERVER.INI (other lines kept, unwritable file).
#include "server/ui/settings_dialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <cmath>

#include "platform/ini_file.h"
#include "server/jobs/settings_saving.h"
#include "tests/server/server_test_support.h"
#include "tests/ui/ui_test_support.h"

namespace velka::server::ui {
namespace {

using server::testing::TempProgramFolder;
using testing::ScriptedDialogs;

QString Utf8(const char* text) {
  return QString::fromUtf8(text);
}

class SettingsDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(folder.home()); }

  void WriteSettings(const std::string& lines) {
    TempProgramFolder::WriteFile(folder.path("TMVSERVER.INI"), lines);
  }
  // Reads the settings and opens the dialog on them.
  frmSetUp& Open() {
    settings = ReadSettings(folder.home());
    dialog = std::make_unique<frmSetUp>(settings, folder.home(), dialogs);
    return *dialog;
  }
  QComboBox* list(const char* name) const { return dialog->findChild<QComboBox*>(name); }
  QTreeWidget* folders() const { return dialog->findChild<QTreeWidget*>("lstCartelle"); }
  QString text(const char* name) const {
    if (auto* label = dialog->findChild<QLabel*>(name)) return label->text();
    if (auto* button = dialog->findChild<QPushButton*>(name)) return button->text();
    if (auto* frame = dialog->findChild<QGroupBox*>(name)) return frame->title();
    ADD_FAILURE() << name << " missing";
    return {};
  }
  static QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
  }
  std::optional<std::string> Stored(const char* key) const {
    return ReadProfileString(folder.path("TMVSERVER.INI"), "Parameters", key);
  }
  void Press(const char* button) { dialog->findChild<QPushButton*>(button)->click(); }

  TempProgramFolder folder;
  ServerSettings settings;
  ScriptedDialogs dialogs;
  std::unique_ptr<frmSetUp> dialog;
};

TEST_F(SettingsDialogTest, ListsHoldTheirItemsWithTheirBlanksInOrder) {
  Open();
  EXPECT_EQ(Items(list("cmbLingua")), QStringList({"Italiano", "English"}));
  EXPECT_EQ(Items(list("cmbFrequenza")),
            QStringList({"  1", "  2", "  3", "  4", "  5", "  7", "10", "15", "20", "30"}));
  EXPECT_EQ(Items(list("cmbLog")), QStringList({"  128", "  256", "  512", "1024"}));
  EXPECT_EQ(Items(list("cmbPorta")), QStringList({"COM1", "COM2", "COM3", "COM4"}));
  EXPECT_EQ(Items(list("cmbBaud")), QStringList({" 9600", "115200"}));
  ASSERT_EQ(folders()->topLevelItemCount(), 3);
  EXPECT_EQ(folders()->columnCount(), 2);
}

TEST_F(SettingsDialogTest, CaptionsInBothLanguages) {
  const struct {
    const char* language;
    std::vector<std::pair<const char*, const char*>> captions;
    const char* rows[3];
    const char* headers[2];
  } cases[] = {
      {"Italiano",
       {{"frmSetUp", "Personalizza"},
        {"lblLingua", "Lingua "},
        {"lblFrequenza", "Frequenza "},
        {"lblLog", "Dimensione massima log "},
        {"fParametri", "Parametri di trasmissione "},
        {"lblPorta", "Porta Seriale "},
        {"lblVelocita", "Velocità di trasmissione "},
        {"fCartelle", "Cartelle predefinite "},
        {"cmdModifica", "Modifica..."},
        {"cmdOk", "Ok"},
        {"cmdAnnulla", "Annulla"}},
       {"File comandi", "File non inviati", "Scarico Dati"},
       {"Tipo File ", "Posizione"}},
      {"English",
       {{"frmSetUp", "Configure"},
        {"lblLingua", "Language"},
        {"lblFrequenza", "Frequence "},
        {"lblLog", "Maximum log size "},
        {"fParametri", "Trasmission parameters"},
        {"lblPorta", "Serial port"},
        {"lblVelocita", "Port Speed"},
        {"fCartelle", "Predefined folder"},
        {"cmdModifica", "Change..."},
        {"cmdOk", "Ok"},
        {"cmdAnnulla", "Cancel"}},
       {"Command files", "Unsent files", "Data download "},
       {"File type ", "Position"}},
  };
  for (const auto& c : cases) {
    WriteSettings(std::string("[Parameters]\r\nLanguage=") + c.language + "\r\n");
    Open();
    for (const auto& [name, caption] : c.captions) {
      const QString shown = std::string(name) == "frmSetUp" ? dialog->windowTitle() : text(name);
      EXPECT_EQ(shown, Utf8(caption)) << c.language << " " << name;
    }
    for (int row = 0; row < 3; ++row) {
      EXPECT_EQ(folders()->topLevelItem(row)->text(0), Utf8(c.rows[row])) << c.language;
    }
    EXPECT_EQ(folders()->headerItem()->text(0), c.headers[0]);
    EXPECT_EQ(folders()->headerItem()->text(1), c.headers[1]);
  }
}

TEST_F(SettingsDialogTest, PreselectionFromTheSettings) {
  const struct {
    const char* keys;
    int lingua, frequenza, log, porta, baud;
  } cases[] = {
      {"", 0, 4, 0, 0, 0},  // the defaults: Italiano, 5, 128, port 1, 9600
      {"Language=italiano\r\nFrequence=10\r\nMaxLogDimension=1024\r\nPort=4\r\nBaudRate=115200", 0,
       6, 3, 3, 1},
      // Values not among the items leave their list without a selection.
      {"Language=Deutsch\r\nFrequence=2.5\r\nMaxLogDimension=100\r\nPort=7\r\nBaudRate=\" 9600\"",
       1, -1, -1, -1, 1},
      {"Frequence=\r\nMaxLogDimension=\r\nPort=\r\nBaudRate=", 0, -1, -1, -1, 1},
      // Port by its numeric value; an item's text without blanks against the value as it is.
      {"Port=2.0\r\nFrequence=\" 7 \"\r\nMaxLogDimension=256", 0, -1, 1, 1, 0},
  };
  for (const auto& c : cases) {
    WriteSettings(std::string("[Parameters]\r\n") + c.keys + "\r\n");
    Open();
    EXPECT_EQ(list("cmbLingua")->currentIndex(), c.lingua) << c.keys;
    EXPECT_EQ(list("cmbFrequenza")->currentIndex(), c.frequenza) << c.keys;
    EXPECT_EQ(list("cmbLog")->currentIndex(), c.log) << c.keys;
    EXPECT_EQ(list("cmbPorta")->currentIndex(), c.porta) << c.keys;
    EXPECT_EQ(list("cmbBaud")->currentIndex(), c.baud) << c.keys;
  }
}

TEST_F(SettingsDialogTest, FolderColumnsShareTheListWidthLessOneLetter) {
  Open();
  dialog->resize(700, 500);
  dialog->show();
  testing::Settle();
  QTreeWidget* list = folders();
  const double share = (list->width() - dialog->fontMetrics().horizontalAdvance('W')) / 3.0;
  EXPECT_EQ(list->columnWidth(0), std::lround(share));
  EXPECT_EQ(list->columnWidth(1), std::lround(share * 2));
  EXPECT_EQ(list->topLevelItem(0)->text(1), QString::fromStdString(folder.path("TOSEND/")));
  EXPECT_EQ(list->topLevelItem(1)->text(1), QString::fromStdString(folder.path("UNSENT/")));
  EXPECT_EQ(list->topLevelItem(2)->text(1), QString::fromStdString(folder.path("ODATA/")));
  dialog->hide();
}

TEST_F(SettingsDialogTest, PortsShowTheDeviceTheirLinkNames) {
  const std::string ports = folder.at("config") + "/TMV SPA/ports";
  std::filesystem::create_directories(ports);
  std::filesystem::create_symlink("/dev/pts/7", ports + "/com2");
  TempProgramFolder::WriteFile(ports + "/com3", "/dev/ttyUSB0\n");
  std::filesystem::create_directories(ports + "/com4");  // names nothing
  WriteSettings("[Parameters]\r\nPort=2\r\n");
  Open();
  QComboBox* ports_list = list("cmbPorta");
  const char* expected[] = {"nessun collegamento (/dev/ttyS0)", "/dev/pts/7", "/dev/ttyUSB0",
                            "nessun collegamento"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(ports_list->itemData(i, kPortDeviceRole).toString(), expected[i]) << i;
  }
  EXPECT_EQ(text("lblDispositivo"), "/dev/pts/7");
  ports_list->setCurrentIndex(2);
  EXPECT_EQ(text("lblDispositivo"), "/dev/ttyUSB0");
  // The value stored is still the port's number.
  Press("cmdOk");
  EXPECT_EQ(Stored("Port"), "3");
  EXPECT_EQ(settings.Port, "3");
}

TEST_F(SettingsDialogTest, OkStoresEveryKeyAndKeepsTheRestOfTheFile) {
  WriteSettings(
      "; kept comment\r\n[Parameters]\r\nDumpAnswers=1\r\nPort=1\r\nSomeLaterKey=x\r\n"
      "[Other]\r\nPort=9\r\n");
  Open();
  list("cmbLingua")->setCurrentIndex(1);
  list("cmbFrequenza")->setCurrentIndex(0);
  list("cmbLog")->setCurrentIndex(2);
  list("cmbPorta")->setCurrentIndex(1);
  list("cmbBaud")->setCurrentIndex(1);
  Press("cmdOk");
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_TRUE(dialog->unwrittenKeys().empty());
  const std::pair<const char*, std::string> keys[] = {
      {"Frequence", "1"},
      {"MaxLogDimension", "512"},
      {"BaudRate", "115200"},
      {"Port", "2"},
      {"Language", "English"},
      {"DirectoryInput", folder.path("TOSEND/")},
      {"DirectoryOutput", folder.path("UNSENT/")},
      {"DirectoryOutputData", folder.path("ODATA/")},
      {"DumpAnswers", "1"},
      {"SomeLaterKey", "x"},
  };
  for (const auto& [key, value] : keys) EXPECT_EQ(Stored(key), value) << key;
  EXPECT_EQ(ReadProfileString(folder.path("TMVSERVER.INI"), "Other", "Port"), "9");
  EXPECT_TRUE(TempProgramFolder::ReadFile(folder.path("TMVSERVER.INI")).starts_with("; kept"));
  EXPECT_EQ(settings.Frequence, "1");
  EXPECT_EQ(settings.Language, "English");
  EXPECT_EQ(settings.LanguageOffset, 1000);
}

TEST_F(SettingsDialogTest, ListWithoutASelectionKeepsItsSetting) {
  WriteSettings("[Parameters]\r\nFrequence=2.5\r\nPort=7\r\n");
  Open();
  Press("cmdOk");
  EXPECT_EQ(settings.Frequence, "2.5");
  EXPECT_EQ(Stored("Frequence"), "2.5");
  EXPECT_EQ(settings.Port, "7");
  EXPECT_EQ(Stored("Port"), "7");
  EXPECT_EQ(Stored("MaxLogDimension"), "128");  // selected, so written
}

TEST_F(SettingsDialogTest, ChangeFolderTitlesAndStoresWithTheSeparator) {
  const std::string jobs = folder.root() + "/Jobs";
  std::filesystem::create_directories(jobs);
  Open();
  QTreeWidget* list = folders();
  // Row 1, then row 2, then row 3 alone; the browser opens on the row's folder.
  const struct {
    int row;
    std::optional<QString> chosen;
    const char* title;
  } cases[] = {
      {0, QString::fromStdString(jobs), "Modifica posizione del file comandi"},
      {1, QString::fromStdString(jobs + "/"), "Modifica posizione degli scontrini non inviati"},
      {2, std::nullopt, "Modifica posizione del file comandi"},
  };
  for (const auto& c : cases) {
    list->clearSelection();
    list->setCurrentItem(list->topLevelItem(c.row));
    const std::string before = FolderSetting(settings, kWorkingFolders[c.row]);
    dialogs.folders.push_back(c.chosen);
    dialog->cmdModifica_Click();
    EXPECT_EQ(dialogs.asked.back(), std::string("folder: ") + c.title + " | " + before);
    const std::string expected = c.chosen ? jobs + "/" : before;
    EXPECT_EQ(FolderSetting(settings, kWorkingFolders[c.row]), expected) << c.row;
    EXPECT_EQ(list->topLevelItem(c.row)->text(1), QString::fromStdString(expected)) << c.row;
  }
  // Every selected row takes the folder.
  list->topLevelItem(0)->setSelected(true);
  list->topLevelItem(2)->setSelected(true);
  dialogs.folders.push_back(QString::fromStdString(folder.root()));
  dialog->cmdModifica_Click();
  EXPECT_EQ(settings.DirectoryInput, folder.root() + "/");
  EXPECT_EQ(settings.DirectoryOutput, jobs + "/");
  EXPECT_EQ(settings.DirectoryOutputData, folder.root() + "/");
}

TEST_F(SettingsDialogTest, AnnullaKeepsTheChosenFolderButWritesNothing) {
  WriteSettings("[Parameters]\r\nPort=1\r\n");
  const std::string before = TempProgramFolder::ReadFile(folder.path("TMVSERVER.INI"));
  Open();
  dialogs.folders.push_back(QString::fromStdString(folder.root()));
  dialog->cmdModifica_Click();
  list("cmbPorta")->setCurrentIndex(3);
  Press("cmdAnnulla");
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(settings.DirectoryInput, folder.root() + "/");
  EXPECT_EQ(settings.Port, "1");
  EXPECT_EQ(TempProgramFolder::ReadFile(folder.path("TMVSERVER.INI")), before);
}

TEST_F(SettingsDialogTest, UnwritableSettingsFileStillChangesTheSettingsInMemory) {
  WriteSettings("[Parameters]\r\nPort=1\r\n");
  ::chmod(folder.path("TMVSERVER.INI").c_str(), 0444);
  const std::string before = TempProgramFolder::ReadFile(folder.path("TMVSERVER.INI"));
  Open();
  list("cmbPorta")->setCurrentIndex(2);
  list("cmbLingua")->setCurrentIndex(1);
  Press("cmdOk");
  EXPECT_EQ(settings.Port, "3");
  EXPECT_EQ(settings.LanguageOffset, 1000);
  EXPECT_EQ(dialog->unwrittenKeys().size(), 8u);
  EXPECT_EQ(TempProgramFolder::ReadFile(folder.path("TMVSERVER.INI")), before);
  ::chmod(folder.path("TMVSERVER.INI").c_str(), 0644);
}

}  // namespace
}  // namespace velka::server::ui
