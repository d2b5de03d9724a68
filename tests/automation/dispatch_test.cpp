// Calls by dispatch identifier on an activated control: one member of each shape, the
// optional parameters and their defaults, what is written back and what is not, the
// coercions, and every refusal.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/automation/automation_fixture.h"

namespace velka::testing {
namespace {

using Strings = std::vector<std::string>;
using V = Variant;

constexpr DispId kTMVOpen = M(21), kResultCode = P(20), kPrinterState = P(18),
                 kControlObjectVersion = P(16), kResultCodeExtended = P(9),
                 kBeginFiscalReceipt = M(38), kPrintRecItem = M(42), kPrintRecVoid = M(47),
                 kPrintRecSubtotal = M(48), kPrintRecVoidItem = M(51), kDeviceName = P(7),
                 kAsyncMode = P(5), kTMVHighSpeed = P(4), kDirectIO2 = M(53), kPrintXReport = M(54),
                 kNumHeaderLines = P(2), kSetVatValue = M(59), kGetDate = M(61), kGetData = M(62),
                 kPrintPeriodicTotalsReport = M(63);

class Dispatching : public AutomationFixture {
 protected:
  // Opens the device and a fiscal receipt.
  void openReceipt() {
    open();
    std::int16_t header = kVariantFalse;
    ASSERT_EQ(callLong(kBeginFiscalReceipt, {V::RefBoolean(&header)}), 0);
    ASSERT_EQ(callLong(kPrinterState), 2);
    commands.clear();
  }
};

TEST_F(Dispatching, PropertyGets) {
  EXPECT_EQ(callLong(kResultCode), 101);  // a new instance
  EXPECT_EQ(callLong(kControlObjectVersion), 1001001);

  ASSERT_EQ(call(kNumHeaderLines), hresult::Ok);
  EXPECT_EQ(result.type(), VarType::Boolean);
  EXPECT_EQ(result.booleanBits(), -1);  // a Boolean True, not a count

  ASSERT_EQ(call(kDeviceName, {}, kInvokePropertyGet), hresult::Ok);
  EXPECT_EQ(result, V::FromString(u"TMV - VELKA PRINTER"));
}

TEST_F(Dispatching, PropertyPutStoresTheValueAndClearsResultCode) {
  ASSERT_EQ(put(kAsyncMode, V::FromBoolean(true)), hresult::Ok);
  EXPECT_EQ(result.type(), VarType::Empty);
  EXPECT_EQ(callLong(kResultCode), 0);
  ASSERT_EQ(call(kAsyncMode), hresult::Ok);
  EXPECT_EQ(result.booleanBits(), -1);

  // Any non-zero value is True; a Long is taken for a Boolean.
  ASSERT_EQ(put(kTMVHighSpeed, V::FromLong(5)), hresult::Ok);
  ASSERT_EQ(call(kTMVHighSpeed), hresult::Ok);
  EXPECT_EQ(result.booleanBits(), -1);
  ASSERT_EQ(put(kTMVHighSpeed, V::FromBooleanBits(0)), hresult::Ok);
  ASSERT_EQ(call(kTMVHighSpeed), hresult::Ok);
  EXPECT_EQ(result.booleanBits(), 0);
}

TEST_F(Dispatching, MethodsOnAClosedDevice) {
  EXPECT_EQ(callLong(kPrintXReport), 101);
  EXPECT_EQ(callLong(kPrintPeriodicTotalsReport,
                     {V::FromString(u"01012026"), V::FromString(u"31012026")}),
            0);
  EXPECT_EQ(callLong(kResultCode), 101);  // PrintPeriodicTotalsReport leaves it
  EXPECT_TRUE(commands.empty());
}

TEST_F(Dispatching, SetVatValueWithCoercedArguments) {
  std::int32_t vat_id = 2;
  std::u16string value = u"22.5";
  EXPECT_EQ(callLong(kSetVatValue, {V::RefLong(&vat_id), V::RefString(&value)}), 0);
  // An Integer is taken for a Long.
  EXPECT_EQ(callLong(kSetVatValue, {V::FromInteger(7), V::FromString(u"4")}), 106);
  EXPECT_EQ(callLong(kResultCode), 106);
}

TEST_F(Dispatching, OptionalParametersTakeTheirDefaults) {
  openReceipt();
  // Description and Price only: Quantity 1, VatInfo 0.
  EXPECT_EQ(callLong(kPrintRecItem, {V::FromString(u"CAFFE"), V::FromCurrency(15000)}), 0);
  // An Empty variant in the middle is a left-out argument too; a Long is whole currency units.
  EXPECT_EQ(callLong(kPrintRecItem, {V::FromString(u"PANE"), V::FromLong(2), V(), V::FromLong(3)}),
            0);
  EXPECT_EQ(callLong(kPrintRecSubtotal), 0);
  EXPECT_EQ(commands, (Strings{"=R/$1.5/*1/(CAFFE)", "=R3/$2/*1/(PANE)", "=S"}));
  commands.clear();
  EXPECT_EQ(callLong(kPrintRecVoid), 0);
  EXPECT_EQ(commands.size(), 1u);
}

TEST_F(Dispatching, QuantityIsWrittenBack) {
  openReceipt();
  std::int32_t quantity = 0;
  std::u16string description = u"PANE";
  std::int64_t price = 10000;
  EXPECT_EQ(callLong(kPrintRecItem,
                     {V::RefString(&description), V::RefCurrency(&price), V::RefLong(&quantity)}),
            0);
  EXPECT_EQ(quantity, 1);
  // Given by value, the new value is dropped.
  EXPECT_EQ(
      callLong(kPrintRecItem, {V::FromString(u"PANE"), V::FromCurrency(10000), V::FromLong(0)}), 0);
  EXPECT_EQ(commands, (Strings{"=R/$1/*1/(PANE)", "=R/$1/*1/(PANE)"}));
}

TEST_F(Dispatching, OtherByReferenceArgumentsAreCopies) {
  openReceipt();
  // The method turns Quantity 0 into 1 for itself; this caller's variable stays.
  std::int32_t quantity = 0;
  EXPECT_EQ(callLong(kPrintRecVoidItem,
                     {V::FromString(u"PANE"), V::FromCurrency(10000), V::RefLong(&quantity)}),
            0);
  EXPECT_EQ(quantity, 0);
  EXPECT_EQ(commands, (Strings{"=s", "=R/$1/*1/(PANE)"}));
}

TEST_F(Dispatching, DirectIO2WritesTheAnswerBackAndKeepsCommand) {
  open();
  answerFor = [](const std::string& command) {
    return command == "<</?s" ? R::Frame("s00000200") : R::Status();
  };
  std::int32_t command = 77, data = 5;
  std::u16string request = u"<</?s", answer = u"old";
  EXPECT_EQ(callLong(kDirectIO2, {V::RefLong(&command), V::RefLong(&data), V::RefString(&request),
                                  V::RefString(&answer)}),
            0);
  EXPECT_EQ(answer, u"00000200");
  EXPECT_EQ(command, 77);
  EXPECT_EQ(request, u"<</?s");
  EXPECT_EQ(commands, Strings{"<</?s"});
}

TEST_F(Dispatching, GetDataTakesAnArrayOfLong) {
  open();
  answerFor = [](const std::string&) { return R::Frame("D42;ANSWER"); };
  std::int32_t item = 12;
  std::vector<std::int32_t> options{1, 2, 3};
  std::u16string data = u"old";
  EXPECT_EQ(callLong(kGetData, {V::RefLong(&item), V::RefLongArray(&options), V::RefString(&data)}),
            0);
  EXPECT_EQ(data, u"42;ANSWER");
  EXPECT_EQ(options, (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(commands, Strings{"<</?s"});
  // By value too.
  EXPECT_EQ(callLong(kGetData, {V::FromLong(2), V::FromLongArray({}), V::FromString(u"")}), 0);
}

TEST_F(Dispatching, GetDateWritesDateTimeBack) {
  open();
  answerFor = [](const std::string&) { return R::Frame("D06-12-26 18:30:00"); };
  std::u16string date_time = u"old";
  EXPECT_EQ(callLong(kGetDate, {V::RefString(&date_time)}), 0);
  EXPECT_EQ(date_time.size(), 12u);
  EXPECT_EQ(date_time.substr(0, 4), u"0612");
  EXPECT_EQ(date_time.substr(6), u"261830");
}

TEST_F(Dispatching, InvokeKindsThatServeAMember) {
  // A method read like a property, and a property called like a method.
  ASSERT_EQ(call(kPrintXReport, {}, kInvokePropertyGet), hresult::Ok);
  EXPECT_EQ(result.longValue(), 101);
  ASSERT_EQ(call(kResultCode, {}, kInvokeMethod), hresult::Ok);
  EXPECT_EQ(result.longValue(), 101);
  // No result wanted.
  EXPECT_EQ(control->Invoke(kPrintXReport, kInvokeMethod, {}, nullptr, nullptr), hresult::Ok);
}

struct Refusal {
  const char* name;
  DispId id;
  std::uint16_t kind;
  std::vector<Variant> args;
  HResult status;
  std::int32_t argument;
};

TEST_F(Dispatching, RefusalsChangeNothing) {
  std::int16_t integer_quantity = 0;
  std::int32_t long_answer = 0;
  std::u16string text = u"x";
  const Refusal rows[] = {
      {"unknown identifier", M(99), kInvokeMethod, {}, hresult::MemberNotFound, -1},
      {"event identifier", 3, kInvokeMethod, {}, hresult::MemberNotFound, -1},
      {"put on a get-only property",
       kResultCode,
       kInvokePropertyPut,
       {V::FromLong(0)},
       hresult::ReadOnlyProperty,
       -1},
      {"put on NumHeaderLines",
       kNumHeaderLines,
       kInvokePropertyPut,
       {V::FromBoolean(false)},
       hresult::ReadOnlyProperty,
       -1},
      {"put on a method",
       kPrintXReport,
       kInvokePropertyPut,
       {V::FromLong(0)},
       hresult::MemberNotFound,
       -1},
      {"no kind", kResultCode, 0, {}, hresult::InvalidArgument, -1},
      {"unknown kind bit", kResultCode, 8, {}, hresult::InvalidArgument, -1},
      {"put without a value", kAsyncMode, kInvokePropertyPut, {}, hresult::BadParamCount, -1},
      {"put with two values",
       kAsyncMode,
       kInvokePropertyPut,
       {V::FromBoolean(true), V::FromBoolean(true)},
       hresult::BadParamCount,
       -1},
      {"argument to a get",
       kResultCode,
       kInvokePropertyGet,
       {V::FromLong(1)},
       hresult::BadParamCount,
       -1},
      {"too many arguments",
       kPrintXReport,
       kInvokeMethod,
       {V::FromLong(1)},
       hresult::BadParamCount,
       -1},
      {"required argument left out",
       kSetVatValue,
       kInvokeMethod,
       {V::FromLong(1)},
       hresult::ParamNotOptional,
       1},
      {"required argument Empty",
       kSetVatValue,
       kInvokeMethod,
       {V(), V::FromString(u"1")},
       hresult::ParamNotOptional,
       0},
      {"String for a Long",
       kSetVatValue,
       kInvokeMethod,
       {V::FromString(u"2"), V::FromString(u"1")},
       hresult::TypeMismatch,
       0},
      {"Long for a String",
       kSetVatValue,
       kInvokeMethod,
       {V::FromLong(2), V::FromLong(1)},
       hresult::TypeMismatch,
       1},
      {"Currency for a Long",
       kSetVatValue,
       kInvokeMethod,
       {V::FromCurrency(20000), V::FromString(u"1")},
       hresult::TypeMismatch,
       0},
      {"Boolean for a Currency",
       kPrintRecItem,
       kInvokeMethod,
       {V::FromString(u"A"), V::FromBoolean(true)},
       hresult::TypeMismatch,
       1},
      {"String for a Boolean put",
       kAsyncMode,
       kInvokePropertyPut,
       {V::FromString(u"True")},
       hresult::TypeMismatch,
       0},
      {"Long for an array of Long",
       kGetData,
       kInvokeMethod,
       {V::FromLong(2), V::FromLong(1), V::FromString(u"")},
       hresult::TypeMismatch,
       1},
      {"written-back Quantity referring to an Integer",
       kPrintRecItem,
       kInvokeMethod,
       {V::FromString(u"A"), V::FromCurrency(1), V::RefInteger(&integer_quantity)},
       hresult::TypeMismatch,
       2},
      {"written-back pOString referring to a Long",
       kDirectIO2,
       kInvokeMethod,
       {V::FromLong(0), V::FromLong(0), V::RefString(&text), V::RefLong(&long_answer)},
       hresult::TypeMismatch,
       3},
  };
  for (const Refusal& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<Variant> args = row.args;
    result = V::FromLong(12345);
    const HResult status = control->Invoke(row.id, row.kind, args, &result, &error);
    EXPECT_EQ(status, row.status) << HResultName(status);
    EXPECT_EQ(error.argument, row.argument);
    EXPECT_FALSE(error.description.empty());
    EXPECT_EQ(result, V::FromLong(12345));  // no result written
  }
  EXPECT_EQ(callLong(kResultCode), 101);
  ASSERT_EQ(call(kAsyncMode), hresult::Ok);
  EXPECT_EQ(result.booleanBits(), 0);
  EXPECT_EQ(integer_quantity, 0);
  EXPECT_EQ(long_answer, 0);
  EXPECT_EQ(text, u"x");
  EXPECT_TRUE(commands.empty());
}

TEST_F(Dispatching, NamesMapToIdentifiersWithoutLetterCase) {
  const std::u16string names[] = {u"printrecitem", u"QUANTITY", u"UnitName"};
  DispId ids[3] = {};
  ASSERT_EQ(control->GetIDsOfNames(names, ids), hresult::Ok);
  EXPECT_EQ(ids[0], M(42));
  EXPECT_EQ(ids[1], 2);
  EXPECT_EQ(ids[2], 5);

  const std::u16string job_server[] = {u"TMVOpen",   u"TMVClose",           u"DirectIO",
                                       u"DirectIO2", u"ResultCodeExtended", u"asyncmode"};
  const DispId expected[] = {M(21), M(22), M(52), M(53), P(9), P(5)};
  for (std::size_t i = 0; i < std::size(job_server); ++i) {
    DispId id = 0;
    ASSERT_EQ(control->GetIDsOfNames({&job_server[i], 1}, {&id, 1}), hresult::Ok);
    EXPECT_EQ(id, expected[i]);
  }

  const std::u16string unknown[] = {u"PrintRecItem", u"Colour"};
  ASSERT_EQ(control->GetIDsOfNames(unknown, ids), hresult::UnknownName);
  EXPECT_EQ(ids[0], M(42));
  EXPECT_EQ(ids[1], kDispIdUnknown);
  const std::u16string none[] = {u"PrintRecItemX"};
  EXPECT_EQ(control->GetIDsOfNames(none, {ids, 1}), hresult::UnknownName);
  EXPECT_EQ(ids[0], kDispIdUnknown);
  EXPECT_EQ(control->GetIDsOfNames({}, {}), hresult::InvalidArgument);
}

// A port whose device fails in a way the control does not expect.
class ThrowingPort : public SerialPort {
 public:
  bool open(int, int) override { throw std::runtime_error("device exploded"); }
  void close() override {}
  bool isOpen() const override { return false; }
  std::string lastError() const override { return {}; }
  std::size_t bytesWaiting() override { return 0; }
  Bytes readAll() override { return {}; }
  bool write(const Bytes&) override { return false; }
  void discardInput() override {}
  std::size_t outputPending() override { return 0; }
  void setReceiveThreshold(int) override {}
  int receiveThreshold() const override { return 0; }
  bool cts() override { return false; }
  void clearLineErrors() override {}
  bool hungUp() const override { return false; }
  NativeHandle readinessHandle() const override { return kNoHandle; }
  void setEventHandler(std::function<void(int)>) override {}
  int baud() const override { return 0; }
};

TEST_F(Dispatching, AnExceptionInsideAMemberBecomesAStatus) {
  site.make_port = [](EventLoop&) { return std::make_unique<ThrowingPort>(); };
  activate();
  EXPECT_EQ(call(kTMVOpen, {V::FromString(u"1")}), hresult::Exception);
  EXPECT_EQ(error.description, "device exploded");
  EXPECT_EQ(result.type(), VarType::Empty);
  // The object is still usable.
  EXPECT_EQ(callLong(kResultCodeExtended), 0);
}

TEST_F(Dispatching, SiteDecidesBetweenNewAndLoadedInstance) {
  // New: ResultCode 101. Loaded from a store that holds AsyncMode: the load assigns it.
  EXPECT_EQ(callLong(kResultCode), 101);
  properties.values["AsyncMode"] = true;
  activate();
  EXPECT_EQ(callLong(kResultCode), 0);
  ASSERT_EQ(call(kAsyncMode), hresult::Ok);
  EXPECT_TRUE(result.booleanValue());
}

}  // namespace
}  // namespace velka::testing
