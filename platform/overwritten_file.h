#pragma once
// A small record rewritten in place, kept open between writes: for a value that changes with
// every frame or line (the control's next sequence digit, how far a job has gone) and whose
// loss to a power cut costs only its freshness.
//
// A write puts the whole record at the start of the file in one system call, with no rename,
// no truncation and no flush, so it costs a few microseconds where a replacing write costs a
// millisecond or more. A process killed at any moment leaves the last record whole; a power
// cut may leave an older record or a damaged one, so a reader checks what it reads and falls
// back on a durable copy. Records of one file should keep one length: a shorter record leaves
// the end of a longer one behind it.
#include <string>
#include <string_view>

#include "platform/native_handle.h"

namespace velka {

class OverwrittenFile {
 public:
  OverwrittenFile() = default;
  ~OverwrittenFile() { close(); }
  OverwrittenFile(const OverwrittenFile&) = delete;
  OverwrittenFile& operator=(const OverwrittenFile&) = delete;

  // Opens the file for writing, creating it when missing; a symbolic link or anything that
  // is not a regular file in its place is refused.
  bool open(const std::string& path);
  bool isOpen() const { return handle_ != kNoHandle; }
  const std::string& path() const { return path_; }
  // Writes the record at the start of the file; false when not all of it could be written.
  bool write(std::string_view record);
  void close();

 private:
  NativeHandle handle_ = kNoHandle;
  std::string path_;
};

}  // namespace velka
