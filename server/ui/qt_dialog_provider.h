#pragma once
// The dialogs of the desktop: Qt's file dialogs and message boxes, and exec() for the
// server's own modal windows.
//
// As one common file dialog would, the opening and the saving dialog share what their last
// use left: each opens in the folder, and on the file, chosen last.
#include "server/ui/dialog_provider.h"

namespace velka::server::ui {

class QtDialogProvider : public DialogProvider {
 public:
  std::optional<QString> BrowseForFolder(QWidget* owner, const QString& title,
                                         const QString& start) override;
  std::optional<QString> OpenFileName(QWidget* owner, const FileDialogRequest& request) override;
  std::optional<QString> SaveFileName(QWidget* owner, const FileDialogRequest& request) override;
  Answer AskYesNoCancel(QWidget* owner, const QString& title, const QString& text) override;
  void ShowError(const std::string& message, const std::string& detail) override;
  void ShowModal(QDialog& dialog) override;

 private:
  std::optional<QString> Remembered(const QString& chosen);

  QString last_file_;
};

// "Description|*.tmv|Other|*.txt" as Qt writes it: "Description (*.tmv);;Other (*.txt)".
QString QtFileFilter(const QString& filter);

}  // namespace velka::server::ui
