// The serial port on a real pseudo-terminal: the test holds the master side, the port opens
// the slave through a com<N> link as the control would.
#include "platform/posix/posix_serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>

#include "platform/port_devices.h"
#include "platform/posix/poll_event_loop.h"
#include "tests/platform/temp_home.h"

namespace velka {
namespace {

namespace fs = std::filesystem;

// The register's end of the line.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(master_, 0);
    EXPECT_EQ(::grantpt(master_), 0);
    EXPECT_EQ(::unlockpt(master_), 0);
    char name[128] = {};
    EXPECT_EQ(::ptsname_r(master_, name, sizeof name), 0);
    slave_ = name;
    termios raw{};
    ::tcgetattr(master_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(master_, TCSANOW, &raw);
  }
  ~PseudoTerminal() { close(); }

  const std::string& slavePath() const { return slave_; }
  void close() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  void send(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else {
        pollfd p{master_, POLLOUT, 0};
        if (::poll(&p, 1, 2000) <= 0) break;
      }
    }
    ASSERT_EQ(done, bytes.size());
  }
  // Writes what the line takes now; returns how much.
  std::size_t sendSome(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0) return 0;
    const ssize_t n = ::write(master_, bytes, count);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  // What the port wrote, up to count bytes, waiting at most timeout_ms for them.
  Bytes receive(std::size_t count, int timeout_ms = 2000) {
    Bytes out;
    while (out.size() < count) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, timeout_ms) <= 0) break;
      std::uint8_t buffer[4096];
      const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - out.size()));
      if (n <= 0) break;
      out.insert(out.end(), buffer, buffer + n);
    }
    return out;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

Bytes AllByteValues() {
  Bytes all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<std::uint8_t>(b));
  return all;
}

class PosixSerialPortTest : public ::testing::Test {
 protected:
  static constexpr int kPort = 3;

  void SetUp() override {
    fs::create_directories(PosixSerialPort::PortsFolder());
    linkPort(kPort, pty_->slavePath());
  }

  static void linkPort(int number, const std::string& device) {
    const std::string entry = PosixSerialPort::PortsFolder() + "/com" + std::to_string(number);
    fs::remove(entry);
    fs::create_symlink(device, entry);
  }

  // Runs the loop with the port's descriptor as the wake descriptor until done().
  template <typename Done>
  bool pump(PosixSerialPort& port, Done done, Millis limit_ms = 2000) {
    const Millis until = loop_.now() + limit_ms;
    while (!done() && loop_.now() < until) {
      loop_.waitForEvents(port.readinessHandle(), until - loop_.now());
    }
    return done();
  }

  TempHome home_;
  PollEventLoop loop_;
  std::unique_ptr<PseudoTerminal> pty_ = std::make_unique<PseudoTerminal>();
};

TEST_F(PosixSerialPortTest, CarriesEveryByteValueBothWaysUnchanged) {
  PosixSerialPort port(loop_);
  ASSERT_TRUE(port.open(kPort, 9600)) << port.lastError();
  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(port.baud(), 9600);
  EXPECT_EQ(port.receiveThreshold(), 0);
  EXPECT_GE(port.readinessHandle(), 0);
  EXPECT_TRUE(port.cts());  // a pseudo-terminal has no modem lines

  const Bytes all = AllByteValues();
  ASSERT_TRUE(port.write(all));
  EXPECT_EQ(pty_->receive(all.size()), all);

  pty_->send(all);
  ASSERT_TRUE(pump(port, [&] { return port.bytesWaiting() >= all.size(); }));
  EXPECT_EQ(port.readAll(), all);
  EXPECT_EQ(port.readAll(), Bytes{});
  EXPECT_EQ(port.bytesWaiting(), 0u);
}

TEST_F(PosixSerialPortTest, OpensAtHighSpeedByDevicePath) {
  PosixSerialPort port(loop_);
  ASSERT_TRUE(port.openDevice(pty_->slavePath(), 115200)) << port.lastError();
  EXPECT_EQ(port.baud(), 115200);
  ASSERT_TRUE(port.write({'o', 'k'}));
  EXPECT_EQ(pty_->receive(2), (Bytes{'o', 'k'}));
}

