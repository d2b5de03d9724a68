// The data-download file, opened at a job's first data line and closed at its end.
#include "server/jobs/data_download.h"

namespace velka::server {

void DataDownload::ReceiveDataEvent(const std::string& pString) {
  if (!file_.isOpen() && !failed_) failed_ = !file_.openEmptied(path_);
  // A full disk loses this line, not the job.
  if (file_.isOpen()) file_.append(pString + "\r\n");
}

void DataDownload::Close() {
  file_.close();
  failed_ = false;
}

}  // namespace velka::server
