// frmEdit: what a document shows once loaded, the changed mark, the close question and its
// three answers, saving (single-byte text, CR LF, one line end after the last line), a save
// that cannot be written, and the file dialogs' filter as Qt takes it.
#include "server/ui/document_editor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QPlainTextEdit>

#include "server/jobs/command_file.h"
#include "server/ui/qt_dialog_provider.h"
#include "tests/server/server_test_support.h"
#include "tests/ui/ui_test_support.h"

namespace velka::server::ui {
namespace {

using server::testing::TempProgramFolder;
using testing::ScriptedDialogs;

class DocumentEditorTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(folder.home()); }

  // Writes the document and opens the editor on it.
  frmEdit& Open(const std::string& content) {
    TempProgramFolder::WriteFile(path, content);
    editor = std::make_unique<frmEdit>(document_path, 0, dialogs);
    editor->show();
    return *editor;
  }
  QString Shown() const { return editor->txtEdit()->toPlainText(); }

  TempProgramFolder folder;
  const std::string path = folder.path("Setup.tmv");
  std::string document_path = path;
  ScriptedDialogs dialogs;
  std::unique_ptr<frmEdit> editor;
};

TEST_F(DocumentEditorTest, LoadShowsTheLinesAndSetsTheMarkForAnyText) {
  const struct {
    const char* content;
    const char* shown;
    bool marked;
  } cases[] = {
      {"A\r\nB\r\n", "A\nB", true},       {"A\nB\rC", "A\nB\nC", true},
      {"A\r\n\r\nB", "A\n\nB", true},     {"", "", false},
      {"\r\n\r\n\r\n", "", false},        {"\r\nA", "A", true},
      {"CAFF\xC8 \x80", "CAFFÈ €", true},
  };
  for (const auto& c : cases) {
    Open(c.content);
    EXPECT_EQ(Shown(), QString::fromUtf8(c.shown)) << c.content;
    EXPECT_EQ(editor->tag(), c.marked ? "C" : "") << c.content;
    EXPECT_EQ(editor->windowTitle(), QString::fromStdString(path));
  }
}

TEST_F(DocumentEditorTest, ClosingAnEmptyDocumentAsksNothing) {
  Open("");
  editor->close();
  EXPECT_FALSE(editor->isVisible());
  EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(DocumentEditorTest, CloseQuestionAndItsAnswers) {
  const std::string other = folder.path("Other.tmv");
  const struct {
    Answer answer;
    std::optional<QString> save_to;
    bool closes;
    std::string document;  // the document path afterwards
    bool written;
  } cases[] = {
      {Answer::Yes, QString::fromStdString(other), true, other, true},
      {Answer::Yes, std::nullopt, true, path, false},  // save cancelled: quiet
      {Answer::No, std::nullopt, true, path, false},
      {Answer::Cancel, std::nullopt, false, path, false},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(other);
    document_path = path;
    dialogs.asked.clear();
    dialogs.answers = {c.answer};
    dialogs.save_files = {c.save_to};
    Open("=C1\r\n");  // opened and closed at once: the load has set the mark
    editor->close();
    EXPECT_EQ(editor->isVisible(), !c.closes);
    ASSERT_FALSE(dialogs.asked.empty());
    EXPECT_EQ(dialogs.asked[0],
              "question: Velka Server - TMV S.P.A. | Vuoi salvare i cambiamenti?");
    if (c.answer == Answer::Yes) {
      EXPECT_EQ(dialogs.asked[1],
                "save: Salva documento configurazione registratore | File di "
                "configurazione|*.tmv|File di testo|*.txt");
    }
    EXPECT_EQ(document_path, c.document);
    EXPECT_EQ(TempProgramFolder::Exists(other), c.written);
    editor->hide();
  }
}

TEST_F(DocumentEditorTest, SavingAddsOneLineEndAfterTheLastLine) {
  const struct {
    const char* content;
    const char* saved;
  } cases[] = {
      {"A\r\nB", "A\r\nB\r\n"},  // grows by one line end
      {"A\r\nB\r\n", "A\r\nB\r\n"},
      {"A\nB\n", "A\r\nB\r\n"},
      {"\xE8 \x80", "\xE8 \x80\r\n"},
  };
  for (const auto& c : cases) {
    Open(c.content);
    dialogs.save_files = {QString::fromStdString(path)};
    EXPECT_EQ(editor->Save(), frmEdit::SaveResult::Saved);
    EXPECT_EQ(TempProgramFolder::ReadFile(path), c.saved) << c.content;
  }
  EXPECT_EQ(SavedDocument(QString::fromUtf8("€ è 漢")), "\x80 \xE8 ?\r\n");
}

TEST_F(DocumentEditorTest, SaveThatCannotBeWrittenKeepsTheEditorOpen) {
  const std::string locked = folder.path("Locked.tmv");
  TempProgramFolder::WriteFile(locked, "old\r\n");
  ::chmod(locked.c_str(), 0444);
  dialogs.answers = {Answer::Yes};
  dialogs.save_files = {QString::fromStdString(locked)};
  Open("=C1\r\n");
  editor->close();
  EXPECT_TRUE(editor->isVisible());
  EXPECT_EQ(document_path, path);
  EXPECT_EQ(dialogs.Asked("error"),
            std::vector<std::string>{"error: Impossibile scrivere il file " + locked + " | "});
  EXPECT_EQ(TempProgramFolder::ReadFile(locked), "old\r\n");
  ::chmod(locked.c_str(), 0644);
  dialogs.answers = {Answer::No};
  editor->close();
  EXPECT_FALSE(editor->isVisible());
}

TEST_F(DocumentEditorTest, DocumentThatCannotBeReadShowsWhatWasRead) {
  std::filesystem::create_directories(path + ".d");
  document_path = path + ".d";  // a folder: nothing can be read
  editor = std::make_unique<frmEdit>(document_path, 0, dialogs);
  EXPECT_EQ(Shown(), "");
  EXPECT_EQ(editor->tag(), "");

  document_path = path;
  std::string big(static_cast<std::size_t>(kMaxCommandFileBytes) + 10, 'Z');
  big.replace(0, 4, "=C1\n");
  Open(big);
  EXPECT_EQ(Shown().size(), kMaxCommandFileBytes);  // what the bound lets through
  EXPECT_EQ(editor->tag(), "C");
}

TEST(QtFileFilterTest, PairsBecomeQtFilters) {
  EXPECT_EQ(QtFileFilter(kDocumentFilter), "File di configurazione (*.tmv);;File di testo (*.txt)");
  EXPECT_EQ(QtFileFilter("Solo|*.a|Resto"), "Solo (*.a)");
  EXPECT_EQ(QtFileFilter(""), "");
}

}  // namespace
}  // namespace velka::server::ui
