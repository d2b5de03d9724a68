// Qt's dialogs behind the dialog provider.
#include "server/ui/qt_dialog_provider.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

#include "server/ui/start_failure_box.h"

namespace velka::server::ui {

QString QtFileFilter(const QString& filter) {
  const QStringList parts = filter.split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    filters << QStringLiteral("%1 (%2)").arg(parts[i], parts[i + 1]);
  }
  return filters.join(QStringLiteral(";;"));
}

std::optional<QString> QtDialogProvider::Remembered(const QString& chosen) {
  if (chosen.isEmpty()) return std::nullopt;
  last_file_ = chosen;
  return chosen;
}

std::optional<QString> QtDialogProvider::BrowseForFolder(QWidget* owner, const QString& title,
                                                         const QString& start) {
  const QString chosen = QFileDialog::getExistingDirectory(owner, title, start);
  if (chosen.isEmpty()) return std::nullopt;
  return chosen;
}

std::optional<QString> QtDialogProvider::OpenFileName(QWidget* owner,
                                                      const FileDialogRequest& request) {
  return Remembered(
      QFileDialog::getOpenFileName(owner, request.title, last_file_, QtFileFilter(request.filter)));
}

std::optional<QString> QtDialogProvider::SaveFileName(QWidget* owner,
                                                      const FileDialogRequest& request) {
  // Qt's save dialog asks before it replaces an existing file.
  return Remembered(
      QFileDialog::getSaveFileName(owner, request.title, last_file_, QtFileFilter(request.filter)));
}

Answer QtDialogProvider::AskYesNoCancel(QWidget* owner, const QString& title, const QString& text) {
  switch (QMessageBox::question(owner, title, text,
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:
      return Answer::Cancel;
  }
}

void QtDialogProvider::ShowError(const std::string& message, const std::string& detail) {
  ShowStartFailureBox(message, detail);
}

void QtDialogProvider::ShowModal(QDialog& dialog) {
  dialog.exec();
}

}  // namespace velka::server::ui
