#pragma once
// frmEdit: the configuration document editor, shown modally before a document is sent. The
// text box txtEdit fills the window; the window's caption is the document's path.
//
// The document is loaded line by line (a line ends at CR LF, LF or CR), at most
// kMaxCommandFileBytes of it, as a job would read it: a document that cannot be read shows
// what was read (possibly nothing). Every change of the text sets the changed mark ("C"), the
// load's too, so closing asks "Vuoi salvare i cambiamenti?" (Yes, No, Cancel) once a
// non-empty document has been loaded. Saving asks for a file name, writes the text in the
// register's single-byte code page with CR LF line ends and one CR LF after the last line,
// and makes that file the document path, which the sending then uses.
//
// A cancelled save is silent. A file that cannot be written (read-only, no room) is told in
// the server's error box and, when the save came from the close question, the editor stays
// open: closing would lose the changes and send the document as it was.
#include <QDialog>
#include <string>

class QPlainTextEdit;

namespace velka::server::ui {

class DialogProvider;

inline constexpr char kDocumentFilter[] = "File di configurazione|*.tmv|File di testo|*.txt";
inline constexpr char kSaveDocumentTitle[] = "Salva documento configurazione registratore";
inline constexpr char kSaveQuestion[] = "Vuoi salvare i cambiamenti?";
inline constexpr char kChangedMark[] = "C";

class frmEdit : public QDialog {
 public:
  // document_path: the file shown, replaced by the file saved to; it must outlive the editor.
  frmEdit(std::string& document_path, int language_offset, DialogProvider& dialogs,
          QWidget* parent = nullptr);

  // "C" once the text has changed, else empty.
  const QString& tag() const { return tag_; }
  QPlainTextEdit* txtEdit() const { return txtEdit_; }

  enum class SaveResult { Saved, Cancelled, NotWritten };
  SaveResult Save();

  // The close request (the window's close button, Escape): the question, then closing or not.
  void reject() override;

 private:
  void Load();
  bool MayClose();

  std::string& document_path_;
  int offset_;
  DialogProvider& dialogs_;
  QPlainTextEdit* txtEdit_ = nullptr;
  QString tag_;
};

// The document's text as the editor shows it: its lines joined by line ends.
std::string DocumentText(std::string_view bytes);
// The editor's text as saved: single-byte, CR LF line ends, one CR LF after the last line.
std::string SavedDocument(const QString& text);

}  // namespace velka::server::ui
