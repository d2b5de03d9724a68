// frmMain: the elements of the main window, their captions and fields, and its commands.
#include "server/ui/main_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QVBoxLayout>

#include "server/ui/qt_text.h"
#include "server/ui/set_topmost.h"
#include "server/ui/system_tray_area.h"

namespace velka::server::ui {

namespace {

constexpr int kPictureSize = 32;

QLabel* NamedLabel(QWidget* parent, const QString& name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  return label;
}

QString ColumnTitleName(int index) {
  return QStringLiteral("lblTitCol(%1)").arg(index);
}

}  // namespace

frmMain::frmMain(std::unique_ptr<NotificationArea> area)
    : icons_(LoadServerIcons()), area_(std::move(area)) {
  setObjectName("frmMain");
  setWindowTitle(kWindowTitle);
  setWindowIcon(icons_.application);
  BuildMenus();
  BuildFrames();
  if (!area_) {
    area_ = std::make_unique<SystemTrayArea>([this](int message, std::int16_t shift) {
      if (MyTray_) MyTray_->MouseMessage(message, shift);
    });
  }
  MyTray_ = std::make_unique<TrayIcon>(*area_);
  MyTray_->DoubleClick = [this](std::int16_t&, std::int16_t&) { MyTray_DoubleClick(); };
}

frmMain::~frmMain() = default;

void frmMain::BuildMenus() {
  MNU_FILE = menuBar()->addMenu("&File");
  MNU_FILE->setObjectName("MNU_FILE");
  MNU_FILE_PERSONALIZZA = MNU_FILE->addAction(QString());
  MNU_FILE_PERSONALIZZA->setObjectName("MNU_FILE_PERSONALIZZA");
  MNU_FILE_INVIA = MNU_FILE->addAction(QString());
  MNU_FILE_INVIA->setObjectName("MNU_FILE_INVIA");
  MNU_FILE_SEP = MNU_FILE->addSeparator();
  MNU_FILE_SEP->setObjectName("MNU_FILE_SEP");
  MNU_FILE_ESCI = MNU_FILE->addAction(QString());
  MNU_FILE_ESCI->setObjectName("MNU_FILE_ESCI");
  mnuNascondi = menuBar()->addAction(QString());
  mnuNascondi->setObjectName("mnuNascondi");

  connect(MNU_FILE_PERSONALIZZA, &QAction::triggered, this,
          [this] { MNU_FILE_PERSONALIZZA_Click(); });
  connect(MNU_FILE_INVIA, &QAction::triggered, this, [this] { MNU_FILE_INVIA_Click(); });
  connect(MNU_FILE_ESCI, &QAction::triggered, this, [this] { MNU_FILE_ESCI_Click(); });
  connect(mnuNascondi, &QAction::triggered, this, [this] { mnuNascondi_Click(); });
}

void frmMain::BuildFrames() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  for (int i = 0; i < 4; ++i) lblTitCol[i] = NamedLabel(central, ColumnTitleName(i));

  Frame1 = new QGroupBox(central);
  Frame1->setObjectName("Frame1");
  auto* register_grid = new QGridLayout(Frame1);
  lblStato = NamedLabel(Frame1, "lblStato");
  lblStato->setStyleSheet("font-weight: bold");
  lblErrore = NamedLabel(Frame1, "lblErrore");
  lblErrore->setWordWrap(true);
  lblErrore->setStyleSheet("color: #b00000");
  register_grid->addWidget(lblTitCol[1], 0, 0);
  register_grid->addWidget(lblStato, 0, 1);
  register_grid->addWidget(lblTitCol[0], 1, 0);
  register_grid->addWidget(lblErrore, 1, 1);
  register_grid->setColumnStretch(1, 1);

  Frame2 = new QGroupBox(central);
  Frame2->setObjectName("Frame2");
  auto* receipt_grid = new QGridLayout(Frame2);
  lblOra = NamedLabel(Frame2, "lblOra");
  lblNumero = NamedLabel(Frame2, "lblNumero");
  receipt_grid->addWidget(lblTitCol[3], 0, 0);
  receipt_grid->addWidget(lblOra, 0, 1);
  receipt_grid->addWidget(lblTitCol[2], 0, 2);
  receipt_grid->addWidget(lblNumero, 0, 3);
  receipt_grid->setColumnStretch(1, 1);
  receipt_grid->setColumnStretch(3, 1);

