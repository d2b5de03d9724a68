#pragma once
// TmvEcrVelka: the fiscal-printer control object of the register.
//
// Its methods keep the names, parameters and meaning of the fiscal-printer device class;
// clients reach them through the automation interface (control/automation), C++ tests
// and C++ hosts may call them directly. Every method returns a Long result code (see
// result_codes.h) and runs on the host's thread; waits for the register let the host's
// pending events run.
//
// Types: String = std::u16string, Long = std::int32_t, Boolean = bool, Currency = a signed
// 64-bit count of ten-thousandths, array of Long = std::vector<std::int32_t>.
//
// The implementation is spread over one file per area: life cycle (tmv_ecr_velka.cpp),
// reports.cpp, device_settings.cpp, queries.cpp in this folder, and the receipt methods in
// control/receipt/.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/core/control_state.h"
#include "control/core/trace_writer.h"
#include "control/link/link_limits.h"
#include "platform/local_time.h"
#include "platform/serial_port.h"

namespace velka {

class EventLoop;
class SettingsStore;
class PropertyStore;
class ControlEvents;
class RegisterLink;

using Currency = std::int64_t;  // ten-thousandths: 1.5 is 15000

// Opens the trace file at TMVOpen; null when it cannot be opened or written.
using TraceFileOpener = std::function<std::unique_ptr<TraceSink>()>;

// What the control is made of. Empty members take the defaults of a real machine.
struct ControlEnvironment {
  EventLoop* loop = nullptr;                      // null: a loop of the control's own, the system's
  SerialPortFactory makePort;                     // empty: the system's serial ports
  std::shared_ptr<SettingsStore> settings;        // null: the per-user INI settings store
  WallClock clock;                                // empty: the computer's clock
  TraceFileOpener openTraceFile;                  // empty: the trace file of the user folder
  bool designMode = false;                        // the host shows ImgVelka only in design mode
  Millis operatorWaitMs = link::kClearingWaitMs;  // cover open, paper out: see ControlSite
};

class TmvEcrVelka {
 public:
  // Creation: reads the settings "PackID" and "TraceLOG" and writes the missing defaults.
  // "PackID" is written again, unflushed, each time a frame takes a sequence digit, so that a
  // control started after a crash does not repeat the digit of the register's last frame (a
  // register takes a repeated digit for a retransmission and does not carry it out).
  explicit TmvEcrVelka(ControlEnvironment environment = {});
  // Termination: writes "PackID" back and closes an open trace file.
  ~TmvEcrVelka();
  TmvEcrVelka(const TmvEcrVelka&) = delete;
  TmvEcrVelka& operator=(const TmvEcrVelka&) = delete;

  // Host property handling (the host's property store holds "AsyncMode").
  void InitNew();
  void LoadProperties(PropertyStore& store);
  void SaveProperties(PropertyStore& store);
  bool ImgVelkaVisible() const { return img_velka_visible_; }
  // Whenever the host resizes the control, it takes the size of ImgVelka.
  void Resize(int& width, int& height) const;

  // Events go to this sink (null: nowhere). Not owned.
  void setEventSink(ControlEvents* sink);

  // Life cycle.
  std::int32_t TMVOpen(std::u16string& DeviceName);
  std::int32_t TMVClose();
  std::int32_t ClearError();

  // Read-only properties.
  std::int32_t ResultCode() const { return state_.ResultCode; }
  std::int32_t ResultCodeExtended() const { return state_.ResultCodeExtended; }
  std::int32_t State() const { return state_.State; }
  std::int32_t PrinterState() const { return state_.PrinterState; }
  std::int32_t OutputID() const { return state_.OutputID; }
  std::int32_t ErrorOutID() const { return state_.ErrorOutID; }
  std::u16string ControlObjectDescription() const;
  std::int32_t ControlObjectVersion() const { return 1001001; }
  std::u16string ServiceObjectDescription() const;
  std::u16string DeviceDescription() const { return u"TMV - VELKA PRINTER"; }
  std::u16string DeviceName() const { return u"TMV - VELKA PRINTER"; }
  bool CapIndependentHeader() const { return false; }
  bool CapHasVatTable() const { return true; }
  bool CapAmountNotPaid() const { return true; }
  bool CapAmountAdjustment() const { return true; }
  bool CapPercentAdjustment() const { return true; }
  bool CapAdditionalLines() const { return true; }
  bool CapNonFiscalMode() const { return true; }
  bool NumHeaderLines() const { return true; }  // a Boolean, not a line count

