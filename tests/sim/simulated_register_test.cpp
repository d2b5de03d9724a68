// The simulated register on a real pseudo-terminal, served by a PollEventLoop on the test's
// own thread, as an end-to-end test runs it beside the control.
#include "sim/simulated_register.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/posix/poll_event_loop.h"
#include "tests/sim/answer_view.h"

namespace velka::sim {
namespace {

using testing::ReadAnswer;

bool RunUntil(EventLoop& loop, const std::function<bool()>& done, Millis limit_ms = 3000) {
  const Millis end = loop.now() + limit_ms;
  while (!done() && loop.now() < end) loop.waitForEvents(kNoHandle, end - loop.now());
  return done();
}

class ControlEnd {
 public:
  ControlEnd(EventLoop& loop, const std::string& path) : loop_(loop) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) return;
    termios raw{};
    ::tcgetattr(fd_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd_, TCSANOW, &raw);
    ::ioctl(fd_, TIOCEXCL);  // as the control's serial port does
    watch_ = loop.watchReadable(fd_, [this] {
      std::uint8_t buffer[4096];
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n > 0) received_.insert(received_.end(), buffer, buffer + n);
    });
  }
  ~ControlEnd() { close(); }
  void close() {
    watch_.reset();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  bool ok() const { return fd_ >= 0; }
  void send(const Bytes& bytes) {
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  // Runs the loop until `done` holds for what arrived, or limit_ms passed.
  bool waitFor(const std::function<bool(const Bytes&)>& done, Millis limit_ms = 3000) {
    return RunUntil(
        loop_, [&] { return done(received_); }, limit_ms);
  }
  // The bytes up to the n-th ETX, taken out of what arrived.
  Bytes take(int frames) {
    auto it = received_.begin();
    for (int seen = 0; it != received_.end() && seen < frames; ++it) {
      if (*it == ETX) ++seen;
    }
    Bytes out(received_.begin(), it);
    received_.erase(received_.begin(), it);
    return out;
  }
  const Bytes& received() const { return received_; }

 private:
  EventLoop& loop_;
  int fd_ = -1;
  std::unique_ptr<ReadWatch> watch_;
  Bytes received_;
};

std::function<bool(const Bytes&)> Frames(int n) {
  return [n](const Bytes& b) {
    int etx = 0;
    for (std::uint8_t c : b) etx += c == ETX;
    return etx >= n;
  };
}

// ACK + one answer frame, as the control reads it.
testing::AnswerView Answer(Bytes bytes) {
  if (!bytes.empty() && bytes.front() == ACK) bytes.erase(bytes.begin());
  return ReadAnswer(bytes);
}

class OnPty : public ::testing::Test {
 protected:
  void start(int baud) {
    sim = std::make_unique<SimulatedRegister>(loop, SimOptions{baud, 200, {}});
    ASSERT_TRUE(sim->ok()) << sim->error();
    sim->setTranscriptSink([this](const std::string& line) { transcript += line + "\n"; });
  }
  PollEventLoop loop;
  std::unique_ptr<SimulatedRegister> sim;
  std::string transcript;
};

TEST_F(OnPty, AnswersAFrameOnTheSlave) {
  start(0);
  ControlEnd control(loop, sim->slavePath());
  ASSERT_TRUE(control.ok());
  control.send(EncodeCommandFrame("<</?s", '0'));
  ASSERT_TRUE(control.waitFor(Frames(1)));
  const Bytes reply = control.take(1);
  EXPECT_EQ(reply.front(), ACK);
  EXPECT_EQ(Answer(reply).kind, 's');
  EXPECT_TRUE(Answer(reply).check_ok);
  EXPECT_NE(transcript.find("< STX 01 005 N <</?s 0"), std::string::npos) << transcript;
}

TEST_F(OnPty, KeepsServingTheSamePathAfterTheControlClosesIt) {
  start(0);
  {
    ControlEnd first(loop, sim->slavePath());
    ASSERT_TRUE(first.ok());
    first.send(EncodeCommandFrame("=R/$1", '1'));
    ASSERT_TRUE(first.waitFor(Frames(1)));
    // The answer of a command whose control leaves before reading it.
    first.send(EncodeCommandFrame("<</?d", '2'));
    ASSERT_TRUE(RunUntil(
        loop, [this] { return transcript.find("> STX 01 018 N d") != std::string::npos; }));
  }
  ASSERT_TRUE(RunUntil(loop, [this] {
    return transcript.find("the control closed the line") != std::string::npos;
  }));

  ControlEnd second(loop, sim->slavePath());
  ASSERT_TRUE(second.ok()) << "the slave could not be opened again";
  EXPECT_FALSE(second.waitFor([](const Bytes& b) { return !b.empty(); }, 100))
      << "unread output of the first control reached the second";
  second.send(EncodeCommandFrame("<</?r", '3'));
  ASSERT_TRUE(second.waitFor(Frames(1)));
  // The register itself lives on: the sale of the first control is still in the receipt.
  EXPECT_EQ(Answer(second.take(1)).answer_data.substr(0, 3), "001");
}

TEST_F(OnPty, TakesAFrameAsReceivedWhenItsLastByteWouldHaveArrived) {
  start(115200);
  ControlEnd control(loop, sim->slavePath());
  ASSERT_TRUE(control.ok());
  const Bytes frame = EncodeCommandFrame(std::string(999, 'Q'), '4');  // 1010 bytes
  const Millis sent_at = loop.now();
  control.send(frame);
  ASSERT_TRUE(control.waitFor([](const Bytes& b) { return !b.empty(); }));
  // 1010 bytes of 10 bits at 115200 bit/s take 87.7 ms on a wire.
  EXPECT_GE(loop.now() - sent_at, 87);
  ASSERT_TRUE(control.waitFor(Frames(1)));
  const auto answer = Answer(control.take(1));
  EXPECT_EQ(answer.kind, 'E');
  EXPECT_EQ(answer.error_number, 19);
}

// The register adds no time of its own to the wire: a frame's answer is whole once the
// frame, the ACK and the answer have had their time on the line, not before and hardly after.
// The transcript times the frame at its first byte and each reply once it has left.
TEST_F(OnPty, AnswerIsWholeOnceItsWireTimeHasPassed) {
  start(115200);
  ControlEnd control(loop, sim->slavePath());
  ASSERT_TRUE(control.ok());
  // The quickest of a few exchanges: a machine busy with other work may delay any one of them.
  constexpr int kExchanges = 5;
  Micros quickest = 0;
  Micros wire_us = 0;
  for (int n = 0; n < kExchanges; ++n) {
    const Bytes frame = EncodeCommandFrame("<</?s", static_cast<char>('1' + n));
    const Micros sent = MonotonicMicros();
    control.send(frame);
    ASSERT_TRUE(control.waitFor(Frames(1)));
    const Micros took = MonotonicMicros() - sent;
    const Bytes reply = control.take(1);  // the ACK and the answer
    wire_us = static_cast<Micros>((frame.size() + reply.size()) * 10 * 1'000'000 / 115200);
    EXPECT_GE(took, wire_us);
    quickest = n == 0 ? took : std::min(quickest, took);
  }
  EXPECT_LT(quickest, wire_us + 3000) << "wire " << wire_us << " us";

  std::vector<double> at;  // the times of each frame, its ACK and its answer
  std::istringstream lines(transcript);
  for (std::string line; std::getline(lines, line);) {
    if (line.find(" < STX") != std::string::npos || line.find(" > ") != std::string::npos) {
      at.push_back(std::stod(line));
    }
  }
  ASSERT_EQ(at.size(), 3u * kExchanges) << transcript;
  for (std::size_t first = 0; first < at.size(); first += 3) {
    EXPECT_GE(at[first + 2] - at[first], static_cast<double>(wire_us) / 1e6) << transcript;
    EXPECT_LE(at[first + 1], at[first + 2]);
  }
  EXPECT_NE(transcript.find("# monotonic clock at 0: "), std::string::npos);
}

TEST_F(OnPty, ClearingTheCoverSendsTheReportOfTheHeldCommand) {
  start(9600);
  ControlEnd control(loop, sim->slavePath());
  ASSERT_TRUE(control.ok());
  sim->setCondition(Condition::CoverOpen, true);
  control.send(EncodeCommandFrame("=R/$2/(TE)", '5'));
  ASSERT_TRUE(control.waitFor(Frames(1)));
  const auto held = Answer(control.take(1));
  EXPECT_EQ(held.kind, 'E');
  EXPECT_EQ(held.condition, 'C');
  EXPECT_EQ(held.at15, '1');
  sim->setCondition(Condition::CoverOpen, false);
  ASSERT_TRUE(control.waitFor(Frames(1)));
  const auto report = ReadAnswer(control.take(1));
  EXPECT_EQ(report.size, kStatusAnswerBytes);
  EXPECT_EQ(report.kind, 'O');
  EXPECT_EQ(report.at15, '0');
  EXPECT_EQ(report.at14, '1');
}

}  // namespace
}  // namespace velka::sim
