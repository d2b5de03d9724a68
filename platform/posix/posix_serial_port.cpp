// The termios serial port.
#include "platform/posix/posix_serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/event_loop.h"
#include "platform/port_map.h"

namespace velka {

namespace {

// One readAll() takes at most this much, so a device that floods the line cannot make the
// control's memory grow without bound; the rest waits for the next read.
constexpr std::size_t kReadLimit = 64 * 1024;
// Longest a write waits for room in the output queue.
constexpr Millis kWriteWaitMs = 2000;

std::optional<speed_t> SpeedFor(int baud) {
  switch (baud) {
    case 50:
      return B50;
    case 75:
      return B75;
    case 110:
      return B110;
    case 134:
      return B134;
    case 150:
      return B150;
    case 200:
      return B200;
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 1800:
      return B1800;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    case 460800:
      return B460800;
    case 500000:
      return B500000;
    case 576000:
      return B576000;
    case 921600:
      return B921600;
    case 1000000:
      return B1000000;
    case 1152000:
      return B1152000;
    case 1500000:
      return B1500000;
    case 2000000:
      return B2000000;
    case 2500000:
      return B2500000;
    case 3000000:
      return B3000000;
    case 3500000:
      return B3500000;
    case 4000000:
      return B4000000;
    default:
      return std::nullopt;
  }
}

std::string ErrorText(int error) {
  return std::strerror(error);
}

// A device without modem-status lines (a pseudo-terminal) answers these.
bool NoModemLines(int error) {
  return error == ENOTTY || error == EINVAL;
}

}  // namespace

struct PosixSerialPort::Impl {
  explicit Impl(EventLoop& l) : loop(l) {}

  EventLoop& loop;
  int fd = -1;
  std::string device;
  int baud = 0;
  int threshold = 0;
  bool hung_up = false;
  std::string last_error;
  std::function<void(int)> handler;
  std::function<void()> hang_up_handler;
  std::unique_ptr<ReadWatch> watch;
  // Bytes wait that no receive event is to announce (threshold 0): the watch, kept for a
  // hang-up, rests until they are taken, or it would fire for them again and again.
  bool quiet = false;
  bool has_counters = false;
  serial_icounter_struct counters{};
  // A callback holds a weak copy: expired once the port is destroyed by a handler.
  std::shared_ptr<int> alive = std::make_shared<int>(0);
  unsigned long generation = 0;  // changes at every open and close

  bool usable() const { return fd >= 0 && !hung_up; }
  bool fail(std::string why) {
    last_error = std::move(why);
    return false;
  }

