#include "tests/automation/automation_fixture.h"

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
