#include "tests/support/control_fixture.h"

#include <algorithm>
#include <cstdio>

#include "control/link/frame_codec.h"
#include "platform/single_byte_text.h"

namespace velka::testing {

std::optional<std::string> MemorySettingsStore::read(const std::string& application,
                                                     const std::string& section,
                                                     const std::string& key) {
  if (application != "TMV SPA" || section != "VELKA") return std::nullopt;
  auto it = velka.find(key);
  if (it == velka.end()) return std::nullopt;
  return it->second;
}

bool MemorySettingsStore::write(const std::string& application, const std::string& section,
                                const std::string& key, const std::string& value) {
  if (application != "TMV SPA" || section != "VELKA") return false;
  velka[key] = value;
  return true;
}

bool MemoryTraceSink::writeLine(std::string_view line) {
  if (fail) return false;
  lines->emplace_back(line);
  return true;
}

void RecordingEvents::DataEvent(std::int32_t Status) {
  log.push_back("DataEvent " + std::to_string(Status));
  if (onEvent) onEvent(log.back());
}
void RecordingEvents::StatusUpdateEvent(std::int32_t Status) {
  log.push_back("StatusUpdateEvent " + std::to_string(Status));
  if (onEvent) onEvent(log.back());
}
void RecordingEvents::ErrorEvent(std::int32_t ResultCode, std::int32_t ResultCodeExtended,
                                 std::int32_t ErrorLocus, std::int32_t& pErrorResponse) {
  log.push_back("ErrorEvent " + std::to_string(ResultCode) + " " +
                std::to_string(ResultCodeExtended) + " " + std::to_string(ErrorLocus) + " " +
                std::to_string(pErrorResponse));
  if (errorResponse) pErrorResponse = errorResponse(pErrorResponse);
  if (onEvent) onEvent(log.back());
}
void RecordingEvents::OutputCompleteEvent(std::int32_t OutputID) {
  log.push_back("OutputCompleteEvent " + std::to_string(OutputID));
  if (onEvent) onEvent(log.back());
}
void RecordingEvents::DirectIOEvent(std::int32_t Command, std::int32_t& pData,
                                    std::u16string& pString) {
  log.push_back("DirectIOEvent " + std::to_string(Command) + " " + std::to_string(pData) + " " +
                Utf16ToUtf8(pString));
  if (onEvent) onEvent(log.back());
}
void RecordingEvents::ReceiveDataEvent(const std::u16string& pString) {
  log.push_back("ReceiveDataEvent " + Utf16ToUtf8(pString));
  if (onEvent) onEvent(log.back());
}

Bytes AnswerFrame(const std::string& data_field) {
  char length[24];
  std::snprintf(length, sizeof length, "%03zu", data_field.size() % 1000);
  std::string text = std::string(1, '\x02') + "01" + length + "N" + data_field;
  std::uint8_t check = 0;
  for (unsigned char c : text) check ^= c;
  char digits[8];
  std::snprintf(digits, sizeof digits, "%02X", check);
  text += digits;
  text += '\x03';
  return Bytes(text.begin(), text.end());
}

Bytes StatusAnswer(const std::string& fields11) {
  return AnswerFrame(fields11);
}

Bytes OkStatus(char state_digit, char further) {
  // Offsets 7..17: kind, 8..12 not read, 13 "0", 14 state digit, 15 further, 16..17 spare.
  return StatusAnswer(std::string("O00000") + '0' + state_digit + further + "00");
}

Bytes ErrorStatus(char condition, int error_number, char report_when_cleared) {
  char number[12];
  std::snprintf(number, sizeof number, "%04d", (error_number % 10000 + 10000) % 10000);
  return StatusAnswer(std::string("E") + condition + number + "00" + report_when_cleared + "00");
}

Bytes DataAnswer(const std::string& answer_data, char kind) {
  return AnswerFrame(std::string(1, kind) + answer_data);
}

std::vector<std::string> CommandsIn(const Bytes& written) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (written[i] != link::STX || i + 7 > written.size()) continue;
    const std::string head(written.begin() + i + 3, written.begin() + i + 6);
    const std::size_t length = std::stoul(head);
    if (i + 7 + length > written.size()) continue;
    out.emplace_back(written.begin() + i + 7, written.begin() + i + 7 + length);
    i += 6 + length;
  }
  return out;
}

ControlFixture::ControlFixture() {
  answerFor = [](const std::string&) { return OkStatus(); };
  create();
}

ControlFixture::~ControlFixture() {
  control.reset();
}

ControlEnvironment ControlFixture::environment() {
  ControlEnvironment env;
  env.loop = &loop;
  env.settings = settings;
  env.makePort = [this](EventLoop&) {
    auto scripted = std::make_unique<ScriptedPort>(loop);
    port = scripted.get();
    port->onWrite([this](const Bytes& bytes) { onWrite(bytes); });
    return scripted;
  };
  env.openTraceFile = [this]() {
    auto sink = std::make_unique<MemoryTraceSink>();
    sink->lines = &trace;
    return sink;
  };
  env.clock = [] { return LocalDateTime{2026, 12, 6, 18, 30, 0}; };
  return env;
}

void ControlFixture::create() {
  control.reset();
  control = std::make_unique<TmvEcrVelka>(environment());
  control->setEventSink(&events);
}

void ControlFixture::recreateWith(const std::map<std::string, std::string>& values) {
  control.reset();
  for (const auto& [key, value] : values) settings->velka[key] = value;
  create();
}

void ControlFixture::open() {
  std::u16string port_name = u"1";
  ASSERT_EQ(control->TMVOpen(port_name), 0);
}

std::u16string ControlFixture::U(const std::string& text) {
  return Utf8ToUtf16(text);
}

void ControlFixture::onWrite(const Bytes& bytes) {
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  // Single reply bytes of the control (ACK/NACK after an unacknowledged frame) carry no command.
  while (true) {
    auto stx = std::find(pending_.begin(), pending_.end(), link::STX);
    if (stx == pending_.end()) {
      pending_.clear();
      return;
    }
    auto etx = std::find(stx, pending_.end(), link::ETX);
    if (etx == pending_.end()) {
      pending_.erase(pending_.begin(), stx);
      return;
    }
    Bytes frame(stx, etx + 1);
    pending_.erase(pending_.begin(), etx + 1);
    if (frame.size() < 11) continue;
    const std::string command(frame.begin() + 7, frame.end() - 4);
    if (frame != last_frame_ || commands.empty()) commands.push_back(command);
    last_frame_ = frame;
    if (frame[6] == 'V' || !acknowledge) continue;
    Bytes reply{link::ACK};
    Bytes answer = answerFor(command);
    reply.insert(reply.end(), answer.begin(), answer.end());
    port->sendAfter(answer_delay_ms_, reply);
  }
}

}  // namespace velka::testing