  // Where the error and warning pictures of the tray icon are kept; never shown.
  imgErr = NamedLabel(central, "imgErr");
  imgErr->setPixmap(icons_.error.pixmap(kPictureSize));
  imgErr->hide();
  imgWarn = NamedLabel(central, "imgWarn");
  imgWarn->setPixmap(icons_.warning.pixmap(kPictureSize));
  imgWarn->hide();

  for (QLabel* label : {lblStato, lblErrore, lblOra, lblNumero}) {
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
  layout->addWidget(Frame1);
  layout->addWidget(Frame2);
  setCentralWidget(central);
  setMinimumWidth(440);
}

void frmMain::setCaption(Caption caption, const std::string& text) {
  const QString shown = ShownText(text);
  switch (caption) {
    case Caption::mnuNascondi:
      mnuNascondi->setText(shown);
      return;
    case Caption::MNU_FILE_ESCI:
      MNU_FILE_ESCI->setText(shown);
      return;
    case Caption::MNU_FILE_INVIA:
      MNU_FILE_INVIA->setText(shown);
      return;
    case Caption::MNU_FILE_PERSONALIZZA:
      MNU_FILE_PERSONALIZZA->setText(shown);
      return;
    case Caption::Frame1:
      Frame1->setTitle(shown);
      return;
    case Caption::Frame2:
      Frame2->setTitle(shown);
      return;
    case Caption::lblTitCol0:
      lblTitCol[0]->setText(shown);
      return;
    case Caption::lblTitCol1:
      lblTitCol[1]->setText(shown);
      return;
    case Caption::lblTitCol2:
      lblTitCol[2]->setText(shown);
      return;
    case Caption::lblTitCol3:
      lblTitCol[3]->setText(shown);
      return;
  }
}

void frmMain::setStatusText(const std::string& text) {
  lblStato->setText(ShownText(text));
}

void frmMain::setErrorText(const std::string& text) {
  lblErrore->setText(ShownText(text));
}

void frmMain::setLastReceiptTime(const std::string& text) {
  lblOra->setText(ShownText(text));
}

void frmMain::setLastReceiptNumber(const std::string& text) {
  lblNumero->setText(ShownText(text));
}

void frmMain::showTrayIcon() {
  MyTray_->I_Show();
}

void frmMain::hideTrayIcon() {
  MyTray_->I_Hide();
}

void frmMain::setTrayIcon(server::TrayIcon icon) {
  MyTray_->I_Icon(icons_.ForTray(icon));
  if (!TrayReachable()) {
    setWindowIcon(icon == server::TrayIcon::Normal ? icons_.application : icons_.ForTray(icon));
  }
}

void frmMain::setTrayToolTip(const std::string& text) {
  MyTray_->I_ToolTipText(text);
}

void frmMain::ShowWindow() {
  if (isMinimized()) {
    showNormal();
  } else {
    show();
  }
}

void frmMain::bringToFront() {
  ShowWindow();
  SetTopmost(this, true);
  raise();
  activateWindow();
}

void frmMain::ShowAtStartUp() {
  if (!TrayReachable()) show();
}

bool frmMain::TrayReachable() const {
  return area_->present();
}

void frmMain::MNU_FILE_PERSONALIZZA_Click() {
  if (commands_) commands_->OpenSettingsDialog();
}

void frmMain::MNU_FILE_INVIA_Click() {
  if (commands_) commands_->SendConfigurationDocument();
}

void frmMain::MNU_FILE_ESCI_Click() {
  if (commands_) commands_->Exit();
}

void frmMain::mnuNascondi_Click() {
  if (TrayReachable()) {
    hide();
  } else {
    showMinimized();
  }
}

void frmMain::MyTray_DoubleClick() {
  ShowWindow();
  activateWindow();
}

void frmMain::closeEvent(QCloseEvent* event) {
  // The shutdown runs the stop file and closes the control first; the window goes last.
  event->ignore();
  if (commands_) commands_->Exit();
}

}  // namespace velka::server::ui
