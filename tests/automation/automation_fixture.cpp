#include "tests/automation/automation_fixture.h"

#include <stdlib.h>

#include <filesystem>

#include "automation/identity.h"
#include "platform/shared_library.h"

namespace velka::testing {

namespace {

void* ControlLibrary() {
  static void* library = [] {
    std::string error;
    void* handle = LoadSharedLibrary(ControlLibraryPath(), error);
    if (!handle) ADD_FAILURE() << "cannot load " << ControlLibraryPath() << ": " << error;
    return handle;
  }();
  return library;
}

using EntryPoint = HResult (*)();

HResult CallEntryPoint(const char* name) {
  auto entry = reinterpret_cast<EntryPoint>(ControlLibrarySymbol(name));
  return entry ? entry() : hresult::ProcNotFound;
}

}  // namespace

TemporaryHome::TemporaryHome() {
  std::string pattern = (std::filesystem::temp_directory_path() / "velka-automation-XXXXXX");
  if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "no temporary folder";
  path_ = pattern;
  for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME"}) {
    const char* old = ::getenv(name);
    saved_.emplace_back(name, old ? old : "\x01");  // \x01: was not set
  }
  ::setenv("XDG_CONFIG_HOME", (path_ + "/config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", dataHome().c_str(), 1);
  ::setenv("HOME", path_.c_str(), 1);
}

TemporaryHome::~TemporaryHome() {
  for (const auto& [name, value] : saved_) {
    if (value == "\x01") {
      ::unsetenv(name.c_str());
    } else {
      ::setenv(name.c_str(), value.c_str(), 1);
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ControlLibraryPath() {
  return VELKA_CONTROL_LIBRARY;
}

void* ControlLibrarySymbol(const char* name) {
  std::string error;
  void* symbol = FindLibrarySymbol(ControlLibrary(), name, error);
  if (!symbol) ADD_FAILURE() << name << ": " << error;
  return symbol;
}

HResult RegisterControlLibrary() {
  return CallEntryPoint("DllRegisterServer");
}
HResult UnregisterControlLibrary() {
  return CallEntryPoint("DllUnregisterServer");
}
HResult ControlLibraryCanUnloadNow() {
  return CallEntryPoint("DllCanUnloadNow");
}

AutomationFixture::AutomationFixture() {
  site.loop = &loop;
  site.store = &properties;
  site.make_port = [this](EventLoop&) { return newPort(loop); };
  EXPECT_EQ(RegisterControlLibrary(), hresult::Ok);
  activate();
}

AutomationFixture::~AutomationFixture() {
  control.reset();
  loop.advance(100);  // lets a deferred destruction run
}

void AutomationFixture::activate() {
  control.reset();
  CreatedObject created = CreateObject(identity::kProgId, &site);
  ASSERT_TRUE(created) << created.error;
  control = created.object;
}

HResult AutomationFixture::call(DispId id, std::vector<Variant> args, std::uint16_t kind) {
  result = Variant();
  return control->Invoke(id, kind, args, &result, &error);
}

HResult AutomationFixture::put(DispId id, Variant value) {
  std::vector<Variant> args{std::move(value)};
  result = Variant();
  return control->Invoke(id, kInvokePropertyPut, args, &result, &error);
}

std::int32_t AutomationFixture::callLong(DispId id, std::vector<Variant> args) {
  const HResult status = call(id, std::move(args));
  EXPECT_EQ(status, hresult::Ok) << HResultName(status) << ": " << error.description;
  EXPECT_EQ(result.type(), VarType::Long);
  return result.longValue();
}

void AutomationFixture::open() {
  ASSERT_EQ(callLong(M(21), {Variant::FromString(u"1")}), 0);
}

}  // namespace velka::testing
