#include "server/jobs/status_display.h"

#include "automation/result_codes.h"
#include "platform/single_byte_text.h"
#include "server/jobs/grouped_number.h"
#include "server/resources/message_table.h"

namespace velka::server {

const std::string& StatusDisplay::Text(int n) const {
  return MessageText(offset_, n);
}

void StatusDisplay::SetStatus(int n) {
  status_text_ = Text(n);
  view_.setStatusText(status_text_);
}

void StatusDisplay::ApplyCaptions() {
  view_.setCaption(Caption::mnuNascondi, Text(msg::Hide));
  view_.setCaption(Caption::MNU_FILE_ESCI, Text(msg::Exit));
  view_.setCaption(Caption::MNU_FILE_INVIA, Text(msg::Send));
  view_.setCaption(Caption::MNU_FILE_PERSONALIZZA, Text(msg::Configure));
  view_.setCaption(Caption::Frame2, Text(msg::LastTicket));
  view_.setCaption(Caption::lblTitCol0, Text(msg::ErrorTitle));
  view_.setCaption(Caption::lblTitCol2, Text(msg::NumberTitle));
  view_.setCaption(Caption::lblTitCol3, Text(msg::TimeTitle));
  view_.setCaption(Caption::lblTitCol1, Text(msg::StateTitle));
}

void StatusDisplay::ShowRegisterFrame(const std::string& port) {
  view_.setCaption(Caption::Frame1, Text(msg::RegisterOnPort) + "COM" + port);
  SetStatus(msg::Idle);
}

void StatusDisplay::ShowTray() {
  view_.setTrayIcon(TrayIcon::Normal);
  view_.setTrayToolTip(kTrayToolTip);
  view_.showTrayIcon();
}

void StatusDisplay::HideTray() {
  view_.hideTrayIcon();
}

void StatusDisplay::ShowNotAnswering() {
  SetStatus(msg::NotAnswering);
  view_.setTrayIcon(TrayIcon::Error);
  view_.setTrayToolTip(status_text_);
}

void StatusDisplay::StatusUpdateEvent(std::int32_t Status) {
  switch (Status) {
    case status::CoverOpen:
      SetStatus(msg::CoverOpen);
      view_.setTrayIcon(TrayIcon::Error);
      view_.bringToFront();
      break;
    case status::CoverClosed:
      SetStatus(msg::CoverClosed);
      view_.setTrayIcon(TrayIcon::Normal);
      break;
    case status::PaperOut:
      SetStatus(msg::PaperOut);
      view_.setTrayIcon(TrayIcon::Error);
      view_.bringToFront();
      break;
    case status::PaperReplaced:
      SetStatus(msg::PaperReplaced);
      view_.setTrayIcon(TrayIcon::Normal);
      break;
    case status::Busy:
      SetStatus(msg::Busy);
      view_.setTrayIcon(TrayIcon::Warning);
      break;
    case status::Idle:
      SetStatus(msg::Idle);
      view_.setTrayIcon(TrayIcon::Normal);
      view_.setTrayToolTip(kTrayToolTip);
      return;
    default:
      break;
  }
  view_.setTrayToolTip(status_text_);
}

void StatusDisplay::DirectIOEvent() {
  SetStatus(msg::Idle);
  view_.setTrayIcon(TrayIcon::Normal);
  view_.setTrayToolTip(kTrayToolTip);
}

void StatusDisplay::ShowJobFailure(const std::string& message) {
  error_text_ = message;
  view_.setErrorText(error_text_);
  view_.setTrayIcon(TrayIcon::Error);
  view_.setTrayToolTip(error_text_);
}

void StatusDisplay::ShowFileNotWritten(const std::string& path) {
  error_text_ = Text(msg::CannotWriteFile) + Utf8ToSingleByte(path);
  view_.setErrorText(error_text_);
}

void StatusDisplay::ShowReceipt(const std::string& time_text, std::int32_t number) {
  error_text_.clear();
  view_.setErrorText(error_text_);
  view_.setLastReceiptTime(time_text);
  view_.setLastReceiptNumber(GroupedNumber(number, GroupingFor(offset_)));
}

}  // namespace velka::server
