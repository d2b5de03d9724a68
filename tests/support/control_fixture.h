#pragma once
// A control on virtual time with a scripted register behind it, for the tests of the
// control's methods: the register acknowledges every "N" frame and answers it with the text
// that answerFor() gives for the command (a status "O" answer by default).
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "control/device/tmv_ecr_velka.h"
#include "platform/settings_store.h"
#include "tests/support/answering_register.h"
#include "tests/support/memory_trace_sink.h"
#include "tests/support/recording_events.h"
#include "tests/support/scripted_register.h"
#include "tests/support/virtual_event_loop.h"

namespace velka::testing {

// Settings kept in memory.
class MemorySettingsStore : public SettingsStore {
 public:
  std::optional<std::string> read(const std::string& application, const std::string& section,
                                  const std::string& key) override;
  bool write(const std::string& application, const std::string& section, const std::string& key,
             const std::string& value) override;
  bool writeUnflushed(const std::string& application, const std::string& section,
                      const std::string& key, const std::string& value) override;
  // The "TMV SPA"/"VELKA" values.
  std::map<std::string, std::string> velka;
  // The keys written unflushed, in order.
  std::vector<std::string> unflushed;
};

class ControlFixture : public ::testing::Test, public AnsweringRegister {
 protected:
  using R = ScriptedRegister;

  ControlFixture();
  ~ControlFixture() override;

  // TMVOpen("1"); expects 0.
  void open();
  // A string from UTF-8 for the automation-typed parameters.
  static std::u16string U(const std::string& text);

  VirtualEventLoop loop;
  std::shared_ptr<MemorySettingsStore> settings = std::make_shared<MemorySettingsStore>();
  std::vector<std::string> trace;
  RecordingEvents events;
  std::unique_ptr<TmvEcrVelka> control;
  ControlEnvironment environment();
  void create();
  // Ends the control (which writes "PackID" back), sets the settings, creates it anew.
  void recreateWith(const std::map<std::string, std::string>& values);
};

}  // namespace velka::testing
