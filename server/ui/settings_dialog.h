#pragma once
// frmSetUp: the settings dialog. It edits the server's in-memory settings in place and, on
// cmdOk, writes them to TMVSERVER.INI; cmdAnnulla writes nothing. A folder chosen with
// cmdModifica is in effect at once, also when the dialog is then left with cmdAnnulla.
//
// Its controls carry the server's names as object names: cmbLingua, cmbFrequenza, cmbLog,
// cmbPorta, cmbBaud (items with their leading blanks, in the server's order), the folder list
// lstCartelle (two columns; rows: command files, unsent files, data download), cmdModifica,
// cmdOk, cmdAnnulla, the labels lblLingua, lblFrequenza, lblLog, lblPorta, lblVelocita and
// the frames fParametri and fCartelle; its captions come from the message table in the
// language the settings had when it was opened.
//
// Beside the port list, lblDispositivo tells which device the chosen port reaches (the one
// its com<N> entry names, or that it has none), and the list's items show it too, so the
// operator can tell which port is the register; the value stored stays the port's number.
#include <QDialog>
#include <string>
#include <vector>

#include "server/jobs/server_settings.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace velka::server::ui {

class DialogProvider;

// The role of cmbPorta's items that holds the device the port reaches, as shown.
inline constexpr int kPortDeviceRole = Qt::UserRole + 1;

class frmSetUp : public QDialog {
 public:
  frmSetUp(ServerSettings& settings, std::string program_folder, DialogProvider& dialogs,
           QWidget* parent = nullptr);

  // After cmdOk: the keys of TMVSERVER.INI that could not be written.
  const std::vector<std::string>& unwrittenKeys() const { return unwritten_; }
  std::string settingsPath() const { return SettingsPath(program_folder_); }

  void cmdModifica_Click();
  void cmdOk_Click();
  void cmdAnnulla_Click() { reject(); }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QString Text(int id) const;
  void BuildControls();
  void SetCaptions();
  void LoadLists();
  void LoadFolders();
  void RefreshFolders();
  void ShowPortDevice();
  void SizeFolderColumns();

  ServerSettings& settings_;
  std::string program_folder_;
  DialogProvider& dialogs_;
  int offset_;
  std::vector<std::string> unwritten_;

  QComboBox* cmbLingua = nullptr;
  QComboBox* cmbFrequenza = nullptr;
  QComboBox* cmbLog = nullptr;
  QComboBox* cmbPorta = nullptr;
  QComboBox* cmbBaud = nullptr;
  QTreeWidget* lstCartelle = nullptr;
  QPushButton* cmdModifica = nullptr;
  QPushButton* cmdOk = nullptr;
  QPushButton* cmdAnnulla = nullptr;
  QLabel* lblLingua = nullptr;
  QLabel* lblFrequenza = nullptr;
  QLabel* lblLog = nullptr;
  QLabel* lblPorta = nullptr;
  QLabel* lblVelocita = nullptr;
  QLabel* lblDispositivo = nullptr;
  QGroupBox* fParametri = nullptr;
  QGroupBox* fCartelle = nullptr;
};

// The items of the lists, in their order and with their blanks.
inline constexpr const char* kLanguageItems[] = {"Italiano", "English"};
inline constexpr const char* kFrequenceItems[] = {"  1", "  2", "  3", "  4", "  5",
                                                  "  7", "10",  "15",  "20",  "30"};
inline constexpr const char* kLogItems[] = {"  128", "  256", "  512", "1024"};
inline constexpr const char* kBaudItems[] = {" 9600", "115200"};
inline constexpr int kPortCount = 4;

}  // namespace velka::server::ui
