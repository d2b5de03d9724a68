// Events through Advise/Unadvise: identifiers and arguments as the host receives them, the
// by-reference arguments read back, and the object kept alive while a handler releases it.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/automation/automation_fixture.h"

namespace velka::testing {
namespace {

using Strings = std::vector<std::string>;
using V = Variant;

constexpr DispId kDirectIO = M(52), kResultCode = P(20), kResultCodeExtended = P(9),
                 kPrintXReport = M(54);

std::string Text(const Variant& v) {
  switch (v.type()) {
    case VarType::Long:
      return std::to_string(v.longValue());
    case VarType::String:
      return "\"" + std::string(v.stringValue().begin(), v.stringValue().end()) + "\"";
    default:
      return VarTypeName(v.type());
  }
}

// Records "id: arg arg ..." with "&" before by-reference arguments.
class RecordingSink : public EventSink {
 public:
  HResult Invoke(DispId event_id, std::span<Variant> args) override {
    std::string line = std::to_string(event_id) + ":";
    for (const Variant& v : args) line += std::string(" ") + (v.byRef() ? "&" : "") + Text(v);
    log.push_back(line);
    if (react) react(event_id, args);
    return hresult::Ok;
  }
  Strings log;
  std::function<void(DispId, std::span<Variant>)> react;
};

class Events : public AutomationFixture {
 protected:
  void SetUp() override {
    open();
    ASSERT_EQ(control->Advise(&sink, &cookie), hresult::Ok);
  }
  std::int32_t directIO(std::int32_t command, const std::u16string& text) {
    std::int32_t data = 7;
    std::u16string line = text;
    return callLong(kDirectIO, {V::FromLong(command), V::RefLong(&data), V::RefString(&line)});
  }
  // The host gives up its counted reference and goes on with a raw one it added.
  Dispatch* holdRawReferenceOnly() {
    Dispatch* raw = control.get();
    raw->AddRef();
    control.reset();
    return raw;
  }
  // DirectIO(1, text) through a raw reference; the method's result goes to `answer`.
  static HResult DirectIOThrough(Dispatch* raw, const std::u16string& text, Variant& answer) {
    std::int32_t data = 0;
    std::u16string line = text;
    std::vector<Variant> args{V::FromLong(1), V::RefLong(&data), V::RefString(&line)};
    return raw->Invoke(kDirectIO, kInvokeMethod, args, &answer, nullptr);
  }
  RecordingSink sink;
  std::uint32_t cookie = 0;
};

TEST_F(Events, DirectIOEventCarriesTheAnswer) {
  answerFor = [](const std::string&) { return R::Frame("DRISPOSTA"); };
  EXPECT_EQ(directIO(3, u"=K"), 0);
  EXPECT_EQ(sink.log, Strings{"5: 3 &7 &\"RISPOSTA\""});
}

TEST_F(Events, StatusUpdateAndReceiveData) {
  answerFor = [](const std::string& command) {
    return command == "=C2" ? R::ErrorStatus('P', "0000") : R::Frame("|LINEA UNO");
  };
  followUpFor = [](const std::string& command) { return command == "=C2" ? Bytes{} : R::Status(); };
  EXPECT_EQ(callLong(kPrintXReport), 114);
  EXPECT_EQ(callLong(kResultCodeExtended), 203);
  EXPECT_EQ(directIO(0, u"<</?x"), 0);
  ASSERT_GE(sink.log.size(), 2u);
  EXPECT_EQ(sink.log[0], "2: 24");
  EXPECT_EQ(sink.log[1], "6: \"LINEA UNO\"");
}

TEST_F(Events, ByReferenceArgumentsAreReadBack) {
  // The host's change of pString reaches the control, which empties it afterwards; its
  // handler sees the value each sink left.
  answerFor = [](const std::string&) { return R::Frame("DRISPOSTA"); };
  RecordingSink second;
  std::uint32_t second_cookie = 0;
  ASSERT_EQ(control->Advise(&second, &second_cookie), hresult::Ok);
  sink.react = [](DispId, std::span<Variant> args) {
    args[1].setLong(99);
    args[2].setString(u"CAMBIATA");
    args[0] = V::FromLong(-1);  // a by-value argument is the handler's own copy
  };
  EXPECT_EQ(directIO(3, u"=K"), 0);
  EXPECT_EQ(second.log, Strings{"5: 3 &99 &\"CAMBIATA\""});
}

TEST_F(Events, UnadviseStopsDeliveryAndRefusesUnknownCookies) {
  answerFor = [](const std::string&) { return R::Frame("DA"); };
  EXPECT_EQ(control->Unadvise(cookie), hresult::Ok);
  EXPECT_EQ(control->Unadvise(cookie), hresult::NoConnection);
  EXPECT_EQ(directIO(1, u"=K"), 0);
  EXPECT_TRUE(sink.log.empty());
  EXPECT_EQ(control->Advise(nullptr, &cookie), hresult::Pointer);
}

TEST_F(Events, ConnectionsAreBounded) {
  std::vector<RecordingSink> sinks(32);
  HResult last = hresult::Ok;
  int connected = 1;  // the fixture's
  for (RecordingSink& s : sinks) {
    std::uint32_t c = 0;
    last = control->Advise(&s, &c);
    if (Failed(last)) break;
    ++connected;
  }
  EXPECT_EQ(last, hresult::AdviseLimit);
  EXPECT_EQ(connected, 16);
}

TEST_F(Events, HandlerMayDisconnectItselfAndOthers) {
  answerFor = [](const std::string&) { return R::Frame("DA"); };
  RecordingSink second;
  std::uint32_t second_cookie = 0;
  ASSERT_EQ(control->Advise(&second, &second_cookie), hresult::Ok);
  sink.react = [&](DispId, std::span<Variant>) {
    control->Unadvise(cookie);
    control->Unadvise(second_cookie);
  };
  EXPECT_EQ(directIO(1, u"=K"), 0);
  EXPECT_EQ(sink.log.size(), 1u);
  EXPECT_TRUE(second.log.empty());
}

TEST_F(Events, AThrowingHandlerDoesNotStopTheControl) {
  answerFor = [](const std::string&) { return R::Frame("DA"); };
  sink.react = [](DispId, std::span<Variant>) { throw std::runtime_error("host bug"); };
  EXPECT_EQ(directIO(1, u"=K"), 0);
  EXPECT_EQ(callLong(kResultCode), 0);
}

TEST_F(Events, ReleasingTheLastReferenceInsideAHandlerIsSafe) {
  answerFor = [](const std::string&) { return R::Frame("DA"); };
  Dispatch* raw = holdRawReferenceOnly();  // the host's one reference
  sink.react = [&](DispId, std::span<Variant>) {
    ASSERT_EQ(ControlLibraryCanUnloadNow(), hresult::False);
    raw->Release();
  };
  Variant answer;
  EXPECT_EQ(DirectIOThrough(raw, u"=K", answer), hresult::Ok);
  EXPECT_EQ(answer, V::FromLong(0));
  EXPECT_EQ(sink.log.size(), 1u);
  EXPECT_EQ(ControlLibraryCanUnloadNow(), hresult::Ok);  // gone once the call returned
}

TEST_F(Events, NoEventsOnceTheHostHasLetGo) {
  // The line raises ReceiveDataEvent; the success of DirectIO would raise DirectIOEvent.
  answerFor = [](const std::string&) { return R::Frame("|LINEA"); };
  followUpFor = [](const std::string&) { return R::Status(); };
  Dispatch* raw = holdRawReferenceOnly();
  sink.react = [&](DispId id, std::span<Variant>) {
    if (id == 6) raw->Release();
  };
  Variant answer;
  EXPECT_EQ(DirectIOThrough(raw, u"<</?x", answer), hresult::Ok);
  EXPECT_EQ(answer, V::FromLong(0));
  EXPECT_EQ(sink.log, Strings{"6: \"LINEA\""});
  EXPECT_EQ(ControlLibraryCanUnloadNow(), hresult::Ok);
}

// Asynchronous mode: queued commands complete from the event loop, outside any call.
class AsyncEvents : public Events {
 protected:
  void SetUp() override {
    Events::SetUp();
    ASSERT_EQ(put(kAsyncMode, V::FromBoolean(true)), hresult::Ok);
  }
  static constexpr DispId kAsyncMode = P(5);
};

TEST_F(AsyncEvents, ReleasingInAnEventFromTheLoopDefersTheDestruction) {
  EXPECT_EQ(directIO(1, u"=K"), 0);  // queued; DirectIOEvent at once
  Dispatch* raw = holdRawReferenceOnly();
  bool released = false;
  sink.react = [&](DispId id, std::span<Variant>) {
    if (id != 4 || released) return;
    released = true;
    raw->Release();  // the queue pump is still on the stack
    EXPECT_EQ(ControlLibraryCanUnloadNow(), hresult::False);
  };
  loop.advance(500);
  EXPECT_TRUE(released);
  EXPECT_EQ(ControlLibraryCanUnloadNow(), hresult::Ok);  // gone at a later turn of the loop
  ASSERT_GE(sink.log.size(), 2u);
  EXPECT_EQ(sink.log[1].substr(0, 3), "4: ");
  EXPECT_EQ(sink.log.size(), 2u);  // no StatusUpdateEvent 1001 after the host let go
}

TEST_F(AsyncEvents, ErrorResponseLeftByTheHostIsReadBack) {
  // 12 clears the error of the queued command; any other value leaves it standing.
  answerFor = [](const std::string&) { return R::ErrorStatus('X', "0034"); };
  std::int32_t response = 12;
  int errors = 0;
  sink.react = [&](DispId id, std::span<Variant> args) {
    if (id != 3) return;
    ++errors;
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(args[0].longValue(), 114);
    EXPECT_EQ(args[3].longValue(), 12);  // preset: clear
    args[3].setLong(response);
  };
  EXPECT_EQ(directIO(1, u"=K"), 0);
  loop.advance(2000);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(callLong(kResultCode), 0);

  response = 11;
  EXPECT_EQ(directIO(1, u"=K"), 0);
  loop.advance(2000);
  EXPECT_EQ(errors, 2);
  EXPECT_EQ(callLong(kResultCode), 114);
}

}  // namespace
}  // namespace velka::testing
