#pragma once
// The register's condition, the last error and the last receipt as the main window and the
// tray icon show them, and how the control's status and direct-command events change them.
//
// StatusDisplay keeps the texts it has shown (lblStato, lblErrore) because the tray tooltip
// copies the status text and the job results read the error text back.
#include <cstdint>
#include <string>

#include "automation/result_codes.h"
#include "server/jobs/operator_view.h"

namespace velka::server {

inline constexpr char kTrayToolTip[] = "Velka Server - TMV S.P.A.";

class StatusDisplay {
 public:
  explicit StatusDisplay(OperatorView& view) : view_(view) {}

  void setLanguageOffset(int offset) { offset_ = offset; }
  int languageOffset() const { return offset_; }

  // The menu, frame and column captions in the current language.
  void ApplyCaptions();
  // Frame1: "Registratore di cassa VELKA su COM1"; lblStato: the idle text.
  void ShowRegisterFrame(const std::string& port);
  // The tray icon with the normal picture and tooltip, shown.
  void ShowTray();
  void HideTray();

  // The register's link has gone (its port hung up): lblStato "La stampante non risponde", the
  // error icon with that text as tooltip. ShowReady: it is back, the idle text.
  void ShowNotAnswering();
  void ShowReady() { StatusUpdateEvent(status::Idle); }

  // Handlers of the control's events.
  void StatusUpdateEvent(std::int32_t Status);
  // Steps 1 and 2 of the handler (idle text, normal tray icon); the dump is the job's.
  void DirectIOEvent();

  // A failed job: lblErrore, the error icon with lblErrore as tooltip, window to the front.
  void ShowJobFailure(const std::string& message);
  // Shows the main window and keeps it on top.
  void BringToFront() { view_.bringToFront(); }
  // lblErrore: a file the server could not write (the settings file), by its path.
  void ShowFileNotWritten(const std::string& path);
  // A successful receipt: lblErrore emptied, lblOra and lblNumero.
  void ShowReceipt(const std::string& time_text, std::int32_t number);

  const std::string& statusText() const { return status_text_; }
  const std::string& errorText() const { return error_text_; }

 private:
  const std::string& Text(int n) const;
  void SetStatus(int n);

  OperatorView& view_;
  int offset_ = 0;
  std::string status_text_;
  std::string error_text_;
};

}  // namespace velka::server
