#pragma once
// Disk space taken for a file before the work whose outcome it will hold, so that the outcome
// can still be written when the disk has filled up meanwhile (a job's result file).
//
// reserve() makes a temporary file beside the file to come ("<beside>.<process>_<n>.tmp", so
// it is never taken for a command file) and allocates the space on disk; commit() writes the
// content into it and renames it into place, never seen half-done. A reservation outlives a
// crashed process: the next run takes it over by its name (adopt). An object that goes without
// committing gives the space back.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/native_handle.h"

namespace velka {

class ReservedFile {
 public:
  ReservedFile() = default;
  ~ReservedFile() { release(); }
  ReservedFile(const ReservedFile&) = delete;
  ReservedFile& operator=(const ReservedFile&) = delete;

  // False, with nothing left behind, when the folder cannot be written or the disk has not
  // that much space. A reservation held already is given back first.
  bool reserve(const std::string& beside, std::int64_t bytes);
  // Takes over the reservation a crashed run left: false when it is gone or is not a regular
  // file of its own (a link planted there is never written through).
  bool adopt(const std::string& temporary);
  bool held() const { return handle_ != kNoHandle; }
  // The reservation's file name, to find it again after a crash; empty when none is held.
  const std::string& temporaryPath() const { return temporary_; }

  // Writes the content and renames the reservation to path; the reservation is used up either
  // way. durable: on disk before it returns (file and folder flushed).
  bool commit(const std::string& path, std::string_view content, bool durable);
  // Removes the reservation's file.
  void release();

 private:
  NativeHandle handle_ = kNoHandle;
  std::string temporary_;
};

}  // namespace velka