TEST_F(PosixSerialPortTest, LongStreamArrivesWhole) {
  PosixSerialPort port(loop_);
  ASSERT_TRUE(port.open(kPort, 115200)) << port.lastError();
  Bytes sent;
  for (std::size_t i = 0; i < 300 * 1024; ++i) sent.push_back(static_cast<std::uint8_t>(i * 7));
  Bytes received;
  std::size_t offset = 0;
  std::size_t largest_read = 0;
  // The line holds only a few kilobytes: the register side writes what fits, the port reads.
  const Millis until = loop_.now() + 10'000;
  while (received.size() < sent.size() && loop_.now() < until) {
    offset += pty_->sendSome(sent.data() + offset, sent.size() - offset);
    loop_.waitForEvents(port.readinessHandle(), 20);
    Bytes part = port.readAll();
    largest_read = std::max(largest_read, part.size());
    received.insert(received.end(), part.begin(), part.end());
  }
  EXPECT_LE(largest_read, 64u * 1024);
  EXPECT_EQ(received, sent);
}

TEST_F(PosixSerialPortTest, SecondPortOnTheSameDeviceIsRefusedUntilTheFirstCloses) {
  PosixSerialPort first(loop_);
  PosixSerialPort second(loop_);
  ASSERT_TRUE(first.open(kPort, 9600)) << first.lastError();
  EXPECT_FALSE(second.open(kPort, 9600));
  EXPECT_FALSE(second.isOpen());
  EXPECT_EQ(second.lastError(), "port in use: " + PosixSerialPort::DevicePathForPort(kPort));
  EXPECT_FALSE(second.openDevice(pty_->slavePath(), 9600));  // same device, other name
  first.close();
  EXPECT_FALSE(first.isOpen());
  EXPECT_TRUE(second.open(kPort, 9600)) << second.lastError();
}

TEST_F(PosixSerialPortTest, DiscardInputDropsReceivedBytesAndKeepsWrittenOnes) {
  PosixSerialPort port(loop_);
  ASSERT_TRUE(port.open(kPort, 9600)) << port.lastError();
  ASSERT_TRUE(port.write({'A', 'B', 'C'}));  // the master has not read these yet
  pty_->send({'x', 'y', 'z'});
  ASSERT_TRUE(pump(port, [&] { return port.bytesWaiting() == 3; }));
  port.discardInput();
  EXPECT_EQ(port.bytesWaiting(), 0u);
  EXPECT_EQ(pty_->receive(3), (Bytes{'A', 'B', 'C'}));
}

TEST_F(PosixSerialPortTest, ReceiveEventsOnlyWhileTheThresholdIsOne) {
  PosixSerialPort port(loop_);
  ASSERT_TRUE(port.open(kPort, 9600)) << port.lastError();
  std::vector<int> events;
  port.setEventHandler([&](int code) {
    events.push_back(code);
    port.readAll();
  });
  pty_->send({'1'});
  ASSERT_TRUE(pump(port, [&] { return port.bytesWaiting() > 0; }));
  loop_.waitForEvents(kNoHandle, 30);
  EXPECT_TRUE(events.empty());  // threshold 0

  port.setReceiveThreshold(1);
  EXPECT_EQ(port.receiveThreshold(), 1);
  ASSERT_TRUE(pump(port, [&] { return !events.empty(); }));
  EXPECT_EQ(events, std::vector<int>{kCommEventReceive});

  pty_->send({'2'});
  ASSERT_TRUE(pump(port, [&] { return events.size() == 2; }));
  EXPECT_EQ(events.back(), kCommEventReceive);
}

TEST_F(PosixSerialPortTest, PortDestroyedByItsOwnHandlerIsSafe) {
  auto port = std::make_unique<PosixSerialPort>(loop_);
  ASSERT_TRUE(port->open(kPort, 9600)) << port->lastError();
  int events = 0;
  port->setEventHandler([&](int) {
    ++events;
    port.reset();
  });
  port->setReceiveThreshold(1);
  pty_->send({'!'});
  const Millis until = loop_.now() + 2000;
  while (port && loop_.now() < until) loop_.waitForEvents(kNoHandle, 50);
  EXPECT_EQ(port, nullptr);
  EXPECT_EQ(events, 1);
}

TEST_F(PosixSerialPortTest, HangUpIsReportedAndTheLoopDoesNotSpin) {
  PosixSerialPort port(loop_);
  ASSERT_TRUE(port.open(kPort, 9600)) << port.lastError();
  int events = 0;
  port.setEventHandler([&](int) { ++events; });
  port.setReceiveThreshold(1);
  pty_->close();
  const Millis until = loop_.now() + 2000;
  while (!port.hungUp() && loop_.now() < until) loop_.waitForEvents(kNoHandle, 100);
  ASSERT_TRUE(port.hungUp());
  EXPECT_TRUE(port.isOpen());  // until the owner closes it
  EXPECT_EQ(port.readinessHandle(), -1);
  EXPECT_EQ(port.bytesWaiting(), 0u);
  EXPECT_TRUE(port.readAll().empty());
  EXPECT_FALSE(port.cts());
  EXPECT_FALSE(port.write({'x'}));
  EXPECT_EQ(port.lastError(), "device hung up: " + PosixSerialPort::DevicePathForPort(kPort));

  // Each step sleeps its whole bound: a watch left on the dead descriptor would wake it at
  // once, again and again.
  int steps = 0;
  const Millis start = loop_.now();
  while (loop_.now() - start < 150) {
    loop_.waitForEvents(port.readinessHandle(), 50);
    ++steps;
  }
  EXPECT_LE(steps, 4);
  EXPECT_EQ(events, 0);
}

