#pragma once
// The dispatch identifiers of the control's interface, named once: every member of
// _TmvEcrVelka and every event of __TmvEcrVelka. The control's member table and every host
// that calls the control by identifier (the job server) use these names; the numbers are the
// ones the interface's clients were built against and never change. Header-only.
#include <cstdint>

namespace velka {

using DispId = std::int32_t;
inline constexpr DispId kDispIdUnknown = -1;

// Methods: 0x60030000 + k; properties: 0x68030000 + k (get and put share one).
constexpr DispId MethodId(int k) {
  return 0x60030000 + k;
}
constexpr DispId PropertyId(int k) {
  return 0x68030000 + k;
}

// The members, in the order of the interface's identifiers.
namespace dispid {
inline constexpr DispId ErrorOutID = PropertyId(0);
inline constexpr DispId CapNonFiscalMode = PropertyId(1);
inline constexpr DispId NumHeaderLines = PropertyId(2);
inline constexpr DispId OutputID = PropertyId(3);
inline constexpr DispId TMVHighSpeed = PropertyId(4);
inline constexpr DispId AsyncMode = PropertyId(5);
inline constexpr DispId ServiceObjectDescription = PropertyId(6);
inline constexpr DispId DeviceName = PropertyId(7);
inline constexpr DispId DeviceDescription = PropertyId(8);
inline constexpr DispId ResultCodeExtended = PropertyId(9);
inline constexpr DispId CapAdditionalLines = PropertyId(10);
inline constexpr DispId CapPercentAdjustment = PropertyId(11);
inline constexpr DispId CapAmountAdjustment = PropertyId(12);
inline constexpr DispId CapAmountNotPaid = PropertyId(13);
inline constexpr DispId CapHasVatTable = PropertyId(14);
inline constexpr DispId CapIndependentHeader = PropertyId(15);
inline constexpr DispId ControlObjectVersion = PropertyId(16);
inline constexpr DispId ControlObjectDescription = PropertyId(17);
inline constexpr DispId PrinterState = PropertyId(18);
inline constexpr DispId State = PropertyId(19);
inline constexpr DispId ResultCode = PropertyId(20);

inline constexpr DispId TMVOpen = MethodId(21);
inline constexpr DispId TMVClose = MethodId(22);
inline constexpr DispId SetDate = MethodId(31);
inline constexpr DispId BeginFiscalReceipt = MethodId(38);
inline constexpr DispId BeginNonFiscal = MethodId(39);
inline constexpr DispId EndFiscalReceipt = MethodId(40);
inline constexpr DispId EndNonFiscal = MethodId(41);
inline constexpr DispId PrintRecItem = MethodId(42);
inline constexpr DispId PrintRecItemAdjustment = MethodId(43);
inline constexpr DispId PrintRecSubtotalAdjustment = MethodId(44);
inline constexpr DispId PrintRecMessage = MethodId(45);
inline constexpr DispId PrintRecTotal = MethodId(46);
inline constexpr DispId PrintRecVoid = MethodId(47);
inline constexpr DispId PrintRecSubtotal = MethodId(48);
inline constexpr DispId PrintRecRefund = MethodId(49);
inline constexpr DispId PrintRecNotPaid = MethodId(50);
inline constexpr DispId PrintRecVoidItem = MethodId(51);
inline constexpr DispId DirectIO = MethodId(52);
inline constexpr DispId DirectIO2 = MethodId(53);
inline constexpr DispId PrintXReport = MethodId(54);
inline constexpr DispId PrintZReport = MethodId(55);
inline constexpr DispId SetHeaderLine = MethodId(56);
inline constexpr DispId ClearError = MethodId(57);
inline constexpr DispId SetVatTable = MethodId(58);
inline constexpr DispId SetVatValue = MethodId(59);
inline constexpr DispId PrintNormal = MethodId(60);
inline constexpr DispId GetDate = MethodId(61);
inline constexpr DispId GetData = MethodId(62);
inline constexpr DispId PrintPeriodicTotalsReport = MethodId(63);
inline constexpr DispId PrintReport = MethodId(64);
}  // namespace dispid

// The events, in event order.
namespace event_id {
inline constexpr DispId DataEvent = 1;
inline constexpr DispId StatusUpdateEvent = 2;
inline constexpr DispId ErrorEvent = 3;
inline constexpr DispId OutputCompleteEvent = 4;
inline constexpr DispId DirectIOEvent = 5;
inline constexpr DispId ReceiveDataEvent = 6;
}  // namespace event_id

}  // namespace velka
