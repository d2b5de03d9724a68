#pragma once
// Test doubles of the job server's tests: a fake control that answers from a script, a view
// that records what it is shown, and a temporary program folder.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "automation/result_codes.h"
#include "server/jobs/operator_view.h"
#include "server/jobs/register_control.h"
#include "tests/support/temporary_home.h"

namespace velka::server::testing {

// The control as the job logic sees it, with the register played by a script.
class FakeRegisterControl : public RegisterControl {
 public:
  // What one DirectIO line does: its result, and (on 0) the answer handed to DirectIOEvent.
  struct Reply {
    std::int32_t code = 0;
    std::int32_t extended = 0;
    std::vector<std::string> data_lines;  // raised as ReceiveDataEvent before the result
    std::vector<std::int32_t> statuses;   // raised as StatusUpdateEvent before the result
    std::string answer;
  };

  void setEvents(RegisterControlEvents* events) override { events_ = events; }
  void setTMVHighSpeed(bool value) override {
    calls.push_back(value ? "TMVHighSpeed=True" : "TMVHighSpeed=False");
  }
  void setAsyncMode(bool value) override {
    calls.push_back(value ? "AsyncMode=True" : "AsyncMode=False");
  }
  std::int32_t TMVOpen(const std::string& DeviceName) override {
    calls.push_back("TMVOpen " + DeviceName);
    is_open = open_result == 0;
    return open_result;
  }
  std::int32_t TMVClose() override {
    calls.push_back("TMVClose");
    is_open = false;
    return 0;
  }
  std::int32_t DirectIO(std::int32_t Command, std::int32_t& pData, std::string& pString) override {
    calls.push_back("DirectIO " + std::to_string(Command) + " " + pString);
    if (closed_gives_107 && !is_open) return 107;
    sent.push_back(pString);
    Reply reply = script ? script(pString) : Reply{};
    extended_ = reply.extended;
    if (events_) {
      for (const std::string& line : reply.data_lines) events_->ReceiveDataEvent(line);
      for (std::int32_t status : reply.statuses) events_->StatusUpdateEvent(status);
    }
    if (reply.code == 0 && events_) {
      std::string answer = reply.answer;
      events_->DirectIOEvent(Command, pData, answer);
    }
    return reply.code;
  }
  std::int32_t DirectIO2(std::int32_t, std::int32_t&, std::string& pString,
                         std::string& pOString) override {
    calls.push_back("DirectIO2 " + pString);
    if (before_status) before_status(*this);
    if (closed_gives_107 && !is_open) return 107;
    if (!status_answers.empty()) {
      const std::optional<std::string> next = status_answers.front();
      status_answers.pop_front();
      if (!next) return 112;
      pOString = *next;
      return 0;
    }
    if (status_result != 0) return status_result;
    pOString = status_answer;
    return 0;
  }
  std::int32_t ResultCodeExtended() override { return extended_; }

  RegisterControlEvents* events() { return events_; }

  std::function<Reply(const std::string& line)> script;
  std::int32_t open_result = 0;
  bool is_open = false;
  // A call on the closed control fails with 107 and sends nothing, as the real one does.
  bool closed_gives_107 = false;
  // Runs at the start of each status request (DirectIO2).
  std::function<void(FakeRegisterControl&)> before_status;
  std::int32_t status_result = 0;
  // A receipt status answer: receipt number 1234 at characters 9 to 12, tail "0042".
  std::string status_answer = "10000000123400000042";
  // Answers of the next status requests, before status_answer (nothing: the request fails
  // with 112).
  std::deque<std::optional<std::string>> status_answers;
  std::vector<std::string> calls;
  std::vector<std::string> sent;  // the DirectIO lines, in order

 private:
  RegisterControlEvents* events_ = nullptr;
  std::int32_t extended_ = 0;
};

// Records every change as "name: text", as the console view prints them.
class RecordingView : public OperatorView {
 public:
  void setCaption(Caption caption, const std::string& text) override {
    Add(CaptionName(caption), text);
  }
  void setStatusText(const std::string& text) override { Add("lblStato", text); }
  void setErrorText(const std::string& text) override { Add("lblErrore", text); }
  void setLastReceiptTime(const std::string& text) override { Add("lblOra", text); }
  void setLastReceiptNumber(const std::string& text) override { Add("lblNumero", text); }
  void showTrayIcon() override { Add("tray", "shown"); }
  void hideTrayIcon() override { Add("tray", "hidden"); }
  void setTrayIcon(TrayIcon icon) override { Add("tray icon", TrayIconName(icon)); }
  void setTrayToolTip(const std::string& text) override { Add("tray tooltip", text); }
  void bringToFront() override { Add("window", "brought to front"); }
  void requestClose() override { Add("window", "close requested"); }

  // The last text shown for a name, or nothing.
  std::optional<std::string> last(const std::string& name) const {
    auto found = latest.find(name);
    if (found == latest.end()) return std::nullopt;
    return found->second;
  }
  bool saw(const std::string& line) const {
    for (const std::string& l : lines) {
      if (l == line) return true;
    }
    return false;
  }

  std::vector<std::string> lines;
  std::map<std::string, std::string> latest;

 private:
  void Add(const std::string& name, const std::string& text) {
    lines.push_back(name + ": " + text);
    latest[name] = text;
  }
};

// A temporary program folder, with XDG_CONFIG_HOME, XDG_DATA_HOME, HOME and
// VELKA_SERVER_HOME pointed into it; removed afterwards.
class TempProgramFolder : public velka::testing::TemporaryHome {
 public:
  TempProgramFolder()
      : TemporaryHome("velka-server", {{"XDG_CONFIG_HOME", "config"},
                                       {"XDG_DATA_HOME", "data"},
                                       {"HOME", "user"},
                                       {"VELKA_SERVER_HOME", "prog"}}) {
    std::filesystem::create_directories(home());
  }

  // The program folder.
  std::string home() const { return at("prog"); }
  std::string path(const std::string& relative) const { return home() + "/" + relative; }

  static bool Exists(const std::string& path) { return std::filesystem::exists(path); }
  static std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

}  // namespace velka::server::testing
