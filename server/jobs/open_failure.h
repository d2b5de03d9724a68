#pragma once
// Why the register could not be opened, for the operator: the detail line under message 551,
// which names the port's device and the cause in the operator's terms and in the language of
// the settings (messages 640 to 650): no such device, or a ports link to nothing (which link,
// and where it points); permission denied (the group to join); held by another program (its
// process, where it can be seen); no register answering (result 107, CTS not asserted).
//
// The control reports only its result code; the server asks the system about the device it
// knows from the port number (platform/serial_port_diagnosis.h), after the control has given
// the port up. Texts are UTF-8.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/serial_port_diagnosis.h"

namespace velka::server {

// The detail for TMVOpen's result open_result on the port of the settings (Port, as text).
std::string OpenFailureDetail(const std::string& port, std::int32_t open_result,
                              int language_offset);

// The detail for a diagnosis already made. open_result says what to tell when the device
// itself shows nothing wrong.
std::string DescribePortDiagnosis(const PortDiagnosis& diagnosis, std::int32_t open_result,
                                  int language_offset);

// A message of the table with "%1", "%2" ... replaced by the values, in one pass.
std::string FillIn(std::string_view utf8_text, std::initializer_list<std::string_view> values);

}  // namespace velka::server
