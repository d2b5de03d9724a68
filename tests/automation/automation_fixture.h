#pragma once
// The control as a host meets it: the library registered in a temporary data folder, an
// instance activated by its programmatic identifier with a site that gives virtual time and a
// scripted register, and calls by dispatch identifier only.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "automation/activation/create_object.h"
#include "automation/control_site.h"
#include "automation/dispatch.h"
#include "tests/support/answering_register.h"
#include "tests/support/temporary_home.h"
#include "tests/support/virtual_event_loop.h"

namespace velka::testing {

// XDG_CONFIG_HOME and XDG_DATA_HOME in a new temporary folder that HOME points at, for the
// object's lifetime.
class HostHome : public TemporaryHome {
 public:
  HostHome()
      : TemporaryHome("velka-automation",
                      {{"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"}, {"HOME", ""}}) {}
  std::string dataHome() const { return at("data"); }
};

// The control library under test, loaded by its path in the build tree.
std::string ControlLibraryPath();
// A function of the control library's C entry points or C surface.
void* ControlLibrarySymbol(const char* name);

// Calls DllRegisterServer of the library.
HResult RegisterControlLibrary();
HResult UnregisterControlLibrary();
HResult ControlLibraryCanUnloadNow();

// Member identifiers as the job server and other clients use them.
constexpr DispId M(int k) {
  return MethodId(k);
}
constexpr DispId P(int k) {
  return PropertyId(k);
}

class AutomationFixture : public ::testing::Test, public AnsweringRegister {
 protected:
  using R = ScriptedRegister;

  AutomationFixture();
  ~AutomationFixture() override;

  // Invoke with arguments in declaration order; the result goes to `result`.
  HResult call(DispId id, std::vector<Variant> args = {},
               std::uint16_t kind = kInvokeMethod | kInvokePropertyGet);
  HResult put(DispId id, Variant value);
  // The Long result of a method or get; fails the test when the call is refused.
  std::int32_t callLong(DispId id, std::vector<Variant> args = {});
  // TMVOpen("1"), expecting 0.
  void open();

  HostHome home;
  VirtualEventLoop loop;
  MemoryPropertyStore properties;
  SimpleControlSite site;
  DispatchRef control;
  Variant result;
  InvokeError error;
  // Creates the instance (done by the constructor; again after a change of site).
  void activate();
};

}  // namespace velka::testing