  // Read/write properties: writing stores the value and sets ResultCode to 0.
  bool AsyncMode() const { return state_.AsyncMode; }
  void setAsyncMode(bool value);
  bool TMVHighSpeed() const { return state_.TMVHighSpeed; }
  void setTMVHighSpeed(bool value);

  // Reports and device settings.
  std::int32_t PrintXReport();
  std::int32_t PrintZReport();
  std::int32_t PrintReport(std::int32_t& ReportType, std::u16string& StartNum,
                           std::u16string& EndNum);
  std::int32_t PrintPeriodicTotalsReport(std::u16string& Date1, std::u16string& Date2);
  std::int32_t SetDate(std::u16string& Data);
  std::int32_t SetHeaderLine(std::int32_t& LineNumber, std::u16string& Test, bool& DoubleWidth);
  std::int32_t SetVatValue(std::int32_t& VatID, std::u16string& VatValue);
  std::int32_t SetVatTable();

  // Queries and direct commands.
  std::int32_t GetDate(std::u16string& DateTime);
  std::int32_t GetData(std::int32_t& DataItem, std::vector<std::int32_t>& OptArgs,
                       std::u16string& Data);
  std::int32_t DirectIO(std::int32_t Command, std::int32_t& pData, std::u16string& pString);
  std::int32_t DirectIO2(std::int32_t Command, std::int32_t& pData, std::u16string& pString,
                         std::u16string& pOString);

  // Fiscal receipt.
  std::int32_t BeginFiscalReceipt(bool& PrintHeader);
  std::int32_t EndFiscalReceipt(bool& PrintHeader);
  std::int32_t PrintRecItem(std::u16string& Description, Currency& Price, std::int32_t& Quantity,
                            std::int32_t& VatInfo, std::int32_t& UnitPrice,
                            std::u16string& UnitName);
  std::int32_t PrintRecItemAdjustment(std::int32_t& AdjustmentType, std::u16string& Description,
                                      Currency& Amount, std::int32_t& VatInfo);
  std::int32_t PrintRecSubtotalAdjustment(std::int32_t& AdjustmentType, std::u16string& Description,
                                          Currency& Amount);
  std::int32_t PrintRecMessage(std::u16string& Message);
  std::int32_t PrintRecTotal(Currency& Total, Currency& Payment, std::u16string& Description);
  std::int32_t PrintRecVoid(std::u16string& Description);
  std::int32_t PrintRecSubtotal(Currency& Amount);
  std::int32_t PrintRecRefund(std::u16string& Description, Currency& Amount, std::int32_t& VatInfo);
  std::int32_t PrintRecNotPaid(std::u16string& Description, Currency& Amount);
  std::int32_t PrintRecVoidItem(std::u16string& Description, Currency& Amount,
                                std::int32_t& Quantity, std::int32_t& AdjustmentType,
                                Currency& Adjustment, std::int32_t& VatInfo);

  // Non-fiscal printing.
  std::int32_t BeginNonFiscal();
  std::int32_t PrintNormal(std::int32_t& Station, std::u16string Data);
  std::int32_t EndNonFiscal();

  // For the tests and the automation layer: the members, the link, the port.
  ControlState& state() { return state_; }
  const ControlState& state() const { return state_; }
  RegisterLink& link() { return *link_; }
  SerialPort& port() { return *port_; }
  EventLoop& loop() { return *loop_; }
  TraceWriter& trace() { return trace_; }

 private:
  void ReadPersistentSettings();
  bool OpenTrace();
  void CloseTrace();
  // Sends one command string through the link's SendCommand.
  std::int32_t Send(const std::string& command, bool ForceSync);
  // The result of a check that looked at the port: a 107 met because the port has gone is
  // told of (StatusUpdateEvent) before it is returned.
  std::int32_t PortChecked(std::int32_t code);
  // Reports an argument or state error of a receipt method: queued as an error entry in
  // asynchronous mode (unless the state was wrong), else stored in ResultCode.
  std::int32_t ReportReceiptError(std::int32_t code);

  ControlEnvironment env_;
  std::unique_ptr<EventLoop> own_loop_;
  EventLoop* loop_ = nullptr;
  std::shared_ptr<SettingsStore> settings_;
  ControlState state_;
  TraceWriter trace_;
  std::unique_ptr<TraceSink> trace_file_;
  std::unique_ptr<SerialPort> port_;
  std::unique_ptr<RegisterLink> link_;
  bool img_velka_visible_ = false;
};

}  // namespace velka
