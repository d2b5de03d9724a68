#pragma once
// A pipe that a test makes readable on demand, now or after a delay (from a thread of its
// own, as bytes from another process would come): the readiness source of the conformance
// suite for the loops that watch real descriptors.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/monotonic_clock.h"

namespace velka::testing {

class PipeSource {
 public:
  PipeSource() {
    if (::pipe2(fds_, O_NONBLOCK | O_CLOEXEC) != 0) ADD_FAILURE() << "pipe2 failed";
  }
  ~PipeSource() {
    if (writer_.joinable()) writer_.join();
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  PipeSource(const PipeSource&) = delete;
  PipeSource& operator=(const PipeSource&) = delete;

  int fd() const { return fds_[0]; }
  void makeReadable() {
    const char byte = 'x';
    if (::write(fds_[1], &byte, 1) != 1) ADD_FAILURE() << "pipe write failed";
  }
  void makeReadableAfter(Millis delay_ms) {
    writer_ = std::thread([this, delay_ms] {
      std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
      makeReadable();
    });
  }
  void drain() {
    char buffer[64];
    while (::read(fds_[0], buffer, sizeof buffer) > 0) {
    }
  }

 private:
  int fds_[2] = {-1, -1};
  std::thread writer_;
};

}  // namespace velka::testing
