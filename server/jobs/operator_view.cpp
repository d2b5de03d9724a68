#include "server/jobs/operator_view.h"

namespace velka::server {

const char* CaptionName(Caption caption) {
  switch (caption) {
    case Caption::mnuNascondi:
      return "mnuNascondi";
    case Caption::MNU_FILE_ESCI:
      return "MNU_FILE_ESCI";
    case Caption::MNU_FILE_INVIA:
      return "MNU_FILE_INVIA";
    case Caption::MNU_FILE_PERSONALIZZA:
      return "MNU_FILE_PERSONALIZZA";
    case Caption::Frame1:
      return "Frame1";
    case Caption::Frame2:
      return "Frame2";
    case Caption::lblTitCol0:
      return "lblTitCol(0)";
    case Caption::lblTitCol1:
      return "lblTitCol(1)";
    case Caption::lblTitCol2:
      return "lblTitCol(2)";
    case Caption::lblTitCol3:
      return "lblTitCol(3)";
  }
  return "?";
}

const char* TrayIconName(TrayIcon icon) {
  switch (icon) {
    case TrayIcon::Normal:
      return "normal";
    case TrayIcon::Error:
      return "error";
    case TrayIcon::Warning:
      return "warning";
  }
  return "?";
}

}  // namespace velka::server
