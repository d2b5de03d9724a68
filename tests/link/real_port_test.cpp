// The exchange over a real pseudo-terminal, with PosixSerialPort and PollEventLoop. The
// register is played on the master side by a watch on the same loop, so it answers while
// the link waits, as a register on the line would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "automation/result_codes.h"
#include "control/core/control_state.h"
#include "control/core/trace_writer.h"
#include "control/link/frame_codec.h"
#include "control/link/register_link.h"
#include "platform/posix/poll_event_loop.h"
#include "platform/posix/posix_serial_port.h"
#include "tests/support/scripted_register.h"
#include "tests/support/temporary_home.h"

namespace velka::testing {
namespace {

using link::ACK;
using link::ETX;
using link::NACK;
using link::STX;

class PtyRegister {
 public:
  // What the register sends back for the n-th frame (counted from 1).
  using Answer = std::function<Bytes(int frame_number, const std::string& command)>;

  explicit PtyRegister(EventLoop& loop) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    slave_path_ = ::ptsname(master_);
    // Held open so the master never sees the line hang up between two opens of the port.
    keeper_ = ::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    watch_ = loop.watchReadable(master_, [this] { onReadable(); });
  }
  ~PtyRegister() {
    watch_.reset();
    if (keeper_ >= 0) ::close(keeper_);
    if (master_ >= 0) ::close(master_);
  }

  bool ready() const { return master_ >= 0 && keeper_ >= 0 && !slave_path_.empty(); }
  const std::string& slavePath() const { return slave_path_; }
  void answerWith(Answer answer) { answer_ = std::move(answer); }
  // The register goes away: the control's side of the line hangs up.
  void hangUpOnNextFrame() { hang_up_ = true; }

  std::vector<std::string> commands;  // texts of the frames received
  Bytes single_bytes;                 // what the control sent outside frames

 private:
  void onReadable() {
    std::uint8_t chunk[512];
    const ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n <= 0) return;
    for (ssize_t i = 0; i < n; ++i) take(chunk[i]);
  }

  void take(std::uint8_t byte) {
    if (!in_frame_ && byte != STX) {
      single_bytes.push_back(byte);
      return;
    }
    in_frame_ = true;
    frame_.push_back(byte);
    if (byte != ETX) return;
    in_frame_ = false;
    const std::string command = ScriptedRegister::Read(frame_).command;
    frame_.clear();
    commands.push_back(command);
    if (hang_up_) {
      watch_.reset();
      ::close(master_);
      master_ = -1;
      return;
    }
    if (!answer_) return;
    const Bytes reply = answer_(static_cast<int>(commands.size()), command);
    if (!reply.empty()) (void)::write(master_, reply.data(), reply.size());
  }

  int master_ = -1;
  int keeper_ = -1;
  std::string slave_path_;
  std::unique_ptr<ReadWatch> watch_;
  Answer answer_;
  bool in_frame_ = false;
  bool hang_up_ = false;
  Bytes frame_;
};

Millis ProcessCpuMillis() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<Millis>(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

class RealPort : public ::testing::Test {
 protected:
  RealPort() : trace(state.TraceOn, nullptr) {}

  void SetUp() override {
    ASSERT_TRUE(home.ok());
    ASSERT_TRUE(reg.ready()) << "no pseudo-terminal";
    ASSERT_TRUE(port.openDevice(reg.slavePath(), 9600)) << port.lastError();
    state.LinkFree = true;
    link = std::make_unique<RegisterLink>(state, loop, port, trace);
  }

  void TearDown() override {
    link.reset();
    port.close();
  }

  // Lets the register read what the control wrote last, within a bound.
  void runLoopUntil(const std::function<bool()>& done) {
    const Millis until = loop.now() + 1000;
    while (!done() && loop.now() < until) loop.waitForEvents(kNoHandle, until - loop.now());
  }

  TemporaryHome home{"velka-link",
                     {{"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"}, {"HOME", ""}}};
  PollEventLoop loop;
  PtyRegister reg{loop};
  PosixSerialPort port{loop};
  ControlState state;
  TraceWriter trace;
  std::unique_ptr<RegisterLink> link;
};

TEST_F(RealPort, AcknowledgedAndAnswered) {
  reg.answerWith([](int, const std::string&) {
    return ScriptedRegister::Join({{ACK}, ScriptedRegister::Status('0', '4', '0')});
  });
  EXPECT_EQ(link->SendCommand("=T1", false), result::Success);
  EXPECT_EQ(link->SendCommand("=T2", false), result::Success);
  EXPECT_EQ(reg.commands, (std::vector<std::string>{"=T1", "=T2"}));
  EXPECT_EQ(state.PrinterState, printer_state::ReceiptEnding);
  EXPECT_TRUE(reg.single_bytes.empty());
}

TEST_F(RealPort, UnacknowledgedFramesAreFollowedByNackNackAck) {
  reg.answerWith([](int, const std::string&) { return Bytes{NACK}; });
  EXPECT_EQ(link->SendCommand("?s", false), result::Timeout);
  runLoopUntil([&] { return reg.single_bytes.size() >= 3; });
  ASSERT_EQ(reg.commands.size(), 3u);
  EXPECT_EQ(reg.single_bytes, (Bytes{NACK, NACK, ACK}));
}

TEST_F(RealPort, AckTimeOutSleepsInTheKernel) {
  // The first two frames are refused at once; the third meets silence for a full ACK wait.
  reg.answerWith([](int n, const std::string&) { return n < 3 ? Bytes{NACK} : Bytes{}; });
  const auto start = std::chrono::steady_clock::now();
  const Millis cpu_start = ProcessCpuMillis();
  EXPECT_EQ(link->SendCommand("?s", false), result::Timeout);
  const Millis cpu = ProcessCpuMillis() - cpu_start;
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
  EXPECT_GE(elapsed, 3000);
  EXPECT_LT(cpu * 20, elapsed) << "cpu " << cpu << " ms in " << elapsed << " ms";
  std::printf("ACK time-out: %lld ms CPU in %lld ms (%.2f%%)\n", static_cast<long long>(cpu),
              static_cast<long long>(elapsed), 100.0 * static_cast<double>(cpu) / elapsed);
}

TEST_F(RealPort, RegisterGoingAwayEndsTheExchangeAtOnce) {
  reg.hangUpOnNextFrame();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(link->SendCommand("?s", false), result::Timeout);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LT(elapsed, std::chrono::milliseconds(1000));
  EXPECT_TRUE(port.hungUp());
  EXPECT_TRUE(state.LinkFree);
}

}  // namespace
}  // namespace velka::testing
