#pragma once
// A JobServer on virtual time with the fake control, in a temporary program folder, with the
// wall clock fixed at 06/12/2006 18:30:15.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "server/jobs/job_processor.h"
#include "server/jobs/job_server.h"
#include "server/jobs/server_control_site.h"
#include "tests/server/server_test_support.h"
#include "tests/support/virtual_event_loop.h"

namespace velka::server::testing {

// A receipt status answer ("<</?s"): the register ready, document state and receipt number as
// given.
inline std::string ReceiptStatusAnswer(int document, int number) {
  char text[16];
  std::snprintf(text, sizeof text, "0000%02d01%04d", document, number);
  return text;
}

class JobServerTest : public ::testing::Test {
 protected:
  using Reply = FakeRegisterControl::Reply;

  void WriteSettings(const std::string& keys) {
    TempProgramFolder::WriteFile(folder.path("TMVSERVER.INI"), "[Parameters]\r\n" + keys);
  }

  JobServer::StartResult Start(Millis settle_ms = 0) {
    JobServerEnvironment env;
    env.program_folder = folder.home();
    env.log_name = "VelkaDriverServer";
    env.loop = &loop;
    env.view = shown_on ? shown_on : &view;
    env.create_control = [this](std::string& error) -> std::unique_ptr<RegisterControl> {
      if (!can_create) {
        error = "not registered";
        return nullptr;
      }
      auto made = std::make_unique<FakeRegisterControl>();
      made->script = [this](const std::string& line) { return script ? script(line) : Reply{}; };
      made->open_result = open_result;
      if (prepare) prepare(*made);
      control = made.get();
      return made;
    };
    env.clock = [this] { return now; };
    env.settle_ms = settle_ms;
    env.site = site;
    // No real folder watch on virtual time: a test gives a fake one, or the polling serves.
    env.watch_folder = [this](const std::string& path) -> std::unique_ptr<FolderWatch> {
      return watch_folder ? watch_folder(path) : nullptr;
    };
    std::filesystem::create_directories(folder.home());
    server = std::make_unique<JobServer>(env);
    return server->Start();
  }

  // Writes a command file into the input folder; returns its path.
  std::string Job(const std::string& name, const std::string& content) {
    const std::string path = input() + name;
    TempProgramFolder::WriteFile(path, content);
    return path;
  }

  std::string input() const { return server->settings().DirectoryInput; }
  std::string unsent() const { return server->settings().DirectoryOutput; }
  std::string Log() const { return TempProgramFolder::ReadFile(input() + "VelkaDriverServer.LOG"); }
  std::string InInput(const std::string& name) const {
    return TempProgramFolder::ReadFile(input() + name);
  }
  bool ExistsInInput(const std::string& name) const {
    return TempProgramFolder::Exists(input() + name);
  }

  // A reply that fails with code (and extended code).
  static Reply Fail(std::int32_t code, std::int32_t extended = 0) {
    Reply reply;
    reply.code = code;
    reply.extended = extended;
    return reply;
  }

  TempProgramFolder folder;
  VirtualEventLoop loop;
  RecordingView view;
  OperatorView* shown_on = nullptr;  // another view instead of the recording one
  LocalDateTime now{2006, 12, 6, 18, 30, 15};
  std::function<Reply(const std::string& line)> script;
  bool can_create = true;
  std::int32_t open_result = 0;
  FakeRegisterControl* control = nullptr;  // owned by the server
  ServerControlSite* site = nullptr;       // the control's site, when a test gives one
  // Sets up each control made, before the server's start-up uses it.
  std::function<void(FakeRegisterControl&)> prepare;
  // Makes the watch of the input folder (unset: none).
  FolderWatchFactory watch_folder;
  std::unique_ptr<JobServer> server;
};

}  // namespace velka::server::testing
