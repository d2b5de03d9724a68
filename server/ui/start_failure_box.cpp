// The start-up failure boxes.
#include "server/ui/start_failure_box.h"

#include "server/ui/main_window.h"
#include "server/ui/qt_text.h"

namespace velka::server::ui {

std::unique_ptr<QMessageBox> MakeStartFailureBox(const std::string& message,
                                                 const std::string& detail) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, kWindowTitle, ShownText(message),
                                           QMessageBox::Ok);
  box->setObjectName("StartFailure");
  if (!detail.empty()) box->setDetailedText(QString::fromStdString(detail));
  return box;
}

void ShowStartFailureBox(const std::string& message, const std::string& detail) {
  MakeStartFailureBox(message, detail)->exec();
}

}  // namespace velka::server::ui
