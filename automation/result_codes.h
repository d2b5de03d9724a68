#pragma once
// The control's result codes, named once. The numbers are part of the interface: clients,
// the job server's result files and its message table use them as they stand.
#include <cstdint>

namespace velka {

namespace result {
inline constexpr std::int32_t Success = 0;
inline constexpr std::int32_t DeviceNotOpen = 101;
inline constexpr std::int32_t NotAllowed = 106;  // not allowed now, or argument out of range
inline constexpr std::int32_t NoRegister = 107;  // CTS not asserted
inline constexpr std::int32_t AnswerRefused = 111;
inline constexpr std::int32_t Timeout = 112;
inline constexpr std::int32_t LinkBusy = 113;
inline constexpr std::int32_t Extended = 114;  // see ResultCodeExtended
inline constexpr std::int32_t OpenFailed = 115;
// The job server's own: the register may or may not have carried out the line (a crash came
// in the middle of it, or the register still holds it for the operator), and the register's
// status cannot tell which. The application looks at the register before it goes on.
inline constexpr std::int32_t OutcomeUnknown = 120;
// Between answer reception and its callers only: a further answer follows.
inline constexpr std::int32_t FurtherAnswer = 150;
}  // namespace result

namespace extended {
inline constexpr std::int32_t CoverOpen = 201;   // condition "C"
inline constexpr std::int32_t Error105 = 202;    // register error number 105
inline constexpr std::int32_t PaperOut = 203;    // condition "P"
inline constexpr std::int32_t WrongState = 204;  // PrinterState does not allow the call
inline constexpr std::int32_t BadQuantity = 205;
inline constexpr std::int32_t BadAmount = 206;
inline constexpr std::int32_t BadDescription = 207;
inline constexpr std::int32_t BadPrice = 210;
inline constexpr std::int32_t BadDateTime = 211;
inline constexpr std::int32_t BadReportRange = 106;
}  // namespace extended

// Values of StatusUpdateEvent.
namespace status {
inline constexpr std::int32_t CoverOpen = 11;
inline constexpr std::int32_t CoverClosed = 12;
inline constexpr std::int32_t Error105 = 21;
inline constexpr std::int32_t Error105Cleared = 23;
inline constexpr std::int32_t PaperOut = 24;
inline constexpr std::int32_t PaperReplaced = 26;
inline constexpr std::int32_t Busy = 30;
inline constexpr std::int32_t Idle = 1001;  // condition cleared, or the queue has drained
// The port has gone: the device hung up (unplugged, switched off, its other end closed). The
// port stays dead until the host closes the control and opens it again.
inline constexpr std::int32_t PortGone = 2004;
}  // namespace status

// Values of PrinterState.
namespace printer_state {
inline constexpr std::int32_t Idle = 1;
inline constexpr std::int32_t FiscalReceipt = 2;
inline constexpr std::int32_t PaymentIncomplete = 3;
inline constexpr std::int32_t ReceiptEnding = 4;
inline constexpr std::int32_t NonFiscal = 9;
}  // namespace printer_state

// Values of State.
namespace device_state {
inline constexpr std::int32_t Closed = 1;
inline constexpr std::int32_t Open = 2;
}  // namespace device_state

// The host clears an error by leaving this value in pErrorResponse.
inline constexpr std::int32_t kErrorResponseClear = 12;

}  // namespace velka