  bool openDevice(const std::string& path, int speed_baud);
  void close();
  void markHungUp();
  void hangUpFound();
  void takenAll();
  bool hangUpSignalled();
  void updateWatch();
  void onReadable();
  bool raiseLineErrors(const std::weak_ptr<int>& still_alive);
  std::size_t bytesWaiting();
  Bytes readAll();
  bool write(const Bytes& bytes);
  bool cts();
};

bool PosixSerialPort::Impl::openDevice(const std::string& path, int speed_baud) {
  close();
  const std::optional<speed_t> speed = SpeedFor(speed_baud);
  if (!speed) return fail("speed " + std::to_string(speed_baud) + " is not supported");

  const int opened = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (opened < 0) {
    const int error = errno;
    if (error == EBUSY) return fail("port in use: " + path);
    return fail("cannot open " + path + ": " + ErrorText(error));
  }
  bool exclusive = false;
  auto give_up = [&](std::string why) {
    if (exclusive) ::ioctl(opened, TIOCNXCL);
    ::close(opened);
    return fail(std::move(why));
  };

  // The lock is what keeps a second program off the device (the terminal's own exclusive
  // mode does not stop the superuser); it goes with the descriptor.
  if (::flock(opened, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (error == EWOULDBLOCK) return give_up("port in use: " + path);
    return give_up("cannot lock " + path + ": " + ErrorText(error));
  }
  exclusive = ::ioctl(opened, TIOCEXCL) == 0;

  termios settings{};
  if (::tcgetattr(opened, &settings) != 0) {
    const int error = errno;
    if (error == ENOTTY) return give_up(path + " is not a serial device");
    return give_up("cannot configure " + path + ": " + ErrorText(error));
  }
  ::cfmakeraw(&settings);
  settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_iflag &= ~(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  ::cfsetispeed(&settings, *speed);
  ::cfsetospeed(&settings, *speed);
  if (::tcsetattr(opened, TCSANOW, &settings) != 0) {
    return give_up("cannot configure " + path + ": " + ErrorText(errno));
  }
  termios applied{};
  if (::tcgetattr(opened, &applied) != 0 || ::cfgetospeed(&applied) != *speed) {
    return give_up("speed " + std::to_string(speed_baud) + " is not supported by " + path);
  }

  int lines = TIOCM_DTR | TIOCM_RTS;
  if (::ioctl(opened, TIOCMBIC, &lines) != 0 && !NoModemLines(errno)) {
    return give_up("cannot drop DTR and RTS on " + path + ": " + ErrorText(errno));
  }
  ::tcflush(opened, TCIFLUSH);

  fd = opened;
  device = path;
  baud = speed_baud;
  threshold = 0;
  hung_up = false;
  quiet = false;
  last_error.clear();
  has_counters = ::ioctl(fd, TIOCGICOUNT, &counters) == 0;
  ++generation;
  updateWatch();
  return true;
}

void PosixSerialPort::Impl::close() {
  watch.reset();
  if (fd >= 0) {
    // Leave the terminal open to others again (the mode outlives this descriptor on a
    // pseudo-terminal); the lock goes with the descriptor.
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
    ++generation;
  }
  fd = -1;
  hung_up = false;
  quiet = false;
  threshold = 0;
}

void PosixSerialPort::Impl::markHungUp() {
  if (hung_up) return;
  hung_up = true;
  last_error = "device hung up: " + device;
  // The descriptor stays readable for ever now; watching it would make the loop spin.
  if (watch) watch->setEnabled(false);
}

// A hang-up met by the watch: the owner is told, once. It may close or destroy the port.
void PosixSerialPort::Impl::hangUpFound() {
  if (hung_up) return;
  markHungUp();
  if (hang_up_handler) {
    auto call = hang_up_handler;  // the handler may replace itself
    call();
  }
}

// Everything waiting has been read or thrown away: the watch may look again.
void PosixSerialPort::Impl::takenAll() {
  if (!quiet) return;
  quiet = false;
  updateWatch();
}

// True when the device reports its end and nothing is left to read.
bool PosixSerialPort::Impl::hangUpSignalled() {
  pollfd p{fd, POLLIN, 0};
  int n;
  do {
    n = ::poll(&p, 1, 0);
  } while (n < 0 && errno == EINTR);
  if (n <= 0 || !(p.revents & (POLLHUP | POLLERR | POLLNVAL))) return false;
  int waiting = 0;
  return ::ioctl(fd, FIONREAD, &waiting) != 0 || waiting == 0;
}

// Watched while receive events are wanted, and while an owner wants to hear of a hang-up and no
// unannounced bytes wait.
void PosixSerialPort::Impl::updateWatch() {
  const bool receiving = threshold >= 1 && handler;
  const bool hang_up_only = hang_up_handler && !quiet;
  const bool wanted = usable() && (receiving || hang_up_only);
  if (wanted && !watch) watch = loop.watchReadable(fd, [this] { onReadable(); });
  if (watch) watch->setEnabled(wanted);
}

void PosixSerialPort::Impl::onReadable() {
  const std::weak_ptr<int> still_alive = alive;
  const unsigned long opened = generation;
  if (!usable()) return;
  if (!raiseLineErrors(still_alive)) return;
  if (still_alive.expired() || generation != opened || !usable()) return;

  int waiting = 0;
  if (::ioctl(fd, FIONREAD, &waiting) != 0) {
    if (errno == EIO) hangUpFound();
    return;
  }
  if (waiting > 0) {
    if (threshold >= 1 && handler) {
      auto call = handler;  // the handler may replace itself
      call(kCommEventReceive);
    } else {
      quiet = true;
      updateWatch();
    }
    return;
  }
  if (hangUpSignalled()) hangUpFound();
}

// Raises the line-error events whose counters grew; false when a handler destroyed the port.
bool PosixSerialPort::Impl::raiseLineErrors(const std::weak_ptr<int>& still_alive) {
  if (!has_counters || !handler) return true;
  serial_icounter_struct now{};
  if (::ioctl(fd, TIOCGICOUNT, &now) != 0) return true;
  std::vector<int> codes;
  if (now.brk > counters.brk) codes.push_back(kCommErrorBreak);
  if (now.frame > counters.frame) codes.push_back(kCommErrorFrame);
  if (now.parity > counters.parity) codes.push_back(kCommErrorRxParity);
  if (now.overrun + now.buf_overrun > counters.overrun + counters.buf_overrun) {
    codes.push_back(kCommErrorOverrun);
  }
  counters = now;
  const unsigned long opened = generation;
  for (int code : codes) {
    auto call = handler;  // the handler may replace itself
    call(code);
    if (still_alive.expired() || generation != opened || !handler) return false;
  }
  return true;
}

std::size_t PosixSerialPort::Impl::bytesWaiting() {
  if (!usable()) return 0;
  int waiting = 0;
  if (::ioctl(fd, FIONREAD, &waiting) != 0) {
    if (errno == EIO) markHungUp();
    return 0;
  }
  if (waiting == 0 && hangUpSignalled()) markHungUp();
  return waiting > 0 ? static_cast<std::size_t>(waiting) : 0;
}

Bytes PosixSerialPort::Impl::readAll() {
  Bytes out;
  if (!usable()) return out;
  std::uint8_t buffer[4096];
  while (out.size() < kReadLimit) {
    const std::size_t want = std::min(sizeof buffer, kReadLimit - out.size());
    const ssize_t n = ::read(fd, buffer, want);
    if (n > 0) {
      out.insert(out.end(), buffer, buffer + n);
      continue;
    }
    if (n == 0) {
      if (hangUpSignalled()) markHungUp();
      break;
    }
    if (errno == EINTR) continue;
    if (errno == EIO || errno == ENXIO) markHungUp();
    break;  // EAGAIN: everything waiting has been taken
  }
  takenAll();
  return out;
}

bool PosixSerialPort::Impl::write(const Bytes& bytes) {
  if (fd < 0) return fail("port not open");
  if (hung_up) return fail("device hung up: " + device);
  const Millis deadline = MonotonicMillis() + kWriteWaitMs;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    const int error = n < 0 ? errno : EAGAIN;
    if (error == EINTR) continue;
    if (error == EIO || error == ENXIO) {
      markHungUp();
      return false;
    }
    if (error != EAGAIN) return fail("cannot write to " + device + ": " + ErrorText(error));
    // The output queue is full: wait for room, within the bound.
    const Millis left = deadline - MonotonicMillis();
    if (left <= 0) return fail("write to " + device + " timed out");
    pollfd p{fd, POLLOUT, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready > 0 && !(p.revents & POLLOUT) && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
      markHungUp();
      return false;
    }
  }
  return true;
}

bool PosixSerialPort::Impl::cts() {
  if (!usable()) return false;
  int status = 0;
  if (::ioctl(fd, TIOCMGET, &status) != 0) {
    if (NoModemLines(errno)) return true;
    if (errno == EIO) markHungUp();
    return false;
  }
  return (status & TIOCM_CTS) != 0;
}

PosixSerialPort::PosixSerialPort(EventLoop& loop) : impl_(std::make_unique<Impl>(loop)) {}
PosixSerialPort::~PosixSerialPort() {
  impl_->close();
}

bool PosixSerialPort::open(int port_number, int baud) {
  if (port_number < 1) {
    impl_->close();
    return impl_->fail("port number " + std::to_string(port_number) + " is not valid");
  }
  const PortLocation location = LocatePort(port_number);
  if (location.device.empty()) {
    impl_->close();
    return impl_->fail(location.entry + " names no device");
  }
  return impl_->openDevice(location.device, baud);
}

bool PosixSerialPort::openDevice(const std::string& device_path, int baud) {
  return impl_->openDevice(device_path, baud);
}

void PosixSerialPort::close() {
  impl_->close();
}
bool PosixSerialPort::isOpen() const {
  return impl_->fd >= 0;
}
std::string PosixSerialPort::lastError() const {
  return impl_->last_error;
}
std::size_t PosixSerialPort::bytesWaiting() {
  return impl_->bytesWaiting();
}
Bytes PosixSerialPort::readAll() {
  return impl_->readAll();
}
bool PosixSerialPort::write(const Bytes& bytes) {
  return impl_->write(bytes);
}

void PosixSerialPort::discardInput() {
  // Input only: flushing output would drop bytes the other side has not read yet.
  if (!impl_->usable()) return;
  ::tcflush(impl_->fd, TCIFLUSH);
  impl_->takenAll();
}

std::size_t PosixSerialPort::outputPending() {
  if (!impl_->usable()) return 0;
  int pending = 0;
  if (::ioctl(impl_->fd, TIOCOUTQ, &pending) != 0 || pending < 0) return 0;
  return static_cast<std::size_t>(pending);
}

void PosixSerialPort::setReceiveThreshold(int threshold) {
  impl_->threshold = threshold;
  impl_->updateWatch();
}

int PosixSerialPort::receiveThreshold() const {
  return impl_->threshold;
}
bool PosixSerialPort::cts() {
  return impl_->cts();
}

void PosixSerialPort::clearLineErrors() {
  if (impl_->usable() && impl_->has_counters) ::ioctl(impl_->fd, TIOCGICOUNT, &impl_->counters);
}

bool PosixSerialPort::hungUp() const {
  return impl_->hung_up;
}
NativeHandle PosixSerialPort::readinessHandle() const {
  return impl_->usable() ? impl_->fd : kNoHandle;
}

void PosixSerialPort::setEventHandler(std::function<void(int code)> handler) {
  impl_->handler = std::move(handler);
  impl_->updateWatch();
}

void PosixSerialPort::setHangUpHandler(std::function<void()> handler) {
  impl_->hang_up_handler = std::move(handler);
  impl_->updateWatch();
}

int PosixSerialPort::baud() const {
  return impl_->baud;
}

std::string PosixSerialPort::PortsFolder() {
  return UserPortsFolder();
}

std::string PosixSerialPort::DevicePathForPort(int port_number) {
  return LocatePort(port_number).device;
}

SerialPortFactory PosixSerialPortFactory() {
  return [](EventLoop& loop) -> std::unique_ptr<SerialPort> {
    return std::make_unique<PosixSerialPort>(loop);
  };
}

}  // namespace velka
