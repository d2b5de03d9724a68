#pragma once
// A control on virtual time with a scripted register behind it, for the tests of the
// control's methods: the register acknowledges every "N" frame and answers it with the text
// that answerFor() gives for the command (a status "O" answer by default).
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "control/core/control_events.h"
#include "control/core/trace_writer.h"
#include "control/device/tmv_ecr_velka.h"
#include "platform/settings_store.h"
#include "tests/support/scripted_port.h"
#include "tests/support/virtual_event_loop.h"

namespace velka::testing {

// Settings kept in memory.
class MemorySettingsStore : public SettingsStore {
 public:
  std::optional<std::string> read(const std::string& application, const std::string& section,
                                  const std::string& key) override;
  bool write(const std::string& application, const std::string& section, const std::string& key,
             const std::string& value) override;
  // The "TMV SPA"/"VELKA" values.
  std::map<std::string, std::string> velka;
};

class MemoryTraceSink : public TraceSink {
 public:
  bool writeLine(std::string_view line) override;
  std::vector<std::string>* lines;
  bool fail = false;
};

// Records every event with its arguments, as text ("StatusUpdateEvent 24").
class RecordingEvents : public ControlEvents {
 public:
  void DataEvent(std::int32_t Status) override;
  void StatusUpdateEvent(std::int32_t Status) override;
  void ErrorEvent(std::int32_t ResultCode, std::int32_t ResultCodeExtended, std::int32_t ErrorLocus,
                  std::int32_t& pErrorResponse) override;
  void OutputCompleteEvent(std::int32_t OutputID) override;
  void DirectIOEvent(std::int32_t Command, std::int32_t& pData, std::u16string& pString) override;
  void ReceiveDataEvent(const std::u16string& pString) override;

  std::vector<std::string> log;
  // What the host leaves in pErrorResponse (the preset value when not set).
  std::function<std::int32_t(std::int32_t preset)> errorResponse;
  std::function<void(const std::string& event)> onEvent;  // runs inside each event
};

// Answer frames as the register builds them: STX "01" D(3) "N" data-field check(2) ETX.
Bytes AnswerFrame(const std::string& data_field);
// A 21-byte status answer: kind "O" or "E", then the ten characters at offsets 8 to 17.
Bytes StatusAnswer(const std::string& fields11);
// "O" status without error, printer-state digit and further-answer flag as given.
Bytes OkStatus(char state_digit = '0', char further = '0');
// "E" status with condition letter, error number (four digits) and cleared-report flag.
Bytes ErrorStatus(char condition, int error_number, char report_when_cleared = '0');

// A data answer: kind character (anything but "O", "E" and "|"), then the text that the
// control leaves in AnswerData.
Bytes DataAnswer(const std::string& answer_data, char kind = 'D');

// The command texts of the frames in a run of written bytes (one per frame start).
std::vector<std::string> CommandsIn(const Bytes& written);

class ControlFixture : public ::testing::Test {
 protected:
  ControlFixture();
  ~ControlFixture() override;

  // TMVOpen("1"); expects 0.
  void open();
  // The register's answer to a command; the default answers OkStatus().
  std::function<Bytes(const std::string& command)> answerFor;
  // Command texts received by the register, in order, each once (retransmissions skipped).
  std::vector<std::string> commands;
  // False: the register stays silent (no ACK, no answer).
  bool acknowledge = true;
  // A string from UTF-8 for the automation-typed parameters.
  static std::u16string U(const std::string& text);

  VirtualEventLoop loop;
  std::shared_ptr<MemorySettingsStore> settings = std::make_shared<MemorySettingsStore>();
  std::vector<std::string> trace;
  ScriptedPort* port = nullptr;  // owned by the control
  RecordingEvents events;
  std::unique_ptr<TmvEcrVelka> control;
  ControlEnvironment environment();
  void create();
  // Ends the control (which writes "PackID" back), sets the settings, creates it anew.
  void recreateWith(const std::map<std::string, std::string>& values);

 private:
  void onWrite(const Bytes& bytes);
  Bytes pending_;
  Bytes last_frame_;
  Millis answer_delay_ms_ = 5;
};

}  // namespace velka::testing
