#pragma once
// The end-to-end fixture: the real VelkaDriverServer, headless, and velka-sim on pseudo-terminals
// as processes in a temporary program folder; jobs dropped as a point-of-sale program drops
// them, checked by their files and by the simulator's transcript of the line.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/server/e2e_support.h"
#include "tests/server/server_test_support.h"

#if defined(VELKA_SERVER_EXE) && defined(VELKA_SIM_EXE)

namespace velka::server::testing {

inline constexpr int kWaitMs = 10000;

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    std::filesystem::create_directories(folder.home());
  }
  void TearDown() override {
    server.Signal(SIGTERM);
    server.WaitExit(kWaitMs);
    sim.Signal(SIGTERM);
    sim.WaitExit(kWaitMs);
  }

  std::string root(const std::string& name) const { return folder.root() + "/" + name; }
  std::string input() const { return folder.path("TOSEND/"); }

  void StartSim(std::vector<std::string> faults = {}) { StartSimAs(sim, "sim", "1", faults); }
  // A simulator of its own (its transcript <name>.log, its output <name>.out) on com<com>.
  void StartSimAs(ChildProcess& process, const std::string& name, const std::string& com,
                  std::vector<std::string> faults = {}) {
    std::vector<std::string> argv = {VELKA_SIM_EXE,
                                     "--com",
                                     com,
                                     "--baud",
                                     "0",
                                     "--log",
                                     root(name + ".log"),
                                     "--paper",
                                     root("paper.txt"),
                                     "--control",
                                     root(name + ".ctl")};
    argv.insert(argv.end(), faults.begin(), faults.end());
    ASSERT_TRUE(process.Start(argv, root(name + ".out"), root(name + ".err")));
    ASSERT_TRUE(
        WaitFor([&] { return ReadText(root(name + ".out")).starts_with("/dev/"); }, kWaitMs))
        << ReadText(root(name + ".err"));
  }
  // The pseudo-terminal a simulator serves, as it printed it.
  std::string SimDevice(const std::string& name) {
    const std::vector<std::string> lines = ReadLines(root(name + ".out"));
    return lines.empty() ? std::string() : lines.front();
  }

  void WriteSettings(const std::string& keys = "", const std::string& port = "1",
                     const std::string& frequence = "1") {
    TempProgramFolder::WriteFile(
        folder.path("TMVSERVER.INI"),
        "[Parameters]\r\nPort=" + port + "\r\nFrequence=" + frequence + "\r\n" + keys);
  }

  // Starts a server and waits until it polls.
  void StartServer(ChildProcess& process, const std::string& name = "server") {
    ASSERT_TRUE(process.Start({VELKA_SERVER_EXE}, root(name + ".out"), root(name + ".err")));
    ASSERT_TRUE(WaitFor(
        [&] {
          return process.Printed("tray: shown") || !process.running() ||
                 process.WaitExit(0).has_value();
        },
        kWaitMs));
    ASSERT_TRUE(process.Printed("tray: shown")) << ReadText(root(name + ".err"));
  }

  // A command file as a point-of-sale program drops it: written aside, then renamed in.
  void Drop(const std::string& name, const std::string& content) {
    const std::string aside = input() + "." + name + ".part";
    TempProgramFolder::WriteFile(aside, content);
    std::filesystem::rename(aside, input() + name);
  }

  bool Exists(const std::string& name) const { return TempProgramFolder::Exists(input() + name); }
  bool WaitForFile(const std::string& name) {
    return WaitFor([&] { return Exists(name); }, kWaitMs);
  }

  // A command for the simulator's channel.
  void Channel(const std::string& command) { std::ofstream(root("sim.ctl")) << command << "\n"; }

  std::vector<std::string> SentCommands(const std::string& sim_name = "sim") {
    std::vector<std::string> sent;
    for (const Frame& f : Frames(root(sim_name + ".log"))) {
      if (f.from_control) sent.push_back(f.text);
    }
    return sent;
  }

  std::string Log() { return ReadText(input() + "VelkaDriverServer.LOG"); }

  // The sequence digit of the last frame the control sent, from the transcript.
  char LastSequenceDigit() {
    static const std::regex kFrame(R"(^[0-9.]+ < STX 01 ([0-9]{3}) N )");
    char digit = '?';
    for (const std::string& line : ReadLines(root("sim.log"))) {
      std::smatch m;
      if (!std::regex_search(line, m, kFrame)) continue;
      const std::size_t at = m.position(0) + m.length(0) + std::stoul(m[1]) + 1;
      if (at < line.size()) digit = line[at];
    }
    return digit;
  }

  TempProgramFolder folder;
  ChildProcess sim;
  ChildProcess server;
};

}  // namespace velka::server::testing

#endif
