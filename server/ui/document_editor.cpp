// frmEdit: loading, the changed mark, the close question and saving.
#include "server/ui/document_editor.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "platform/file_status.h"
#include "platform/single_byte_text.h"
#include "platform/whole_file.h"
#include "server/jobs/command_file.h"
#include "server/resources/message_table.h"
#include "server/ui/dialog_provider.h"
#include "server/ui/main_window.h"
#include "server/ui/qt_text.h"

namespace velka::server::ui {

std::string DocumentText(std::string_view bytes) {
  std::string text;
  for (const std::string& line : SplitCommandLines(bytes)) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

std::string SavedDocument(const QString& text) {
  std::string saved;
  for (char c : Utf8ToSingleByte(text.toStdString())) {
    if (c == '\n') saved += '\r';
    saved += c;
  }
  return saved + "\r\n";
}

frmEdit::frmEdit(std::string& document_path, int language_offset, DialogProvider& dialogs,
                 QWidget* parent)
    : QDialog(parent), document_path_(document_path), offset_(language_offset), dialogs_(dialogs) {
  setObjectName("frmEdit");
  txtEdit_ = new QPlainTextEdit(this);
  txtEdit_->setObjectName("txtEdit");
  txtEdit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(txtEdit_);
  connect(txtEdit_, &QPlainTextEdit::textChanged, this, [this] { tag_ = kChangedMark; });
  resize(560, 400);
  Load();
}

void frmEdit::Load() {
  setWindowTitle(QString::fromStdString(document_path_));
  txtEdit_->clear();
  tag_.clear();
  const FileRead read =
      ReadRegularFile(document_path_, static_cast<std::size_t>(kMaxCommandFileBytes));
  const std::string text = DocumentText(read.bytes);
  if (!text.empty()) txtEdit_->setPlainText(ShownText(text));
}

frmEdit::SaveResult frmEdit::Save() {
  const std::optional<QString> chosen = dialogs_.SaveFileName(
      this, {QString::fromLatin1(kSaveDocumentTitle), QString::fromLatin1(kDocumentFilter)});
  if (!chosen) return SaveResult::Cancelled;
  const std::string path = chosen->toStdString();
  const bool written =
      !IsReadOnly(path) && WriteFileReplacing(path, SavedDocument(txtEdit_->toPlainText()),
                                              {.keep_link_and_mode = true});
  if (!written) {
    dialogs_.ShowError(MessageText(offset_, msg::CannotWriteFile) + Utf8ToSingleByte(path), "");
    return SaveResult::NotWritten;
  }
  document_path_ = path;
  return SaveResult::Saved;
}

bool frmEdit::MayClose() {
  if (tag_ != kChangedMark) return true;
  switch (dialogs_.AskYesNoCancel(this, QString::fromLatin1(kWindowTitle),
                                  QString::fromLatin1(kSaveQuestion))) {
    case Answer::Yes:
      return Save() != SaveResult::NotWritten;
    case Answer::No:
      return true;
    case Answer::Cancel:
      break;
  }
  return false;
}

void frmEdit::reject() {
  if (MayClose()) QDialog::reject();
}

}  // namespace velka::server::ui
