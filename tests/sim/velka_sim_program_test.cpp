// Runs the velka-sim program itself: its help, its terminal, its port link, its command
// channel, its transcript and paper, and its clean end on SIGTERM.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/control_commands.h"
#include "tests/sim/answer_view.h"

extern char** environ;

namespace velka::sim {
namespace {

namespace fs = std::filesystem;
using testing::ReadAnswer;

// velka-sim as a child process with its standard output on a pipe.
class Program {
 public:
  Program(const std::vector<std::string>& args, const std::vector<std::string>& env_overrides) {
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> argv_text{VELKA_SIM_PROGRAM};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_text(env_overrides);
    for (char** e = environ; *e != nullptr; ++e) env_text.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& e : env_text) envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, VELKA_SIM_PROGRAM, &actions, nullptr, argv.data(), envp.data()) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    out_ = out[0];
  }
  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  // One line of standard output, within timeout_ms.
  std::string line(int timeout_ms = 5000) {
    std::string text;
    char c = 0;
    while (ReadByte(out_, c, timeout_ms) && c != '\n') text += c;
    return text;
  }
  std::string rest(int timeout_ms = 5000) {
    std::string text;
    char c = 0;
    while (ReadByte(out_, c, timeout_ms)) text += c;
    return text;
  }
  // Sends the signal and returns the exit status (-1 when it did not end normally in time).
  int stop(int signal) {
    ::kill(pid_, signal);
    return wait();
  }
  int wait() {
    for (int i = 0; i < 500; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      ::usleep(10'000);
    }
    return -1;
  }
  bool started() const { return pid_ > 0; }

  static bool ReadByte(int fd, char& c, int timeout_ms) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return false;
    return ::read(fd, &c, 1) == 1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

// Reads from a terminal until `frames` ETX bytes have come, or 5 s passed.
Bytes ReadFrames(int fd, int frames) {
  Bytes bytes;
  char c = 0;
  int seen = 0;
  while (seen < frames && Program::ReadByte(fd, c, 5000)) {
    bytes.push_back(static_cast<std::uint8_t>(c));
    if (static_cast<std::uint8_t>(c) == ETX) ++seen;
  }
  return bytes;
}

testing::AnswerView Answer(Bytes bytes) {
  if (!bytes.empty() && bytes.front() == ACK) bytes.erase(bytes.begin());
  return ReadAnswer(bytes);
}

std::string FileText(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class SimProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("velka-sim-test-" + std::to_string(::getpid()) + "-" +
              std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }
  std::vector<std::string> env() const {
    return {"XDG_CONFIG_HOME=" + folder.string(), "HOME=" + folder.string()};
  }
  fs::path folder;
};

TEST_F(SimProgram, HelpNamesEveryOptionChannelCommandAndRequest) {
  Program help({"--help"}, env());
  ASSERT_TRUE(help.started());
  const std::string text = help.rest();
  EXPECT_EQ(help.wait(), 0);
  for (const char* option :
       {"--baud",  "--com",        "--log",       "--paper",    "--control", "--answer-gap",
        "--clock", "--cover-open", "--paper-out", "--error105", "--error N", "--nack",
        "--noack", "--badbcc",     "--pause",     "--silence",  "--loseack", "<</?s",
        "<</?d",   "<</?m",        "<</?f",       "offset 15",  "--record",  "--loseanswer"}) {
    EXPECT_NE(text.find(option), std::string::npos) << option;
  }
  for (const ControlCommandInfo& command : ControlCommands()) {
    EXPECT_NE(text.find(command.syntax), std::string::npos) << command.syntax;
  }
}

TEST_F(SimProgram, RefusesAnUnknownOption) {
  Program bad({"--frobnicate"}, env());
  ASSERT_TRUE(bad.started());
  EXPECT_EQ(bad.wait(), 2);
}

TEST_F(SimProgram, ServesItsTerminalAsComPortTakesChannelCommandsAndEndsCleanly) {
  const fs::path fifo = folder / "control";
  const fs::path link = folder / "TMV SPA" / "ports" / "com7";
  fs::create_directories(link.parent_path());
  fs::create_symlink("/dev/stale-device", link);  // left by an earlier run
  Program sim(
      {"--baud", "0", "--com", "7", "--control", fifo.string(), "--log", (folder / "log").string(),
       "--paper", (folder / "paper").string(), "--record", (folder / "record").string()},
      env());
  ASSERT_TRUE(sim.started());
  const std::string slave = sim.line();
  ASSERT_TRUE(slave.starts_with("/dev/pts/")) << slave;
  ASSERT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), slave);

  const int port = ::open(link.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(port, 0);
  termios raw{};
  ::tcgetattr(port, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(port, TCSANOW, &raw);
  const Bytes status = EncodeCommandFrame("<</?s", '0');
  ASSERT_EQ(::write(port, status.data(), status.size()), ssize_t(status.size()));
  const Bytes reply = ReadFrames(port, 1);
  ASSERT_FALSE(reply.empty());
  EXPECT_EQ(reply.front(), ACK);
  EXPECT_EQ(Answer(reply).kind, 's');

  {
    std::ofstream channel(fifo);
    channel << "cover open" << std::endl;
  }
  EXPECT_EQ(sim.line(), "velka-sim: ok");
  const Bytes sale = EncodeCommandFrame("=R/$1.5/(ACQUA)", '1');
  ASSERT_EQ(::write(port, sale.data(), sale.size()), ssize_t(sale.size()));
  const auto held = Answer(ReadFrames(port, 1));
  EXPECT_EQ(held.kind, 'E');
  EXPECT_EQ(held.condition, 'C');
  {
    std::ofstream channel(fifo);
    channel << "cover close" << std::endl << "bogus" << std::endl;
  }
  const auto report = ReadAnswer(ReadFrames(port, 1));
  EXPECT_EQ(report.kind, 'O');
  EXPECT_EQ(report.at15, '0');
  EXPECT_EQ(sim.line(), "velka-sim: ok");
  EXPECT_TRUE(sim.line().starts_with("velka-sim: error"));
  ::close(port);

  EXPECT_EQ(sim.stop(SIGTERM), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  EXPECT_FALSE(fs::exists(fs::symlink_status(fifo)));
  const std::string log = FileText(folder / "log");
  EXPECT_NE(log.find("< STX 01 005 N <</?s 0"), std::string::npos) << log;
  EXPECT_NE(log.find("> ACK"), std::string::npos) << log;
  EXPECT_NE(FileText(folder / "paper").find("ACQUA"), std::string::npos);
  EXPECT_EQ(FileText(folder / "record"),
            "exec <</?s\nhold =R/$1.5/(ACQUA)\nexec =R/$1.5/(ACQUA)\n");
}

}  // namespace
}  // namespace velka::sim
