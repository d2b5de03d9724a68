// velka-sim: the simulated register on a pseudo-terminal. See sim_help.cpp for what it does.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/system_factory.h"
#include "sim/control_commands.h"
#include "sim/port_link.h"
#include "sim/sim_help.h"
#include "sim/simulated_register.h"

namespace velka::sim {
namespace {

struct Arguments {
  SimOptions options;
  std::optional<int> com;
  std::string log_path;
  std::string paper_path;
  std::string record_path;
  std::string control_path;
  std::vector<std::string> start_commands;  // faults given as options, in channel syntax
};

int Usage(const std::string& message) {
  std::cerr << "velka-sim: " << message << "\nTry velka-sim --help.\n";
  return 2;
}

std::optional<long long> Whole(const std::string& text, long long low, long long high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

// Returns an exit status when the program is to end at once.
std::optional<int> Parse(int argc, char** argv, Arguments& args) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= argc) return std::nullopt;
      return std::string(argv[++i]);
    };
    auto with_value = [&](const char* channel_verb) -> std::optional<int> {
      const std::optional<std::string> v = value();
      if (!v) return Usage(option + " needs a value");
      args.start_commands.push_back(std::string(channel_verb) + " " + *v);
      return std::nullopt;
    };
    if (option == "--help" || option == "-h") {
      std::cout << HelpText();
      return 0;
    }
    if (option == "--version") {
      std::cout << "velka-sim " << VELKA_VERSION << "\n";
      return 0;
    }
    if (option == "--baud") {
      const std::optional<std::string> v = value();
      if (!v || (*v != "0" && *v != "9600" && *v != "115200")) {
        return Usage("--baud takes 0, 9600 or 115200");
      }
      args.options.baud = std::stoi(*v);
    } else if (option == "--com") {
      const std::optional<std::string> v = value();
      const std::optional<long long> n = v ? Whole(*v, 1, 999) : std::nullopt;
      if (!n) return Usage("--com takes a port number 1..999");
      args.com = static_cast<int>(*n);
    } else if (option == "--log" || option == "--paper" || option == "--record" ||
               option == "--control") {
      const std::optional<std::string> v = value();
      if (!v || v->empty()) return Usage(option + " needs a file name");
      (option == "--log"      ? args.log_path
       : option == "--paper"  ? args.paper_path
       : option == "--record" ? args.record_path
                              : args.control_path) = *v;
    } else if (option == "--answer-gap") {
      const std::optional<std::string> v = value();
      const std::optional<long long> ms = v ? Whole(*v, 0, 600000) : std::nullopt;
      if (!ms) return Usage("--answer-gap takes milliseconds");
      args.options.answer_gap_ms = *ms;
    } else if (option == "--cover-open") {
      args.start_commands.push_back("cover open");
    } else if (option == "--paper-out") {
      args.start_commands.push_back("paper out");
    } else if (option == "--error105") {
      args.start_commands.push_back("error 105");
    } else if (option == "--error") {
      const std::optional<std::string> v = value();
      if (!v) return Usage("--error needs N or N:COUNT");
      std::string fault = *v;
      const std::size_t colon = fault.find(':');
      if (colon != std::string::npos)
        fault = fault.substr(0, colon) + " " + fault.substr(colon + 1);
      else
        fault += " 1";
      args.start_commands.push_back("error " + fault);
    } else if (option == "--noack") {
      args.start_commands.push_back("noack on");
    } else if (option == "--silence") {
      args.start_commands.push_back("silence on");
    } else if (option == "--nack" || option == "--badbcc" || option == "--pause" ||
               option == "--loseack" || option == "--loseanswer" || option == "--clock") {
      if (std::optional<int> end = with_value(option.c_str() + 2)) return end;
    } else {
      return Usage("unknown option " + option);
    }
  }
  return std::nullopt;
}

