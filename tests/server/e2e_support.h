#pragma once
// Programs under test as child processes: the server and the simulated register, started
// with the test's environment (its temporary folders), their output in files, every wait
// bounded.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace velka::server::testing {

// Polls cond every 10 ms for at most timeout_ms; true when it held.
inline bool WaitFor(const std::function<bool()>& cond, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!cond()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(ReadText(path));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// One frame as the transcript shows it: "12.345 < STX 01 019 N text 0 64 ETX".
struct Frame {
  bool from_control = false;
  std::string text;  // the command text, or the answer's data field
};

inline std::vector<Frame> Frames(const std::string& transcript) {
  std::vector<Frame> frames;
  static const std::regex kHead(R"(^[0-9.]+ ([<>]) STX 01 ([0-9]{3}) [A-Z] )");
  for (const std::string& line : ReadLines(transcript)) {
    std::smatch m;
    if (!std::regex_search(line, m, kHead)) continue;
    const std::size_t length = std::stoul(m[2]);
    const std::size_t start = m.position(0) + m.length(0);
    if (line.size() < start + length) continue;
    frames.push_back({m[1] == "<", line.substr(start, length)});
  }
  return frames;
}

class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() {
    if (running()) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }

  // Starts argv[0] with the current environment; standard output and error go to files.
  bool Start(const std::vector<std::string>& argv, const std::string& out_path,
             const std::string& err_path) {
    out_path_ = out_path;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int failed = ::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) pid_ = -1;
    return failed == 0;
  }

  bool running() const { return pid_ > 0 && !status_; }
  pid_t pid() const { return pid_; }
  const std::string& outPath() const { return out_path_; }

  // The processor time it has used so far (user and system), in milliseconds; -1 when unknown.
  long CpuMillis() const {
    const std::string stat = ReadText("/proc/" + std::to_string(pid_) + "/stat");
    const std::size_t after_name = stat.rfind(')');
    if (after_name == std::string::npos) return -1;
    std::istringstream fields(stat.substr(after_name + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int n = 3; n <= 15 && fields >> field; ++n) {
      if (n == 14) utime = std::stol(field);
      if (n == 15) stime = std::stol(field);
    }
    return (utime + stime) * 1000 / ::sysconf(_SC_CLK_TCK);
  }

  void Signal(int signal) {
    if (running()) ::kill(pid_, signal);
  }

  // The exit status once the process has ended within timeout_ms (-1 for a signal).
  std::optional<int> WaitExit(int timeout_ms) {
    if (status_) return status_;
    WaitFor(
        [&] {
          int raw = 0;
          if (::waitpid(pid_, &raw, WNOHANG) == pid_) {
            status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
          }
          return status_.has_value();
        },
        timeout_ms);
    return status_;
  }

  // Standard output holds this line (exactly), after the time the console puts first.
  bool Printed(const std::string& line) const {
    static const std::regex kTime(R"(\d\d:\d\d:\d\d )");
    for (const std::string& l : ReadLines(out_path_)) {
      if (l.size() == line.size() + 9 && std::regex_match(l.substr(0, 9), kTime) &&
          l.compare(9, std::string::npos, line) == 0) {
        return true;
      }
    }
    return false;
  }

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  std::string out_path_;
};

}  // namespace velka::server::testing
