#pragma once
// Test doubles of the window face: a notification area that records what it is handed, menu
// commands that record what the window asked for, and dialogs answered by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/single_byte_text.h"
#include "server/ui/dialog_provider.h"
#include "server/ui/menu_commands.h"
#include "server/ui/tray_icon.h"

namespace velka::server::ui::testing {

class RecordingArea : public NotificationArea {
 public:
  struct Call {
    NotifyIconOperation operation;
    NotifyIconRecord record;
  };

  explicit RecordingArea(std::vector<Call>& calls, bool present = true)
      : calls_(calls), present_(present) {}
  void NotifyIcon(NotifyIconOperation operation, const NotifyIconRecord& record) override {
    calls_.push_back({operation, record});
  }
  bool present() const override { return present_; }

 private:
  std::vector<Call>& calls_;
  bool present_;
};

class RecordingCommands : public MenuCommands {
 public:
  void OpenSettingsDialog() override { asked.push_back("settings"); }
  void SendConfigurationDocument() override { asked.push_back("send"); }
  void Exit() override { asked.push_back("exit"); }
  std::vector<std::string> asked;
};

// Answers the dialogs from queues the test fills (an empty queue answers "cancelled") and
// records each one asked as "kind: title | more". A modal window is shown, handed to
// on_modal, which must close it, and is not run in an event loop of its own.
class ScriptedDialogs : public DialogProvider {
 public:
  std::optional<QString> BrowseForFolder(QWidget*, const QString& title,
                                         const QString& start) override {
    Record("folder", title, start);
    return Next(folders);
  }
  std::optional<QString> OpenFileName(QWidget*, const FileDialogRequest& request) override {
    Record("open", request.title, request.filter);
    return Next(open_files);
  }
  std::optional<QString> SaveFileName(QWidget*, const FileDialogRequest& request) override {
    Record("save", request.title, request.filter);
    return Next(save_files);
  }
  Answer AskYesNoCancel(QWidget*, const QString& title, const QString& text) override {
    Record("question", title, text);
    if (answers.empty()) return Answer::Cancel;
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void ShowError(const std::string& message, const std::string& detail) override {
    asked.push_back("error: " + SingleByteToUtf8(message) + " | " + detail);
  }
  void ShowModal(QDialog& dialog) override {
    asked.push_back("modal: " + dialog.objectName().toStdString());
    dialog.show();
    if (on_modal) on_modal(dialog);
    if (dialog.isVisible()) {
      ADD_FAILURE() << "the test left " << dialog.objectName().toStdString() << " open";
      dialog.done(QDialog::Rejected);
    }
  }

  // The entries of `asked` that begin with kind.
  std::vector<std::string> Asked(const std::string& kind) const {
    std::vector<std::string> found;
    for (const std::string& entry : asked) {
      if (entry.starts_with(kind + ":")) found.push_back(entry);
    }
    return found;
  }

  std::deque<std::optional<QString>> folders;
  std::deque<std::optional<QString>> open_files;
  std::deque<std::optional<QString>> save_files;
  std::deque<Answer> answers;
  std::function<void(QDialog&)> on_modal;
  std::vector<std::string> asked;

 private:
  void Record(const char* kind, const QString& title, const QString& more) {
    asked.push_back(std::string(kind) + ": " + title.toStdString() + " | " + more.toStdString());
  }
  static std::optional<QString> Next(std::deque<std::optional<QString>>& queue) {
    if (queue.empty()) return std::nullopt;
    std::optional<QString> next = queue.front();
    queue.pop_front();
    return next;
  }
};

// Lets posted events (show, hide, state changes) reach the widgets.
inline void Settle() {
  QApplication::processEvents();
}

}  // namespace velka::server::ui::testing
