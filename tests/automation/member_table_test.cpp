// The type information the activated control reports, against the interface its clients
// were written for: every member in order with identifier, kind, parameters, defaults and
// result; the events; the library's identity. The expected lists are written out here, by
// hand, not derived from the control's table.
#include <gtest/gtest.h>

#include <set>

#include "tests/automation/automation_fixture.h"

namespace velka::testing {
namespace {

std::string Ascii(const std::u16string& text) {
  return std::string(text.begin(), text.end());
}

std::string IdText(DispId id) {
  const auto bits = static_cast<std::uint32_t>(id);
  if ((bits & 0xFFFF0000u) == 0x60030000u) return "M" + std::to_string(bits & 0xFFFF);
  if ((bits & 0xFFFF0000u) == 0x68030000u) return "P" + std::to_string(bits & 0xFFFF);
  return std::to_string(id);
}

std::string DefaultText(const Variant& v) {
  switch (v.type()) {
    case VarType::Long:
      return std::to_string(v.longValue());
    case VarType::String:
      return "\"" + Ascii(v.stringValue()) + "\"";
    case VarType::Currency: {
      const std::int64_t units = v.currencyValue();
      return std::to_string(units / 10000) + "." + std::to_string(units % 10000);
    }
    default:
      return std::string("?") + VarTypeName(v.type());
  }
}

// "ref Long Quantity = 1 back": direction, type, name, default, written back.
std::string ParamText(const ParamInfo& p) {
  std::string text = p.by_reference ? "ref " : "val ";
  text += VarTypeName(p.type);
  text += " " + Ascii(p.name);
  if (p.optional) text += " = " + DefaultText(p.default_value);
  if (p.written_back) text += " back";
  return text;
}

std::string MemberText(const MemberInfo& m) {
  std::string text = Ascii(m.name) + " " + IdText(m.id) + " " + MemberKindName(m.kind) + " (";
  for (std::size_t i = 0; i < m.params.size(); ++i) {
    if (i > 0) text += ", ";
    text += ParamText(m.params[i]);
  }
  text += ")";
  if (m.result != VarType::Empty) text += std::string(" ") + VarTypeName(m.result);
  return text;
}

const std::vector<std::string> kMembers = {
    "TMVOpen M21 method (ref String DeviceName) Long",
    "TMVClose M22 method () Long",
    "ResultCode P20 get () Long",
    "State P19 get () Long",
    "PrinterState P18 get () Long",
    "ControlObjectDescription P17 get () String",
    "ControlObjectVersion P16 get () Long",
    "CapIndependentHeader P15 get () Boolean",
    "CapHasVatTable P14 get () Boolean",
    "CapAmountNotPaid P13 get () Boolean",
    "CapAmountAdjustment P12 get () Boolean",
    "CapPercentAdjustment P11 get () Boolean",
    "CapAdditionalLines P10 get () Boolean",
    "SetDate M31 method (ref String Data) Long",
    "ResultCodeExtended P9 get () Long",
    "BeginFiscalReceipt M38 method (ref Boolean PrintHeader) Long",
    "BeginNonFiscal M39 method () Long",
    "EndFiscalReceipt M40 method (ref Boolean PrintHeader) Long",
    "EndNonFiscal M41 method () Long",
    "PrintRecItem M42 method (ref String Description, ref Currency Price, ref Long Quantity = 1 "
    "back, ref Long VatInfo = 0, ref Long UnitPrice = 0, ref String UnitName = \"\") Long",
    "PrintRecItemAdjustment M43 method (ref Long AdjustmentType, ref String Description, "
    "ref Currency Amount, ref Long VatInfo = 0) Long",
    "PrintRecSubtotalAdjustment M44 method (ref Long AdjustmentType, ref String Description, "
    "ref Currency Amount) Long",
    "PrintRecMessage M45 method (ref String Message) Long",
    "PrintRecTotal M46 method (ref Currency Total, ref Currency Payment, "
    "ref String Description) Long",
    "PrintRecVoid M47 method (ref String Description = \"\") Long",
    "PrintRecSubtotal M48 method (ref Currency Amount = 0.0) Long",
    "PrintRecRefund M49 method (ref String Description, ref Currency Amount, "
    "ref Long VatInfo = 0) Long",
    "PrintRecNotPaid M50 method (ref String Description, ref Currency Amount) Long",
    "PrintRecVoidItem M51 method (ref String Description, ref Currency Amount, ref Long Quantity, "
    "ref Long AdjustmentType = 0, ref Currency Adjustment = 0.0, ref Long VatInfo = 0) Long",
    "DeviceDescription P8 get () String",
    "DeviceName P7 get () String",
    "ServiceObjectDescription P6 get () String",
    "AsyncMode P5 get () Boolean",
    "AsyncMode P5 put (val Boolean NewValue)",
    "TMVHighSpeed P4 put (val Boolean NewValue)",
    "TMVHighSpeed P4 get () Boolean",
    "OutputID P3 get () Long",
    "DirectIO M52 method (val Long Command, ref Long pData, ref String pString) Long",
    "DirectIO2 M53 method (val Long Command, ref Long pData, ref String pString, "
    "ref String pOString back) Long",
    "PrintXReport M54 method () Long",
    "PrintZReport M55 method () Long",
    "SetHeaderLine M56 method (ref Long LineNumber, ref String Test, ref Boolean DoubleWidth) "
    "Long",
    "NumHeaderLines P2 get () Boolean",
    "CapNonFiscalMode P1 get () Boolean",
    "ClearError M57 method () Long",
    "ErrorOutID P0 get () Long",
    "SetVatTable M58 method () Long",
    "SetVatValue M59 method (ref Long VatID, ref String VatValue) Long",
    "PrintNormal M60 method (ref Long Station, val String Data) Long",
    "GetDate M61 method (ref String DateTime back) Long",
    "GetData M62 method (ref Long DataItem, ref array of Long OptArgs, ref String Data back) Long",
    "PrintPeriodicTotalsReport M63 method (ref String Date1, ref String Date2) Long",
    "PrintReport M64 method (ref Long ReportType, ref String StartNum, ref String EndNum) Long",
};

const std::vector<std::string> kEvents = {
    "DataEvent 1 method (val Long Status)",
    "StatusUpdateEvent 2 method (val Long Status)",
    "ErrorEvent 3 method (val Long ResultCode, val Long ResultCodeExtended, val Long ErrorLocus, "
    "ref Long pErrorResponse back)",
    "OutputCompleteEvent 4 method (val Long OutputID)",
    "DirectIOEvent 5 method (val Long Command, ref Long pData back, ref String pString back)",
    "ReceiveDataEvent 6 method (val String pString)",
};

class TypeInformation : public AutomationFixture {};

TEST_F(TypeInformation, MembersInInterfaceOrder) {
  const TypeLibraryInfo& lib = control->GetTypeInfo();
  std::vector<std::string> members;
  for (const MemberInfo& m : lib.dispatch.members) members.push_back(MemberText(m));
  ASSERT_EQ(members.size(), 53u);
  for (std::size_t i = 0; i < kMembers.size(); ++i) {
    EXPECT_EQ(members[i], kMembers[i]) << "member " << i + 1;
  }
}

TEST_F(TypeInformation, EventsInOrder) {
  const TypeLibraryInfo& lib = control->GetTypeInfo();
  std::vector<std::string> events;
  for (const MemberInfo& m : lib.events.members) events.push_back(MemberText(m));
  EXPECT_EQ(events, kEvents);
}

TEST_F(TypeInformation, LibraryClassAndInterfaces) {
  const TypeLibraryInfo& lib = control->GetTypeInfo();
  EXPECT_EQ(lib.name, u"TMVVelka");
  EXPECT_EQ(lib.major, 1);
  EXPECT_EQ(lib.minor, 0);
  EXPECT_EQ(lib.locale, 1033u);
  EXPECT_EQ(lib.help_string, u"TMV - VELKA");
  EXPECT_EQ(lib.class_name, u"TmvEcrVelka");
  EXPECT_TRUE(lib.control);
  EXPECT_EQ(lib.dispatch.name, u"_TmvEcrVelka");
  EXPECT_TRUE(lib.dispatch.dual && lib.dispatch.hidden && lib.dispatch.non_extensible &&
              lib.dispatch.automation_compatible);
  EXPECT_EQ(lib.events.name, u"__TmvEcrVelka");
  EXPECT_TRUE(lib.events.hidden && lib.events.non_extensible);
  EXPECT_FALSE(lib.events.dual);
  // Four identifiers of their own, none of them zero.
  const std::set<std::string> ids = {GuidToText(lib.id), GuidToText(lib.class_id),
                                     GuidToText(lib.dispatch.id), GuidToText(lib.events.id),
                                     GuidToText(Guid{})};
  EXPECT_EQ(ids.size(), 5u);
}

}  // namespace
}  // namespace velka::testing
