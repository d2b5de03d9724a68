#include "control/automation/member_table.h"

#include <utility>

#include "automation/dispatch_ids.h"
#include "automation/identity.h"
#include "control/device/tmv_ecr_velka.h"

namespace velka {

namespace {

constexpr VarType L = VarType::Long;
constexpr VarType S = VarType::String;
constexpr VarType Cy = VarType::Currency;
constexpr VarType B = VarType::Boolean;
constexpr VarType LongArray = VarType::LongArray;

// One parameter of a row.
struct Param {
  ParamInfo info;
  Param optional(Variant default_value) && {
    info.optional = true;
    info.default_value = std::move(default_value);
    return std::move(*this);
  }
  Param writtenBack() && {
    info.written_back = true;
    return std::move(*this);
  }
};

Param ByRef(std::u16string name, VarType type) {
  return Param{ParamInfo{std::move(name), type, true, false, Variant(), false}};
}
Param ByVal(std::u16string name, VarType type) {
  return Param{ParamInfo{std::move(name), type, false, false, Variant(), false}};
}

Variant DefaultLong(std::int32_t v) {
  return Variant::FromLong(v);
}
Variant DefaultCurrency(std::int64_t v) {
  return Variant::FromCurrency(v);
}
Variant DefaultString(std::u16string v) {
  return Variant::FromString(std::move(v));
}

using MethodCall = std::function<std::int32_t(TmvEcrVelka&, Arguments&)>;

// Every method returns the Long result code of the call.
MemberRow Method(DispId id, std::u16string name, std::vector<Param> params, MethodCall call) {
  MemberRow row;
  row.info.name = std::move(name);
  row.info.id = id;
  row.info.kind = MemberKind::Method;
  for (Param& p : params) row.info.params.push_back(std::move(p.info));
  row.info.result = L;
  row.call = [call = std::move(call)](TmvEcrVelka& c, Arguments& a) {
    return Variant::FromLong(call(c, a));
  };
  return row;
}

MemberRow Getter(DispId id, std::u16string name, VarType type,
                 std::function<Variant(const TmvEcrVelka&)> get) {
  MemberRow row;
  row.info.name = std::move(name);
  row.info.id = id;
  row.info.kind = MemberKind::PropertyGet;
  row.info.result = type;
  row.call = [get = std::move(get)](TmvEcrVelka& c, Arguments&) { return get(c); };
  return row;
}

MemberRow GetLong(DispId id, std::u16string name, std::int32_t (TmvEcrVelka::*get)() const) {
  return Getter(id, std::move(name), L,
                [get](const TmvEcrVelka& c) { return Variant::FromLong((c.*get)()); });
}
MemberRow GetString(DispId id, std::u16string name, std::u16string (TmvEcrVelka::*get)() const) {
  return Getter(id, std::move(name), S,
                [get](const TmvEcrVelka& c) { return Variant::FromString((c.*get)()); });
}
MemberRow GetBoolean(DispId id, std::u16string name, bool (TmvEcrVelka::*get)() const) {
  return Getter(id, std::move(name), B,
                [get](const TmvEcrVelka& c) { return Variant::FromBoolean((c.*get)()); });
}

// The put entry takes the new value by value.
MemberRow PutBoolean(DispId id, std::u16string name, void (TmvEcrVelka::*put)(bool)) {
  MemberRow row;
  row.info.name = std::move(name);
  row.info.id = id;
  row.info.kind = MemberKind::PropertyPut;
  row.info.params.push_back(ByVal(u"NewValue", B).info);
  row.call = [put](TmvEcrVelka& c, Arguments& a) {
    (c.*put)(a.Boolean(0));
    return Variant();
  };
  return row;
}

std::vector<MemberRow> BuildMemberTable() {
  using C = TmvEcrVelka;
  using A = Arguments;
  return {
      Method(dispid::TMVOpen, u"TMVOpen", {ByRef(u"DeviceName", S)},
             [](C& c, A& a) { return c.TMVOpen(a.String(0)); }),
      Method(dispid::TMVClose, u"TMVClose", {}, [](C& c, A&) { return c.TMVClose(); }),
      GetLong(dispid::ResultCode, u"ResultCode", &C::ResultCode),
      GetLong(dispid::State, u"State", &C::State),
      GetLong(dispid::PrinterState, u"PrinterState", &C::PrinterState),
      GetString(dispid::ControlObjectDescription, u"ControlObjectDescription",
                &C::ControlObjectDescription),
      GetLong(dispid::ControlObjectVersion, u"ControlObjectVersion", &C::ControlObjectVersion),
      GetBoolean(dispid::CapIndependentHeader, u"CapIndependentHeader", &C::CapIndependentHeader),
      GetBoolean(dispid::CapHasVatTable, u"CapHasVatTable", &C::CapHasVatTable),
      GetBoolean(dispid::CapAmountNotPaid, u"CapAmountNotPaid", &C::CapAmountNotPaid),
      GetBoolean(dispid::CapAmountAdjustment, u"CapAmountAdjustment", &C::CapAmountAdjustment),
      GetBoolean(dispid::CapPercentAdjustment, u"CapPercentAdjustment", &C::CapPercentAdjustment),
      GetBoolean(dispid::CapAdditionalLines, u"CapAdditionalLines", &C::CapAdditionalLines),
      Method(dispid::SetDate, u"SetDate", {ByRef(u"Data", S)},
             [](C& c, A& a) { return c.SetDate(a.String(0)); }),
      GetLong(dispid::ResultCodeExtended, u"ResultCodeExtended", &C::ResultCodeExtended),
      Method(dispid::BeginFiscalReceipt, u"BeginFiscalReceipt", {ByRef(u"PrintHeader", B)},
             [](C& c, A& a) { return c.BeginFiscalReceipt(a.Boolean(0)); }),
      Method(dispid::BeginNonFiscal, u"BeginNonFiscal", {},
             [](C& c, A&) { return c.BeginNonFiscal(); }),
      Method(dispid::EndFiscalReceipt, u"EndFiscalReceipt", {ByRef(u"PrintHeader", B)},
             [](C& c, A& a) { return c.EndFiscalReceipt(a.Boolean(0)); }),
      Method(dispid::EndNonFiscal, u"EndNonFiscal", {}, [](C& c, A&) { return c.EndNonFiscal(); }),
      Method(dispid::PrintRecItem, u"PrintRecItem",
             {ByRef(u"Description", S), ByRef(u"Price", Cy),
              ByRef(u"Quantity", L).optional(DefaultLong(1)).writtenBack(),
              ByRef(u"VatInfo", L).optional(DefaultLong(0)),
              ByRef(u"UnitPrice", L).optional(DefaultLong(0)),
              ByRef(u"UnitName", S).optional(DefaultString(u""))},
             [](C& c, A& a) {
               return c.PrintRecItem(a.String(0), a.Currency(1), a.Long(2), a.Long(3), a.Long(4),
                                     a.String(5));
             }),
      Method(dispid::PrintRecItemAdjustment, u"PrintRecItemAdjustment",
             {ByRef(u"AdjustmentType", L), ByRef(u"Description", S), ByRef(u"Amount", Cy),
              ByRef(u"VatInfo", L).optional(DefaultLong(0))},
             [](C& c, A& a) {
               return c.PrintRecItemAdjustment(a.Long(0), a.String(1), a.Currency(2), a.Long(3));
             }),
      Method(dispid::PrintRecSubtotalAdjustment, u"PrintRecSubtotalAdjustment",
             {ByRef(u"AdjustmentType", L), ByRef(u"Description", S), ByRef(u"Amount", Cy)},
             [](C& c, A& a) {
               return c.PrintRecSubtotalAdjustment(a.Long(0), a.String(1), a.Currency(2));
             }),
      Method(dispid::PrintRecMessage, u"PrintRecMessage", {ByRef(u"Message", S)},
             [](C& c, A& a) { return c.PrintRecMessage(a.String(0)); }),
      Method(dispid::PrintRecTotal, u"PrintRecTotal",
             {ByRef(u"Total", Cy), ByRef(u"Payment", Cy), ByRef(u"Description", S)},
             [](C& c, A& a) { return c.PrintRecTotal(a.Currency(0), a.Currency(1), a.String(2)); }),
      Method(dispid::PrintRecVoid, u"PrintRecVoid",
             {ByRef(u"Description", S).optional(DefaultString(u""))},
             [](C& c, A& a) { return c.PrintRecVoid(a.String(0)); }),
      Method(dispid::PrintRecSubtotal, u"PrintRecSubtotal",
             {ByRef(u"Amount", Cy).optional(DefaultCurrency(0))},
             [](C& c, A& a) { return c.PrintRecSubtotal(a.Currency(0)); }),
      Method(dispid::PrintRecRefund, u"PrintRecRefund",
             {ByRef(u"Description", S), ByRef(u"Amount", Cy),
              ByRef(u"VatInfo", L).optional(DefaultLong(0))},
             [](C& c, A& a) { return c.PrintRecRefund(a.String(0), a.Currency(1), a.Long(2)); }),
      Method(dispid::PrintRecNotPaid, u"PrintRecNotPaid",
             {ByRef(u"Description", S), ByRef(u"Amount", Cy)},
             [](C& c, A& a) { return c.PrintRecNotPaid(a.String(0), a.Currency(1)); }),
      Method(dispid::PrintRecVoidItem, u"PrintRecVoidItem",
             {ByRef(u"Description", S), ByRef(u"Amount", Cy), ByRef(u"Quantity", L),
              ByRef(u"AdjustmentType", L).optional(DefaultLong(0)),
              ByRef(u"Adjustment", Cy).optional(DefaultCurrency(0)),
              ByRef(u"VatInfo", L).optional(DefaultLong(0))},
             [](C& c, A& a) {
               return c.PrintRecVoidItem(a.String(0), a.Currency(1), a.Long(2), a.Long(3),
                                         a.Currency(4), a.Long(5));
             }),
      GetString(dispid::DeviceDescription, u"DeviceDescription", &C::DeviceDescription),
      GetString(dispid::DeviceName, u"DeviceName", &C::DeviceName),
      GetString(dispid::ServiceObjectDescription, u"ServiceObjectDescription",
                &C::ServiceObjectDescription),
      GetBoolean(dispid::AsyncMode, u"AsyncMode", &C::AsyncMode),
      PutBoolean(dispid::AsyncMode, u"AsyncMode", &C::setAsyncMode),
      PutBoolean(dispid::TMVHighSpeed, u"TMVHighSpeed", &C::setTMVHighSpeed),
      GetBoolean(dispid::TMVHighSpeed, u"TMVHighSpeed", &C::TMVHighSpeed),
      GetLong(dispid::OutputID, u"OutputID", &C::OutputID),
      Method(dispid::DirectIO, u"DirectIO",
             {ByVal(u"Command", L), ByRef(u"pData", L), ByRef(u"pString", S)},
             [](C& c, A& a) { return c.DirectIO(a.Long(0), a.Long(1), a.String(2)); }),
      Method(
          dispid::DirectIO2, u"DirectIO2",
          {ByVal(u"Command", L), ByRef(u"pData", L), ByRef(u"pString", S),
           ByRef(u"pOString", S).writtenBack()},
          [](C& c, A& a) { return c.DirectIO2(a.Long(0), a.Long(1), a.String(2), a.String(3)); }),
      Method(dispid::PrintXReport, u"PrintXReport", {}, [](C& c, A&) { return c.PrintXReport(); }),
      Method(dispid::PrintZReport, u"PrintZReport", {}, [](C& c, A&) { return c.PrintZReport(); }),
      Method(dispid::SetHeaderLine, u"SetHeaderLine",
             {ByRef(u"LineNumber", L), ByRef(u"Test", S), ByRef(u"DoubleWidth", B)},
             [](C& c, A& a) { return c.SetHeaderLine(a.Long(0), a.String(1), a.Boolean(2)); }),
      GetBoolean(dispid::NumHeaderLines, u"NumHeaderLines", &C::NumHeaderLines),
      GetBoolean(dispid::CapNonFiscalMode, u"CapNonFiscalMode", &C::CapNonFiscalMode),
      Method(dispid::ClearError, u"ClearError", {}, [](C& c, A&) { return c.ClearError(); }),
      GetLong(dispid::ErrorOutID, u"ErrorOutID", &C::ErrorOutID),
      Method(dispid::SetVatTable, u"SetVatTable", {}, [](C& c, A&) { return c.SetVatTable(); }),
      Method(dispid::SetVatValue, u"SetVatValue", {ByRef(u"VatID", L), ByRef(u"VatValue", S)},
             [](C& c, A& a) { return c.SetVatValue(a.Long(0), a.String(1)); }),
      Method(dispid::PrintNormal, u"PrintNormal", {ByRef(u"Station", L), ByVal(u"Data", S)},
             [](C& c, A& a) { return c.PrintNormal(a.Long(0), a.String(1)); }),
      Method(dispid::GetDate, u"GetDate", {ByRef(u"DateTime", S).writtenBack()},
             [](C& c, A& a) { return c.GetDate(a.String(0)); }),
      Method(dispid::GetData, u"GetData",
             {ByRef(u"DataItem", L), ByRef(u"OptArgs", LongArray), ByRef(u"Data", S).writtenBack()},
             [](C& c, A& a) { return c.GetData(a.Long(0), a.LongArray(1), a.String(2)); }),
      Method(dispid::PrintPeriodicTotalsReport, u"PrintPeriodicTotalsReport",
             {ByRef(u"Date1", S), ByRef(u"Date2", S)},
             [](C& c, A& a) { return c.PrintPeriodicTotalsReport(a.String(0), a.String(1)); }),
      Method(dispid::PrintReport, u"PrintReport",
             {ByRef(u"ReportType", L), ByRef(u"StartNum", S), ByRef(u"EndNum", S)},
             [](C& c, A& a) { return c.PrintReport(a.Long(0), a.String(1), a.String(2)); }),
  };
}

MemberInfo Event(DispId id, std::u16string name, std::vector<Param> params) {
  MemberInfo info;
  info.name = std::move(name);
  info.id = id;
  info.kind = MemberKind::Method;
  for (Param& p : params) info.params.push_back(std::move(p.info));
  return info;
}

// By-reference event arguments are read back after the host's handler has run.
std::vector<MemberInfo> BuildEventTable() {
  return {
      Event(event_id::DataEvent, u"DataEvent", {ByVal(u"Status", L)}),
      Event(event_id::StatusUpdateEvent, u"StatusUpdateEvent", {ByVal(u"Status", L)}),
      Event(event_id::ErrorEvent, u"ErrorEvent",
            {ByVal(u"ResultCode", L), ByVal(u"ResultCodeExtended", L), ByVal(u"ErrorLocus", L),
             ByRef(u"pErrorResponse", L).writtenBack()}),
      Event(event_id::OutputCompleteEvent, u"OutputCompleteEvent", {ByVal(u"OutputID", L)}),
      Event(event_id::DirectIOEvent, u"DirectIOEvent",
            {ByVal(u"Command", L), ByRef(u"pData", L).writtenBack(),
             ByRef(u"pString", S).writtenBack()}),
      Event(event_id::ReceiveDataEvent, u"ReceiveDataEvent", {ByVal(u"pString", S)}),
  };
}

TypeLibraryInfo BuildTypeLibrary() {
  TypeLibraryInfo lib;
  lib.name = identity::kLibraryName;
  lib.id = identity::kLibraryId;
  lib.major = identity::kTypeLibraryMajor;
  lib.minor = identity::kTypeLibraryMinor;
  lib.locale = identity::kLocale;
  lib.help_string = identity::kHelpString;
  lib.class_name = identity::kClassName;
  lib.class_id = identity::kClassId;
  lib.control = true;
  lib.imported_library = u"stdole 2.0";

  lib.dispatch.name = identity::kDispatchInterfaceName;
  lib.dispatch.id = identity::kDispatchInterfaceId;
  lib.dispatch.dual = true;
  lib.dispatch.hidden = true;
  lib.dispatch.non_extensible = true;
  lib.dispatch.automation_compatible = true;
  for (const MemberRow& row : MemberTable()) lib.dispatch.members.push_back(row.info);

  lib.events.name = identity::kEventInterfaceName;
  lib.events.id = identity::kEventInterfaceId;
  lib.events.hidden = true;
  lib.events.non_extensible = true;
  lib.events.members = EventTable();
  return lib;
}

}  // namespace

const std::vector<MemberRow>& MemberTable() {
  static const std::vector<MemberRow> table = BuildMemberTable();
  return table;
}

const std::vector<MemberInfo>& EventTable() {
  static const std::vector<MemberInfo> table = BuildEventTable();
  return table;
}

const TypeLibraryInfo& TmvEcrVelkaTypeLibrary() {
  static const TypeLibraryInfo library = BuildTypeLibrary();
  return library;
}

}  // namespace velka
