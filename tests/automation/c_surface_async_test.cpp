// Asynchronous mode through the C surface, as a host without the control's loop uses it: a
// whole receipt of 50 commands queued with AsyncMode True against velka-sim on a
// pseudo-terminal, the loop turned by the test, either by velka_process_events alone or by
// waiting on velka_event_handle as a host's own loop would.
#include <gtest/gtest.h>
#include <poll.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/automation/c_surface_functions.h"
#include "tests/server/e2e_support.h"

#if defined(VELKA_SIM_EXE)

namespace velka::testing {
namespace {

using server::testing::ChildProcess;
using server::testing::Frames;
using server::testing::ReadText;
using server::testing::WaitFor;

constexpr int kPort = 31;
constexpr int kItems = 48;  // with the payment and its status request: 50 commands
constexpr int kQueueLimitMs = 30000;

struct Event {
  std::int32_t id;
  std::int32_t first;  // the first argument, a Long for every event seen here
};

void Record(void* context, std::int32_t event_id, VelkaVariant* args, std::int32_t count) {
  const std::int32_t first =
      count > 0 && args[0].type == VELKA_VT_LONG ? args[0].value.long_value : -1;
  static_cast<std::vector<Event>*>(context)->push_back({event_id, first});
}

enum class Turning { ByProcessEvents, ByWaitingOnTheHandle };

class CSurfaceAsyncTest : public ::testing::TestWithParam<Turning> {
 protected:
  void SetUp() override {
    const std::vector<std::string> argv = {VELKA_SIM_EXE, "--com",   std::to_string(kPort),
                                           "--baud",      "115200",  "--log",
                                           at("sim.log"), "--paper", at("paper.txt")};
    ASSERT_TRUE(sim.Start(argv, at("sim.out"), at("sim.err")));
    const std::string link = home.at("config") + "/TMV SPA/ports/com" + std::to_string(kPort);
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(link); }, 10000))
        << ReadText(at("sim.err"));
    ASSERT_EQ(RegisterControlLibrary(), hresult::Ok);
    ASSERT_EQ(c.create("TMVVelka.TmvEcrVelka", &object), 0) << c.last_error();
    std::uint32_t cookie = 0;
    ASSERT_EQ(c.advise(object, &Record, &events, &cookie), 0);
  }
  void TearDown() override {
    if (object) c.release(object);
    sim.Signal(SIGTERM);
    sim.WaitExit(10000);
  }

  std::string at(const std::string& name) const { return home.root() + "/" + name; }

  // The texts of the frames the control sent, from the simulator's transcript.
  std::vector<std::string> sentCommands() const {
    std::vector<std::string> sent;
    for (const auto& frame : Frames(at("sim.log"))) {
      if (frame.from_control) sent.push_back(frame.text);
    }
    return sent;
  }

  std::int32_t call(const char* name, std::vector<VelkaVariant> args = {}) {
    VelkaVariant result{};
    const VelkaStatus status =
        c.invoke_by_name(object, name, VELKA_INVOKE_METHOD | VELKA_INVOKE_PROPERTYGET, args.data(),
                         static_cast<std::int32_t>(args.size()), &result);
    EXPECT_EQ(status, 0) << name << ": " << c.last_error();
    return result.value.long_value;
  }
  void put(const char* name, VelkaVariant value) {
    EXPECT_EQ(c.invoke_by_name(object, name, VELKA_INVOKE_PROPERTYPUT, &value, 1, nullptr), 0)
        << c.last_error();
  }
  std::int32_t withText(const char* name, const std::string& text,
                        std::vector<VelkaVariant> before = {},
                        std::vector<VelkaVariant> after = {}) {
    VelkaString s = c.from_utf8(text.c_str());
    before.push_back(CString(s));
    before.insert(before.end(), after.begin(), after.end());
    const std::int32_t code = call(name, before);
    c.string_free(s);
    return code;
  }

  // Turns the loop as the parameter says until the queue has drained, within a bound;
  // counts the waits on the handle that ended with nothing ready.
  bool turnUntilDrained() {
    VelkaWaitHandle handle = -1;
    if (GetParam() == Turning::ByWaitingOnTheHandle) {
      EXPECT_EQ(c.event_handle(object, &handle), 0) << c.last_error();
    }
    auto drained = [&] {
      return !events.empty() && events.back().id == VELKA_EVENT_STATUS_UPDATE &&
             events.back().first == 1001;
    };
    return WaitFor(
        [&] {
          if (GetParam() == Turning::ByProcessEvents) {
            EXPECT_EQ(c.process_events(object, 200), 0);
          } else {
            pollfd p{static_cast<int>(handle), POLLIN, 0};
            if (::poll(&p, 1, 2000) == 0) ++idle_waits;
            EXPECT_EQ(c.process_events(object, 0), 0);
          }
          return drained();
        },
        kQueueLimitMs);
  }

  HostHome home;
  ChildProcess sim;
  CSurface c;
  VelkaObject* object = nullptr;
  std::vector<Event> events;
  int idle_waits = 0;
};

