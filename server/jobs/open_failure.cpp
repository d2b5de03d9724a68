// The detail line of a failed open, from the control's result and the system's diagnosis.
#include "server/jobs/open_failure.h"

#include <vector>

#include "automation/result_codes.h"
#include "platform/numeric_text.h"
#include "platform/single_byte_text.h"
#include "server/resources/message_table.h"

namespace velka::server {

namespace {

// The port numbers TMVOpen takes: the leading number of the text, rounded, as an Integer.
constexpr double kFirstPort = 1;
constexpr double kLastPort = 32767;

std::string Text(int language_offset, int id) {
  return SingleByteToUtf8(MessageText(language_offset, id));
}

// "a, b, c".
std::string Listed(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

// "1234 (velka-sim), 1240".
std::string Holders(const std::vector<DeviceHolder>& holders) {
  std::vector<std::string> items;
  for (const DeviceHolder& holder : holders) {
    items.push_back(std::to_string(holder.pid) +
                    (holder.name.empty() ? "" : " (" + holder.name + ")"));
  }
  return Listed(items);
}

}  // namespace

std::string DescribePortDiagnosis(const PortDiagnosis& d, std::int32_t open_result, int offset) {
  const std::string port = std::to_string(d.port_number);
  const std::string& device = d.location.resolved;
  switch (d.problem) {
    case PortProblem::InvalidNumber:
      return FillIn(Text(offset, msg::PortNotValid), {port});
    case PortProblem::NoDevice:
      return FillIn(Text(offset, msg::NoSuchDevice), {port, device, Listed(d.folders)});
    case PortProblem::LinkToNothing:
      return FillIn(Text(offset, msg::LinkToNothing), {port, d.location.entry, d.location.named});
    case PortProblem::EntryNamesNothing:
      return FillIn(Text(offset, msg::EntryNamesNothing), {port, d.location.entry});
    case PortProblem::PermissionDenied:
      if (!d.group.empty()) {
        return FillIn(Text(offset, msg::DeniedJoinGroup), {port, device, d.user, d.group});
      }
      return FillIn(Text(offset, msg::DeniedOwnerOnly), {port, device, d.user, d.owner});
    case PortProblem::HeldByAnother:
      if (!d.holders.empty()) {
        return FillIn(Text(offset, msg::HeldByProcess), {port, device, Holders(d.holders)});
      }
      return FillIn(Text(offset, msg::HeldByAnother), {port, device});
    case PortProblem::NotSerial:
      return FillIn(Text(offset, msg::NotSerialPort), {port, device});
    case PortProblem::OtherError:
      return FillIn(Text(offset, msg::CannotOpenDevice), {port, device, d.error});
    case PortProblem::None:
      break;
  }
  if (open_result == result::NoRegister) {
    return FillIn(Text(offset, msg::NoRegisterAnswers), {port, device});
  }
  return FillIn(Text(offset, msg::CannotOpenDevice),
                {port, device, "TMVOpen " + std::to_string(open_result)});
}

std::string FillIn(std::string_view text, std::initializer_list<std::string_view> values) {
  std::string filled;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    const std::size_t index = static_cast<std::size_t>(next - '1');
    if (text[i] == '%' && next >= '1' && next <= '9' && index < values.size()) {
      filled += values.begin()[index];
      ++i;
    } else {
      filled += text[i];
    }
  }
  return filled;
}

std::string OpenFailureDetail(const std::string& port, std::int32_t open_result,
                              int language_offset) {
  const double number = RoundHalfEven(Val(port));
  if (number < kFirstPort || number > kLastPort) {
    return FillIn(Text(language_offset, msg::PortNotValid), {port});
  }
  const int port_number = static_cast<int>(number);
  PortDiagnosis diagnosis;
  if (open_result == result::NoRegister) {
    // The control holds the device open: nothing to diagnose, only where it is.
    diagnosis.port_number = port_number;
    diagnosis.location = LocatePort(port_number);
  } else {
    diagnosis = DiagnoseSerialPort(port_number);
  }
  return DescribePortDiagnosis(diagnosis, open_result, language_offset);
}

}  // namespace velka::server
