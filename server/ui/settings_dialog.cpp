// frmSetUp: its controls, their preselection from the in-memory settings, the folder
// browser and the store.
#include "server/ui/settings_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

#include "platform/ascii_text.h"
#include "platform/numeric_text.h"
#include "platform/port_devices.h"
#include "server/jobs/settings_saving.h"
#include "server/resources/message_table.h"
#include "server/ui/dialog_provider.h"
#include "server/ui/qt_text.h"

namespace velka::server::ui {

namespace {

constexpr int kFolderRowTitles[] = {msg::CommandFiles, msg::UnsentFiles, msg::DataDownloadFiles};

// The list of ports shows, after each port, the device it reaches.
class PortItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const QString device = index.data(kPortDeviceRole).toString();
    if (!device.isEmpty()) option->text += QStringLiteral("   ") + device;
  }
};

template <typename Items>
QComboBox* NamedList(QWidget* parent, const char* name, const Items& items) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  for (const char* item : items) list->addItem(QString::fromLatin1(item));
  return list;
}

QLabel* NamedLabel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  return label;
}

// The first item whose text without blanks is the value; -1 when none is.
int ItemShowing(const QComboBox& list, const std::string& value) {
  for (int i = 0; i < list.count(); ++i) {
    if (TrimSpaces(list.itemText(i).toStdString()) == value) return i;
  }
  return -1;
}

std::optional<std::string> ChosenText(const QComboBox& list) {
  if (list.currentIndex() < 0) return std::nullopt;
  return list.currentText().toStdString();
}

}  // namespace

