#include "tests/support/sim_control_fixture.h"

#include <fstream>
#include <initializer_list>

#include "control/device/trace_file.h"
#include "platform/settings_store.h"
#include "platform/single_byte_text.h"
#include "tests/support/memory_trace_sink.h"

namespace velka::testing {

void SimControlFixture::SetUp() {
  // Where the settings, the ports folder and the trace file are looked for.
  home = std::make_unique<TemporaryHome>(
      "velka-sim-control",
      std::initializer_list<TemporaryHome::Variable>{
          {"XDG_CONFIG_HOME", ""}, {"XDG_DATA_HOME", ""}, {"HOME", ""}, {"USERPROFILE", ""}});
  ASSERT_TRUE(home->ok()) << "no temporary folder";
  if (options_.trace) {
    ASSERT_TRUE(IniSettingsStore().write("TMV SPA", "VELKA", "TraceLOG", "True"));
  }
  sim = std::make_unique<sim::SimulatedRegister>(loop, options_.register_options);
  ASSERT_TRUE(sim->ok()) << sim->error();
  sim->setPaperSink([this](const std::string& line) { paper.push_back(line); });
  link = std::make_unique<sim::PortLink>(options_.port, sim->slavePath());
  ASSERT_TRUE(link->ok()) << link->error();
  ControlEnvironment environment;
  environment.loop = &loop;
  control = std::make_unique<TmvEcrVelka>(environment);
  control->setEventSink(&events);
  std::u16string port = Utf8ToUtf16(std::to_string(options_.port));
  ASSERT_EQ(control->TMVOpen(port), 0);
}

void SimControlFixture::TearDown() {
  if (control) control->TMVClose();
  control.reset();
  link.reset();
  sim.reset();
  home.reset();
}

std::u16string SimControlFixture::data(std::int32_t item) {
  std::vector<std::int32_t> none;
  std::u16string out;
  EXPECT_EQ(control->GetData(item, none, out), 0) << "DataItem " << item;
  return out;
}

std::int32_t SimControlFixture::direct(const std::u16string& command) {
  std::int32_t p = 0;
  std::u16string text = command;
  return control->DirectIO(0, p, text);
}

std::u16string SimControlFixture::ask(const std::u16string& request) {
  std::int32_t p = 0;
  std::u16string text = request, out;
  EXPECT_EQ(control->DirectIO2(0, p, text, out), 0) << Utf16ToUtf8(request);
  return out;
}

std::int32_t SimControlFixture::sell(const std::u16string& description, Currency price,
                                     std::int32_t quantity) {
  std::u16string d = description, unit;
  std::int32_t vat = 1, unit_price = 0;
  return control->PrintRecItem(d, price, quantity, vat, unit_price, unit);
}

std::int32_t SimControlFixture::pay(Currency payment, const std::u16string& description) {
  Currency total = 0;
  std::u16string d = description;
  return control->PrintRecTotal(total, payment, d);
}

std::vector<std::string> SimControlFixture::traceMessages() const {
  std::ifstream in(UserFolder() + kTraceFileName, std::ios::binary);
  std::vector<std::string> out;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (auto message = TraceMessage(line)) out.push_back(*message);
  }
  return out;
}

bool SimControlFixture::printed(const std::string& text) const {
  for (const std::string& line : paper) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

}  // namespace velka::testing
