#include "tests/support/control_fixture.h"

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

bool MemorySettingsStore::writeUnflushed(const std::string& application, const std::string& section,
                                         const std::string& key, const std::string& value) {
  unflushed.push_back(key);
  return write(application, section, key, value);
}

ControlFixture::ControlFixture() {
  create();
}

ControlFixture::~ControlFixture() {
  control.reset();
}

ControlEnvironment ControlFixture::environment() {
  ControlEnvironment env;
  env.loop = &loop;
  env.settings = settings;
  env.makePort = [this](EventLoop&) { return newPort(loop); };
  env.openTraceFile = [this]() { return std::make_unique<MemoryTraceSink>(trace); };
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

}  // namespace velka::testing