TEST_P(CSurfaceAsyncTest, ReceiptOfFiftyQueuedCommandsIsSentInOrderOnceWithOneCompletionEach) {
  put("TMVHighSpeed", CBoolean(true));
  ASSERT_EQ(withText("TMVOpen", std::to_string(kPort)), 0);
  put("AsyncMode", CBoolean(true));
  const std::size_t sent_before = sentCommands().size();

  ASSERT_EQ(call("BeginFiscalReceipt", {CBoolean(true)}), 0);
  for (int i = 1; i <= kItems; ++i) {
    char description[16];
    std::snprintf(description, sizeof description, "ITEM %02d", i);
    ASSERT_EQ(withText("PrintRecItem", description, {}, {CCurrency(10000)}), 0);
  }
  ASSERT_EQ(withText("PrintRecTotal", "1", {CCurrency(480000), CCurrency(500000)}), 0);
  // Everything was queued and nothing has been sent while the host did not turn the loop.
  EXPECT_EQ(call("OutputID"), kItems + 2);
  EXPECT_TRUE(events.empty());

  ASSERT_TRUE(turnUntilDrained()) << events.size() << " events";
  EXPECT_EQ(idle_waits, 0) << "the handle slept through work";

  std::vector<Event> expected;
  for (int id = 1; id <= kItems + 2; ++id) expected.push_back({VELKA_EVENT_OUTPUT_COMPLETE, id});
  expected.push_back({VELKA_EVENT_STATUS_UPDATE, 1001});
  ASSERT_EQ(events.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(events[i].id, expected[i].id) << "event " << i;
    EXPECT_EQ(events[i].first, expected[i].first) << "event " << i;
  }

  // On the line: the 50 commands, in order, each once (a frame sent again would show twice).
  std::vector<std::string> sent = sentCommands();
  ASSERT_EQ(sent.size(), sent_before + kItems + 2) << ReadText(at("sim.log"));
  sent.erase(sent.begin(), sent.begin() + static_cast<std::ptrdiff_t>(sent_before));
  for (int i = 1; i <= kItems; ++i) {
    char description[24];
    std::snprintf(description, sizeof description, "/(ITEM %02d)", i);
    EXPECT_TRUE(sent[i - 1].ends_with(description)) << sent[i - 1];
  }
  EXPECT_EQ(sent[kItems], "=T1/$50");
  EXPECT_EQ(sent[kItems + 1], "<</?s");
  EXPECT_NE(ReadText(at("paper.txt")).find("SCONTRINO N. 0001"), std::string::npos);
  EXPECT_EQ(call("TMVClose"), 0);
}

INSTANTIATE_TEST_SUITE_P(HostTurnsTheLoop, CSurfaceAsyncTest,
                         ::testing::Values(Turning::ByProcessEvents, Turning::ByWaitingOnTheHandle),
                         [](const auto& info) {
                           return info.param == Turning::ByProcessEvents ? "ByProcessEvents"
                                                                         : "ByWaitingOnTheHandle";
                         });

}  // namespace
}  // namespace velka::testing

#endif
