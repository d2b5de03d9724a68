#pragma once
// What the fuzz targets share: a check that stops the run where an invariant fails, a reader
// that takes steering bytes off the front of an input, and a scratch folder for the run.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/serial_port.h"

namespace velka::fuzz {

// libFuzzer reports the trap as a crash, with the input that caused it.
inline void Require(bool condition) {
  if (!condition) __builtin_trap();
}

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  // The next byte, or 0 once the input is used up.
  std::uint8_t take() {
    if (size_ == 0) return 0;
    --size_;
    return *data_++;
  }
  // Up to n bytes up to the next `end` byte (dropped), as text.
  std::string takeField(std::size_t n, std::uint8_t end = '\n') {
    std::string field;
    while (size_ > 0 && field.size() < n) {
      const std::uint8_t byte = take();
      if (byte == end) break;
      field.push_back(static_cast<char>(byte));
    }
    return field;
  }
  Bytes rest() const { return Bytes(data_, data_ + size_); }
  std::string_view restText() const {
    return std::string_view(reinterpret_cast<const char*>(data_), size_);
  }
  std::size_t size() const { return size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// A folder of the run's own, in memory when the system has a memory file system; it goes
// when the run ends (a target keeps it in a function-local static).
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix) {
    const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string folder = base + "/" + prefix + "-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) __builtin_trap();
    path_ = folder;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace velka::fuzz