// An owner that reads nothing (threshold 0) still hears of a hang-up, once, from the loop;
// bytes that nobody announces meanwhile do not keep waking the loop.
TEST_F(PosixSerialPortTest, HangUpOfAnIdlePortIsToldOnceFromTheLoop) {
  PosixSerialPort port(loop_);
  int told = 0;
  int events = 0;
  port.setEventHandler([&](int) { ++events; });
  port.setHangUpHandler([&] { ++told; });
  auto steps_in = [&](Millis span_ms) {
    int steps = 0;
    for (const Millis start = loop_.now(); loop_.now() - start < span_ms; ++steps) {
      loop_.waitForEvents(kNoHandle, 50);
    }
    return steps;
  };
  auto wait_told = [&](int count) {
    const Millis until = loop_.now() + 2000;
    while (told < count && loop_.now() < until) loop_.waitForEvents(kNoHandle, 100);
    return told == count;
  };
  for (int round = 1; round <= 2; ++round) {
    ASSERT_TRUE(port.open(kPort, 9600)) << port.lastError();
    pty_->send({'l', 'a', 't', 'e'});
    EXPECT_LE(steps_in(150), 4) << round;
    EXPECT_EQ(port.readAll(), (Bytes{'l', 'a', 't', 'e'}));
    pty_->close();
    ASSERT_TRUE(wait_told(round)) << round;
    EXPECT_TRUE(port.hungUp());
    EXPECT_LE(steps_in(150), 4) << round;  // nothing watches the dead descriptor
    EXPECT_EQ(told, round);
    // Replugged: a new device behind the same link, told again when it goes.
    port.close();
    pty_ = std::make_unique<PseudoTerminal>();
    linkPort(kPort, pty_->slavePath());
  }
  EXPECT_EQ(events, 0);
}

// A hang-up that a look at the port meets first is the looker's to handle.
TEST_F(PosixSerialPortTest, HangUpMetByAReadIsNotToldAgain) {
  PosixSerialPort port(loop_);
  int told = 0;
  port.setHangUpHandler([&] { ++told; });
  ASSERT_TRUE(port.open(kPort, 9600)) << port.lastError();
  pty_->close();
  ASSERT_TRUE(pump(port, [&] { return port.bytesWaiting() == 0 && port.hungUp(); }));
  loop_.waitForEvents(kNoHandle, 50);
  EXPECT_EQ(told, 0);
}

TEST_F(PosixSerialPortTest, HangUpIsFoundByPollingWithoutReceiveEvents) {
  PosixSerialPort port(loop_);
  ASSERT_TRUE(port.open(kPort, 9600)) << port.lastError();
  pty_->close();
  ASSERT_TRUE(pump(port, [&] { return port.bytesWaiting() == 0 && port.hungUp(); }));
  EXPECT_EQ(port.readinessHandle(), -1);
}

TEST_F(PosixSerialPortTest, ReopensWhenANewDeviceAppearsBehindTheLink) {
  PosixSerialPort port(loop_);
  ASSERT_TRUE(port.open(kPort, 9600)) << port.lastError();
  pty_->close();
  ASSERT_TRUE(pump(port, [&] { return port.bytesWaiting() == 0 && port.hungUp(); }));
  port.close();
  EXPECT_FALSE(port.open(kPort, 9600));  // the old device is gone
  EXPECT_FALSE(port.isOpen());

  pty_ = std::make_unique<PseudoTerminal>();
  linkPort(kPort, pty_->slavePath());
  ASSERT_TRUE(port.open(kPort, 9600)) << port.lastError();
  EXPECT_FALSE(port.hungUp());
  EXPECT_GE(port.readinessHandle(), 0);
  ASSERT_TRUE(port.write({'h', 'i'}));
  EXPECT_EQ(pty_->receive(2), (Bytes{'h', 'i'}));
}