// The FIFO of the command channel, watched by the loop.
class ControlChannel {
 public:
  ControlChannel(EventLoop& loop, const std::string& path, SimulatedRegister& sim)
      : path_(path), sim_(sim) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
      if (!S_ISFIFO(st.st_mode)) {
        error_ = path + " exists and is not a FIFO";
        return;
      }
    } else if (::mkfifo(path.c_str(), 0600) != 0) {
      error_ = "mkfifo " + path + ": " + ::strerror(errno);
      return;
    } else {
      created_ = true;
    }
    reader_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    // Holding a writer keeps the FIFO from reporting end-of-file between two writers.
    keeper_ = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (reader_ < 0 || keeper_ < 0) {
      error_ = "open " + path + ": " + ::strerror(errno);
      return;
    }
    watch_ = loop.watchReadable(reader_, [this] { onReadable(); });
  }
  ~ControlChannel() {
    watch_.reset();
    if (reader_ >= 0) ::close(reader_);
    if (keeper_ >= 0) ::close(keeper_);
    if (created_) ::unlink(path_.c_str());
  }
  const std::string& error() const { return error_; }

 private:
  static constexpr std::size_t kLineLimit = 256;

  void onReadable() {
    char buffer[1024];
    const ssize_t n = ::read(reader_, buffer, sizeof buffer);
    if (n <= 0) return;
    for (ssize_t i = 0; i < n; ++i) {
      const char c = buffer[i];
      if (c == '\n') {
        if (!overlong_ && !line_.empty()) Reply(ApplyControlCommand(sim_, line_));
        if (overlong_) Reply("error: line too long");
        line_.clear();
        overlong_ = false;
      } else if (c != '\r' && !overlong_) {
        line_ += c;
        if (line_.size() > kLineLimit) overlong_ = true;
      }
    }
  }
  static void Reply(const std::string& text) { std::cout << "velka-sim: " << text << std::endl; }

  std::string path_;
  SimulatedRegister& sim_;
  std::string error_;
  bool created_ = false;
  int reader_ = -1;
  int keeper_ = -1;
  std::unique_ptr<ReadWatch> watch_;
  std::string line_;
  bool overlong_ = false;
};

int Run(int argc, char** argv) {
  Arguments args;
  if (std::optional<int> end = Parse(argc, argv, args)) return *end;

  // The line is paced to the microsecond: the kernel's usual slack of 50 us on every wake-up
  // would be added to every frame.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGHUP);
  sigprocmask(SIG_BLOCK, &stop_signals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  const int signal_fd = ::signalfd(-1, &stop_signals, SFD_NONBLOCK | SFD_CLOEXEC);
  if (signal_fd < 0) {
    std::cerr << "velka-sim: signalfd: " << ::strerror(errno) << "\n";
    return 1;
  }

  const std::unique_ptr<EventLoop> system_loop = CreateSystemEventLoop();
  EventLoop& loop = *system_loop;
  SimulatedRegister sim(loop, args.options);
  if (!sim.ok()) {
    std::cerr << "velka-sim: " << sim.error() << "\n";
    return 1;
  }
  std::ofstream log, paper, record;
  if (!args.log_path.empty()) {
    log.open(args.log_path, std::ios::app);
    if (!log) return Usage("cannot write " + args.log_path);
    sim.setTranscriptSink([&log](const std::string& line) { log << line << std::endl; });
  }
  if (!args.paper_path.empty()) {
    paper.open(args.paper_path, std::ios::app);
    if (!paper) return Usage("cannot write " + args.paper_path);
  }
  if (!args.record_path.empty()) {
    record.open(args.record_path, std::ios::app);
    if (!record) return Usage("cannot write " + args.record_path);
    sim.setRecordSink([&record](const std::string& line) { record << line << std::endl; });
  }
  std::ostream& paper_out = args.paper_path.empty() ? std::cout : paper;
  sim.setPaperSink([&paper_out](const std::string& line) { paper_out << line << std::endl; });
  for (const std::string& command : args.start_commands) {
    const std::string reply = ApplyControlCommand(sim, command);
    if (reply.starts_with("error")) return Usage(command + ": " + reply);
  }
  std::unique_ptr<PortLink> link;
  if (args.com) {
    link = std::make_unique<PortLink>(*args.com, sim.slavePath());
    if (!link->ok()) {
      std::cerr << "velka-sim: " << link->error() << "\n";
      return 1;
    }
  }
  std::unique_ptr<ControlChannel> channel;
  if (!args.control_path.empty()) {
    channel = std::make_unique<ControlChannel>(loop, args.control_path, sim);
    if (!channel->error().empty()) {
      std::cerr << "velka-sim: " << channel->error() << "\n";
      return 1;
    }
  }

  std::cout << sim.slavePath() << std::endl;

  bool stop = false;
  auto signal_watch = loop.watchReadable(signal_fd, [&] {
    signalfd_siginfo info{};
    while (::read(signal_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) stop = true;
  });
  while (!stop) loop.waitForEvents();
  signal_watch.reset();
  ::close(signal_fd);
  return 0;
}

}  // namespace
}  // namespace velka::sim

int main(int argc, char** argv) {
  return velka::sim::Run(argc, argv);
}
