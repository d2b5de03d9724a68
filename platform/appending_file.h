#pragma once
// A file that stays open while lines are added to it, one write at a time (the data-download
// file of a job). Opening never blocks: a FIFO or a device in the file's place is refused.
#include <string>
#include <string_view>

#include "platform/native_handle.h"

namespace velka {

class AppendingFile {
 public:
  AppendingFile() = default;
  ~AppendingFile() { close(); }
  AppendingFile(const AppendingFile&) = delete;
  AppendingFile& operator=(const AppendingFile&) = delete;

  // Opens the file emptied (created when missing); false when it cannot be opened.
  bool openEmptied(const std::string& path);
  bool isOpen() const { return handle_ != kNoHandle; }
  // False when not all bytes could be written (a full disk); the file stays open.
  bool append(std::string_view bytes);
  void close();

 private:
  NativeHandle handle_ = kNoHandle;
};

}  // namespace velka
