#pragma once
// The dialogs the operator answers (file and folder choosers, questions, error boxes) and the
// showing of the server's own modal windows, behind one seam: the program uses Qt's dialogs
// (QtDialogProvider), the tests answer without a person.
//
// Texts are QStrings (the callers convert the server's single-byte texts); paths are the file
// system's own, in UTF-8.
#include <QString>
#include <optional>
#include <string>

class QDialog;
class QWidget;

namespace velka::server::ui {

// A file dialog: its title and its filter as the server writes it,
// "File di configurazione|*.tmv|File di testo|*.txt" (a description, then its pattern).
struct FileDialogRequest {
  QString title;
  QString filter;
};

enum class Answer { Yes, No, Cancel };

class DialogProvider {
 public:
  virtual ~DialogProvider() = default;

  // A folder; nothing when the operator cancels. start: where the browser opens.
  virtual std::optional<QString> BrowseForFolder(QWidget* owner, const QString& title,
                                                 const QString& start) = 0;
  // An existing file to open; nothing on cancel.
  virtual std::optional<QString> OpenFileName(QWidget* owner, const FileDialogRequest& request) = 0;
  // A file to save to, an existing one only after the operator agreed to replace it; nothing
  // on cancel.
  virtual std::optional<QString> SaveFileName(QWidget* owner, const FileDialogRequest& request) = 0;
  // A question with the buttons Yes, No and Cancel and the question icon.
  virtual Answer AskYesNoCancel(QWidget* owner, const QString& title, const QString& text) = 0;
  // The server's error box (critical icon, OK, the server's title) with a single-byte
  // message and a reason behind its details button; returns when the operator has closed it.
  virtual void ShowError(const std::string& message, const std::string& detail) = 0;
  // Shows a window of the server modally and returns when it has been closed.
  virtual void ShowModal(QDialog& dialog) = 0;
};

}  // namespace velka::server::ui
