// Creation, persistent settings, TMVOpen/TMVClose, properties and ClearError.
#include <gtest/gtest.h>

#include "automation/control_site.h"
#include "control/link/register_link.h"
#include "tests/support/control_fixture.h"

namespace velka::testing {
namespace {

class Lifecycle : public ControlFixture {};

class MapPropertyStore : public PropertyStore {
 public:
  std::optional<bool> readBool(const std::string& name) override {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  void writeBool(const std::string& name, bool value, bool) override { values[name] = value; }
  std::map<std::string, bool> values;
};

TEST_F(Lifecycle, NewInstanceHasTheValuesOfCreation) {
  const ControlState& s = control->state();
  EXPECT_EQ(control->ResultCode(), 101);
  EXPECT_EQ(control->ResultCodeExtended(), 0);
  EXPECT_EQ(control->State(), 1);
  EXPECT_EQ(control->PrinterState(), 1);
  EXPECT_EQ(control->OutputID(), 0);
  EXPECT_EQ(control->ErrorOutID(), 0);
  EXPECT_FALSE(control->AsyncMode());
  EXPECT_FALSE(control->TMVHighSpeed());
  EXPECT_FALSE(s.DeviceOpen);
  EXPECT_FALSE(s.LinkFree);
  EXPECT_EQ(s.QueueLast, -1);
  for (auto rate : s.VatRates) EXPECT_EQ(rate, 0);
  EXPECT_EQ(control->link().tmrTimeout().interval(), 3000);
  EXPECT_EQ(control->link().tmrData().interval(), 30000);
  EXPECT_EQ(control->link().tmrAvvio().interval(), 50);
  EXPECT_FALSE(control->link().tmrTimeout().isActive());
  EXPECT_FALSE(control->link().tmrData().isActive());
  EXPECT_FALSE(control->link().tmrAvvio().isActive());
}

TEST_F(Lifecycle, FixedPropertiesAreConstants) {
  EXPECT_EQ(control->ControlObjectVersion(), 1001001);
  EXPECT_EQ(control->DeviceDescription(), u"TMV - VELKA PRINTER");
  EXPECT_EQ(control->DeviceName(), u"TMV - VELKA PRINTER");
  EXPECT_FALSE(control->ControlObjectDescription().empty());
  EXPECT_FALSE(control->ServiceObjectDescription().empty());
  EXPECT_FALSE(control->CapIndependentHeader());
  EXPECT_TRUE(control->CapHasVatTable());
  EXPECT_TRUE(control->CapAmountNotPaid());
  EXPECT_TRUE(control->CapAmountAdjustment());
  EXPECT_TRUE(control->CapPercentAdjustment());
  EXPECT_TRUE(control->CapAdditionalLines());
  EXPECT_TRUE(control->CapNonFiscalMode());
  EXPECT_TRUE(control->NumHeaderLines());  // a Boolean, not a line count
}

TEST_F(Lifecycle, CreationWritesTheMissingDefaults) {
  EXPECT_EQ(settings->velka["TraceLOG"], "False");
  EXPECT_EQ(settings->velka["ProgTraceLOG"], "1");
  EXPECT_EQ(settings->velka["ProgDataLOG"], "06/12/2026");
  EXPECT_FALSE(control->state().TraceOn);
  EXPECT_EQ(settings->velka.count("PackID"), 0u);  // written at termination only
  control.reset();
  EXPECT_EQ(settings->velka["PackID"], "0");
}

TEST_F(Lifecycle, CreationKeepsPresentNumbering) {
  control.reset();
  settings->velka = {{"ProgTraceLOG", "5"}, {"ProgDataLOG", "01/01/2026"}, {"TraceLOG", "0"}};
  create();
  EXPECT_EQ(settings->velka["ProgTraceLOG"], "5");
  EXPECT_EQ(settings->velka["ProgDataLOG"], "01/01/2026");
  EXPECT_EQ(settings->velka["TraceLOG"], "0");
}

TEST_F(Lifecycle, TraceLogSettingAsBoolean) {
  const std::pair<const char*, bool> rows[] = {
      {"true", true}, {"TRUE", true}, {" True ", true}, {"false", false}, {"1", true},
      {"-1", true},   {"0", false},   {"2.5", true},    {"yes", false},   {"on", false},
  };
  for (const auto& [text, on] : rows) {
    recreateWith({{"TraceLOG", text}});
    EXPECT_EQ(control->state().TraceOn, on) << text;
    EXPECT_EQ(settings->velka["TraceLOG"], text) << "present values are not rewritten";
  }
  recreateWith({{"TraceLOG", "   "}});
  EXPECT_FALSE(control->state().TraceOn);
  EXPECT_EQ(settings->velka["TraceLOG"], "False");
}

TEST_F(Lifecycle, PackIdFromSettingsIsUsedAndWrittenBack) {
  recreateWith({{"PackID", "7"}});
  open();
  control->ClearError();
  ASSERT_FALSE(port->written().empty());
  const Bytes& frame = port->written().front().bytes;
  EXPECT_EQ(frame[7 + 2], '7');  // "=K" then the sequence digit
  control.reset();
  EXPECT_EQ(settings->velka["PackID"], "8");
}

// A control killed before its termination leaves the digit its next frame would have taken,
// written cheaply after each frame.
TEST_F(Lifecycle, PackIdIsKeptAfterEveryFrame) {
  recreateWith({{"PackID", "8"}});
  open();
  control->ClearError();
  EXPECT_EQ(settings->velka["PackID"], "9");
  control->ClearError();
  EXPECT_EQ(settings->velka["PackID"], "0");
  EXPECT_EQ(settings->unflushed, (std::vector<std::string>{"PackID", "PackID"}));
}

TEST_F(Lifecycle, PackIdOutsideTheDigitRangeStartsFromZero) {
  for (const char* text : {"12", "-3", "abc", "", "9.7"}) {
    recreateWith({{"PackID", text}});
    EXPECT_EQ(control->state().PackID, 0) << text;
  }
  recreateWith({{"PackID", " 4xyz"}});
  EXPECT_EQ(control->state().PackID, 4);
}

TEST_F(Lifecycle, OpenConfiguresThePortAndTheState) {
  control->setAsyncMode(true);
  std::u16string name = u"1";
  EXPECT_EQ(control->TMVOpen(name), 0);
  EXPECT_EQ(port->lastPortNumber(), 1);
  EXPECT_EQ(port->baud(), 9600);
  EXPECT_EQ(port->receiveThreshold(), 0);
  EXPECT_EQ(control->State(), 2);
  EXPECT_EQ(control->ResultCode(), 0);
  EXPECT_FALSE(control->AsyncMode()) << "TMVOpen always leaves AsyncMode off";
  EXPECT_TRUE(control->state().LinkFree);
}

TEST_F(Lifecycle, HighSpeedTakesEffectAtTheNextOpen) {
  control->setTMVHighSpeed(true);
  open();
  EXPECT_EQ(port->baud(), 115200);
}

TEST_F(Lifecycle, OpenFailures) {
  std::u16string letter = u"A1";
  EXPECT_EQ(control->TMVOpen(letter), 115);
  EXPECT_EQ(control->ResultCode(), 115);
  EXPECT_EQ(control->State(), 1);
  std::u16string huge = u"70000";
  EXPECT_EQ(control->TMVOpen(huge), 115);
  port->failNextOpen("port in use");
  std::u16string one = u"1";
  EXPECT_EQ(control->TMVOpen(one), 115);
  EXPECT_FALSE(control->state().DeviceOpen);
  EXPECT_EQ(control->TMVOpen(one), 0);
}

TEST_F(Lifecycle, NoClearToSendGives107WithThePortOpen) {
  port->setCts(false);
  std::u16string name = u"1";
  EXPECT_EQ(control->TMVOpen(name), 107);
  EXPECT_EQ(control->State(), 2);
  port->setCts(true);
  EXPECT_EQ(control->TMVOpen(name), 0);
  EXPECT_EQ(port->openCount(), 1) << "a second TMVOpen does not reconfigure the port";
}

TEST_F(Lifecycle, SecondOpenKeepsTheDocumentState) {
  open();
  control->state().PrinterState = 2;
  control->state().OutputID = 5;
  open();
  EXPECT_EQ(control->PrinterState(), 2);
  EXPECT_EQ(control->OutputID(), 5);
}

TEST_F(Lifecycle, CloseKeepsPrinterStateAndOpenResetsIt) {
  open();
  control->state().PrinterState = 2;
  EXPECT_EQ(control->TMVClose(), 0);
  EXPECT_EQ(control->State(), 1);
  EXPECT_EQ(control->PrinterState(), 2);
  EXPECT_FALSE(port->isOpen());
  EXPECT_EQ(control->TMVClose(), 101);
  EXPECT_EQ(control->ResultCode(), 101);
  open();
  EXPECT_EQ(control->PrinterState(), 1);
}

TEST_F(Lifecycle, PropertyPutsSetResultCodeEvenAfterAFailure) {
  std::u16string bad = u"X";
  control->TMVOpen(bad);
  control->setTMVHighSpeed(false);
  EXPECT_EQ(control->ResultCode(), 0);
  control->TMVOpen(bad);
  control->setAsyncMode(false);
  EXPECT_EQ(control->ResultCode(), 0);
}

TEST_F(Lifecycle, HostPropertyHandling) {
  MapPropertyStore store;
  control->InitNew();
  EXPECT_EQ(control->ResultCode(), 101);
  EXPECT_FALSE(control->ImgVelkaVisible());
  store.values["AsyncMode"] = true;
  create();
  control->LoadProperties(store);
  EXPECT_TRUE(control->AsyncMode());
  EXPECT_EQ(control->ResultCode(), 0) << "loading assigns AsyncMode through the property";
  control->setAsyncMode(false);
  control->SaveProperties(store);
  EXPECT_FALSE(store.values["AsyncMode"]);
  MapPropertyStore empty;
  create();
  control->LoadProperties(empty);
  EXPECT_FALSE(control->AsyncMode());
  int width = 0, height = 0;
  control->Resize(width, height);
  EXPECT_GT(width, 0);
  EXPECT_GT(height, 0);
}

TEST_F(Lifecycle, DesignModeShowsThePicture) {
  auto env = environment();
  env.designMode = true;
  control = std::make_unique<TmvEcrVelka>(env);
  control->InitNew();
  EXPECT_TRUE(control->ImgVelkaVisible());
}

TEST_F(Lifecycle, ClearErrorBeforeTheFirstOpenFindsTheLinkBusy) {
  control->state().ResultCodeExtended = 55;
  EXPECT_EQ(control->ClearError(), 113);
  EXPECT_TRUE(port->written().empty());
  EXPECT_EQ(control->ResultCodeExtended(), 0);
  EXPECT_EQ(control->ResultCode(), 101) << "ClearError does not store its result";
}

TEST_F(Lifecycle, ClearErrorSendsTheClearingCommand) {
  open();
  control->state().ResultCodeExtended = 201;
  EXPECT_EQ(control->ClearError(), 0);
  EXPECT_EQ(commands, std::vector<std::string>{"=K"});
  EXPECT_EQ(control->ResultCodeExtended(), 0);
}

TEST_F(Lifecycle, TraceBannersFrameEachOpening) {
  recreateWith({{"TraceLOG", "True"}});
  open();
  control->TMVClose();
  open();
  control.reset();
  const std::vector<std::string> expected = {
      " ",
      "---- Inizio Trace ----  06/12/2026 18:30:00 v:1.0.10",
      "---- Fine   Trace ----  06/12/2026 18:30:00",
      " ",
      "---- Inizio Trace ----  06/12/2026 18:30:00 v:1.0.10",
      "---- Fine   Trace ----  06/12/2026 18:30:00",
  };
  EXPECT_EQ(trace, expected);
}

TEST_F(Lifecycle, TraceFileThatCannotBeOpenedFailsTheOpen) {
  recreateWith({{"TraceLOG", "True"}});
  auto env = environment();
  env.openTraceFile = [] { return std::unique_ptr<TraceSink>(); };
  control = std::make_unique<TmvEcrVelka>(env);
  std::u16string name = u"1";
  EXPECT_EQ(control->TMVOpen(name), 115);
  EXPECT_TRUE(control->state().DeviceOpen) << "what the open already did stays done";
  EXPECT_EQ(control->TMVClose(), 0);
}

TEST_F(Lifecycle, TraceLinesOfTheLinkCarryMarkAndDate) {
  recreateWith({{"TraceLOG", "True"}});
  open();
  control->ClearError();
  ASSERT_GE(trace.size(), 3u);
  EXPECT_EQ(trace[2].rfind("> 06/12/2026 18:30:00 - Invio ", 0), 0u) << trace[2];
}

}  // namespace
}  // namespace velka::testing