TEST_F(PosixSerialPortTest, CloseAndOpenAgainOnTheSameDevice) {
  PosixSerialPort port(loop_);
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(port.open(kPort, 9600)) << round << ": " << port.lastError();
    ASSERT_TRUE(port.write({static_cast<std::uint8_t>('0' + round)}));
    EXPECT_EQ(pty_->receive(1), Bytes{static_cast<std::uint8_t>('0' + round)});
    port.close();
  }
  EXPECT_FALSE(port.write({'x'}));
  EXPECT_EQ(port.lastError(), "port not open");
  EXPECT_EQ(port.readinessHandle(), -1);
}

TEST_F(PosixSerialPortTest, WriteGivesUpWhenTheOtherSideNeverReads) {
  PosixSerialPort port(loop_);
  ASSERT_TRUE(port.open(kPort, 9600)) << port.lastError();
  const Millis start = loop_.now();
  EXPECT_FALSE(port.write(Bytes(4 * 1024 * 1024, 'w')));
  EXPECT_EQ(port.lastError(),
            "write to " + PosixSerialPort::DevicePathForPort(kPort) + " timed out");
  EXPECT_GE(loop_.now() - start, 2000);
  EXPECT_FALSE(port.hungUp());
}

TEST_F(PosixSerialPortTest, OpenFailuresSayWhy) {
  const std::string ports = PosixSerialPort::PortsFolder();
  TempHome::WriteFile(home_.root() + "/plain.txt", "not a terminal\n");
  fs::create_symlink(home_.root() + "/plain.txt", ports + "/com5");
  fs::create_symlink(home_.root() + "/missing", ports + "/com6");
  TempHome::WriteFile(ports + "/com7", " \r\n");
  const struct {
    int port;
    int baud;
    std::string error;
  } rows[] = {
      {0, 9600, "port number 0 is not valid"},
      {-2, 9600, "port number -2 is not valid"},
      {kPort, 12345, "speed 12345 is not supported"},
      {5, 9600, ports + "/com5 is not a serial device"},
      {6, 9600, "cannot open " + ports + "/com6: No such file or directory"},
      {7, 9600, ports + "/com7 names no device"},
  };
  for (const auto& r : rows) {
    PosixSerialPort port(loop_);
    EXPECT_FALSE(port.open(r.port, r.baud)) << r.port;
    EXPECT_FALSE(port.isOpen()) << r.port;
    EXPECT_EQ(port.lastError(), r.error) << r.port;
    EXPECT_EQ(port.readinessHandle(), -1) << r.port;
  }
}

TEST_F(PosixSerialPortTest, FactoryMakesAPortOnTheGivenLoop) {
  std::unique_ptr<SerialPort> port = PosixSerialPortFactory()(loop_);
  ASSERT_NE(port, nullptr);
  EXPECT_TRUE(port->open(kPort, 9600)) << port->lastError();
}

TEST(DevicePathForPortTest, LinkTextFileOrTheDefaultDevice) {
  TempHome home;
  const std::string ports = home.config() + "/TMV SPA/ports";
  EXPECT_EQ(PosixSerialPort::PortsFolder(), ports);
  fs::create_directories(ports);
  fs::create_symlink("/dev/pts/77", ports + "/com1");
  TempHome::WriteFile(ports + "/com2", "  /dev/serial/by-id/usb-adapter-port0 \r\nignored\n");
  TempHome::WriteFile(ports + "/com3", "ttyUSB0\n");
  TempHome::WriteFile(ports + "/com4", "");
  fs::create_directories(ports + "/com5");
  fs::create_symlink("sim-pty", ports + "/com7");
  // expected: the device opened; shown: the device an operator is told of (DescribePortDevice).
  const struct {
    int port;
    std::string expected;
    std::string shown;
    bool named;
  } rows[] = {
      {1, ports + "/com1", "/dev/pts/77", true},  // the link itself: opening follows it
      {2, "/dev/serial/by-id/usb-adapter-port0", "/dev/serial/by-id/usb-adapter-port0", true},
      {3, ports + "/ttyUSB0", ports + "/ttyUSB0", true},
      {4, "", "", true},
      {5, "", "", true},
      {6, "/dev/ttyS5", "/dev/ttyS5", false},
      {7, ports + "/com7", ports + "/sim-pty", true},
      {12, "/dev/ttyS11", "/dev/ttyS11", false},
      {0, "", "", false},
      {-1, "", "", false},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(PosixSerialPort::DevicePathForPort(r.port), r.expected) << r.port;
    const PortDevice described = DescribePortDevice(r.port);
    EXPECT_EQ(described.device, r.shown) << r.port;
    EXPECT_EQ(described.named, r.named) << r.port;
  }
}

}  // namespace
}  // namespace velka
