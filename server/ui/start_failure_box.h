#pragma once
// The message boxes of the two start-up failures on a desktop (another server already runs,
// the control cannot be opened): critical icon, OK button, the server's title.
#include <QMessageBox>
#include <memory>
#include <string>

namespace velka::server::ui {

// message: single-byte text; detail: the reason for the operator, UTF-8, behind the box's
// details button (none when empty).
std::unique_ptr<QMessageBox> MakeStartFailureBox(const std::string& message,
                                                 const std::string& detail);

// Shows the box and returns when the operator has closed it.
void ShowStartFailureBox(const std::string& message, const std::string& detail);

}  // namespace velka::server::ui
