#pragma once
// The data-download file "TMVVelkaData.OUT": the data lines the register sends during a job,
// collected for the point-of-sale program.
//
// The file is emptied at the first data line of a job and closed when the job ends, so after
// a job that produced data it holds that job's lines and nothing else, each followed by CR LF.
// When the file cannot be opened (the folder is missing, another program holds it), that
// job's data lines are dropped and the file is tried again at the next job's first line; the
// job itself goes on and its result does not change.
#include <string>

#include "platform/appending_file.h"

namespace velka::server {

class DataDownload {
 public:
  explicit DataDownload(std::string path) : path_(std::move(path)) {}
  ~DataDownload() { Close(); }
  DataDownload(const DataDownload&) = delete;
  DataDownload& operator=(const DataDownload&) = delete;

  // Handler of the control's ReceiveDataEvent: writes one data line.
  void ReceiveDataEvent(const std::string& pString);
  // End of a job, and shutdown: closes the file when it is open.
  void Close();

  bool DataFileOpen() const { return file_.isOpen(); }
  const std::string& DataFilePath() const { return path_; }

 private:
  std::string path_;
  AppendingFile file_;
  bool failed_ = false;  // the file could not be opened during this job
};

}  // namespace velka::server