frmSetUp::frmSetUp(ServerSettings& settings, std::string program_folder, DialogProvider& dialogs,
                   QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      program_folder_(std::move(program_folder)),
      dialogs_(dialogs),
      offset_(settings.LanguageOffset) {
  setObjectName("frmSetUp");
  BuildControls();
  SetCaptions();
  LoadLists();
  LoadFolders();
  ShowPortDevice();
}

QString frmSetUp::Text(int id) const {
  return ShownText(MessageText(offset_, id));
}

void frmSetUp::BuildControls() {
  cmbLingua = NamedList(this, "cmbLingua", kLanguageItems);
  cmbFrequenza = NamedList(this, "cmbFrequenza", kFrequenceItems);
  cmbLog = NamedList(this, "cmbLog", kLogItems);
  lblLingua = NamedLabel(this, "lblLingua");
  lblFrequenza = NamedLabel(this, "lblFrequenza");
  lblLog = NamedLabel(this, "lblLog");
  auto* general = new QGridLayout;
  general->addWidget(lblLingua, 0, 0);
  general->addWidget(cmbLingua, 0, 1);
  general->addWidget(lblFrequenza, 1, 0);
  general->addWidget(cmbFrequenza, 1, 1);
  general->addWidget(lblLog, 2, 0);
  general->addWidget(cmbLog, 2, 1);
  general->setColumnStretch(2, 1);

  fParametri = new QGroupBox(this);
  fParametri->setObjectName("fParametri");
  cmbPorta = new QComboBox(fParametri);
  cmbPorta->setObjectName("cmbPorta");
  cmbPorta->setItemDelegate(new PortItemDelegate(cmbPorta));
  cmbBaud = NamedList(fParametri, "cmbBaud", kBaudItems);
  lblPorta = NamedLabel(fParametri, "lblPorta");
  lblVelocita = NamedLabel(fParametri, "lblVelocita");
  lblDispositivo = NamedLabel(fParametri, "lblDispositivo");
  lblDispositivo->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* line = new QGridLayout(fParametri);
  line->addWidget(lblPorta, 0, 0);
  line->addWidget(cmbPorta, 0, 1);
  line->addWidget(lblDispositivo, 0, 2);
  line->addWidget(lblVelocita, 1, 0);
  line->addWidget(cmbBaud, 1, 1);
  line->setColumnStretch(2, 1);
  connect(cmbPorta, &QComboBox::currentIndexChanged, this, [this] { ShowPortDevice(); });

  fCartelle = new QGroupBox(this);
  fCartelle->setObjectName("fCartelle");
  lstCartelle = new QTreeWidget(fCartelle);
  lstCartelle->setObjectName("lstCartelle");
  lstCartelle->setColumnCount(2);
  lstCartelle->setRootIsDecorated(false);
  lstCartelle->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstCartelle->header()->setStretchLastSection(false);
  cmdModifica = new QPushButton(fCartelle);
  cmdModifica->setObjectName("cmdModifica");
  auto* folders = new QVBoxLayout(fCartelle);
  folders->addWidget(lstCartelle);
  folders->addWidget(cmdModifica, 0, Qt::AlignRight);
  connect(cmdModifica, &QPushButton::clicked, this, [this] { cmdModifica_Click(); });

  cmdOk = new QPushButton(this);
  cmdOk->setObjectName("cmdOk");
  cmdOk->setDefault(true);
  cmdAnnulla = new QPushButton(this);
  cmdAnnulla->setObjectName("cmdAnnulla");
  connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
  connect(cmdAnnulla, &QPushButton::clicked, this, [this] { cmdAnnulla_Click(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdOk);
  buttons->addWidget(cmdAnnulla);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(general);
  layout->addWidget(fParametri);
  layout->addWidget(fCartelle, 1);
  layout->addLayout(buttons);
  resize(520, 420);
}

void frmSetUp::SetCaptions() {
  setWindowTitle(Text(msg::SettingsCaption));
  lblLingua->setText(Text(msg::LanguageLabel));
  lblFrequenza->setText(Text(msg::FrequenceLabel));
  lblLog->setText(Text(msg::LogSizeLabel));
  fParametri->setTitle(Text(msg::TransmissionFrame));
  lblPorta->setText(Text(msg::PortLabel));
  lblVelocita->setText(Text(msg::SpeedLabel));
  fCartelle->setTitle(Text(msg::FoldersFrame));
  cmdModifica->setText(Text(msg::ChangeButton));
  cmdOk->setText(Text(msg::OkButton));
  cmdAnnulla->setText(Text(msg::CancelButton));
}

void frmSetUp::LoadLists() {
  const double port = Val(settings_.Port);
  int chosen_port = -1;
  for (int i = 1; i <= kPortCount; ++i) {
    const PortDevice reached = DescribePortDevice(i);
    QString device = QString::fromStdString(reached.device);
    if (!reached.named) device = Text(msg::NoPortLink) + " (" + device + ")";
    if (reached.named && reached.device.empty()) device = Text(msg::NoPortLink);
    cmbPorta->addItem(QStringLiteral("COM%1").arg(i));
    cmbPorta->setItemData(i - 1, device, kPortDeviceRole);
    if (port == i) chosen_port = i - 1;
  }
  cmbPorta->setCurrentIndex(chosen_port);
  cmbBaud->setCurrentIndex(settings_.BaudRate == "9600" ? 0 : 1);
  cmbLingua->setCurrentIndex(UpperAscii(settings_.Language) == "ITALIANO" ? 0 : 1);
  cmbFrequenza->setCurrentIndex(ItemShowing(*cmbFrequenza, settings_.Frequence));
  cmbLog->setCurrentIndex(ItemShowing(*cmbLog, settings_.MaxLogDimension));
}

void frmSetUp::LoadFolders() {
  lstCartelle->setHeaderLabels({Text(msg::FileTypeTitle), Text(msg::PositionTitle)});
  for (int title : kFolderRowTitles) {
    auto* row = new QTreeWidgetItem(lstCartelle);
    row->setText(0, Text(title));
  }
  lstCartelle->setCurrentItem(lstCartelle->topLevelItem(0));
  RefreshFolders();
}

void frmSetUp::RefreshFolders() {
  for (WorkingFolder folder : kWorkingFolders) {
    const int row = static_cast<int>(folder);
    lstCartelle->topLevelItem(row)->setText(
        1, QString::fromStdString(FolderSetting(settings_, folder)));
  }
}

void frmSetUp::ShowPortDevice() {
  lblDispositivo->setText(cmbPorta->currentData(kPortDeviceRole).toString());
}

void frmSetUp::SizeFolderColumns() {
  const double share = (lstCartelle->width() - fontMetrics().horizontalAdvance('W')) / 3.0;
  lstCartelle->setColumnWidth(0, static_cast<int>(std::lround(share)));
  lstCartelle->setColumnWidth(1, static_cast<int>(std::lround(share * 2)));
}

void frmSetUp::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  SizeFolderColumns();
}

void frmSetUp::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  SizeFolderColumns();
}

void frmSetUp::cmdModifica_Click() {
  const int current = lstCartelle->indexOfTopLevelItem(lstCartelle->currentItem());
  const auto current_folder = static_cast<WorkingFolder>(std::max(current, 0));
  const int title =
      current_folder == WorkingFolder::Output ? msg::ChangeUnsentFolder : msg::ChangeCommandFolder;
  const std::optional<QString> chosen = dialogs_.BrowseForFolder(
      this, Text(title), QString::fromStdString(FolderSetting(settings_, current_folder)));
  if (chosen) {
    for (WorkingFolder folder : kWorkingFolders) {
      if (lstCartelle->topLevelItem(static_cast<int>(folder))->isSelected()) {
        ChooseFolder(settings_, folder, chosen->toStdString(), program_folder_);
      }
    }
  }
  RefreshFolders();
}

void frmSetUp::cmdOk_Click() {
  SettingsChoice choice;
  choice.Frequence = ChosenText(*cmbFrequenza);
  choice.MaxLogDimension = ChosenText(*cmbLog);
  choice.BaudRate = ChosenText(*cmbBaud);
  choice.Port = ChosenText(*cmbPorta);
  choice.Language = ChosenText(*cmbLingua);
  unwritten_ = StoreSettings(settings_, settingsPath(), choice);
  accept();
}

}  // namespace velka::server::ui
