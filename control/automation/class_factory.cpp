#include "control/automation/class_factory.h"

#include <atomic>

#include "control/automation/control_object.h"

namespace velka {

namespace {

std::atomic<long> g_factory_holds{0};

class TmvEcrVelkaFactory final : public ClassFactory {
 public:
  std::uint32_t AddRef() override { return static_cast<std::uint32_t>(++g_factory_holds); }
  std::uint32_t Release() override {
    return static_cast<std::uint32_t>(g_factory_holds > 0 ? --g_factory_holds : 0);
  }
  HResult CreateInstance(ControlSite* site, Dispatch** object) override {
    return ControlObject::Create(site, object);
  }
  HResult LockServer(bool lock) override {
    if (lock) {
      ++g_factory_holds;
    } else if (g_factory_holds > 0) {
      --g_factory_holds;
    }
    return hresult::Ok;
  }
};

TmvEcrVelkaFactory g_factory;

}  // namespace

ClassFactory& TmvEcrVelkaClassFactory() {
  return g_factory;
}

long ClassFactoryHolds() {
  return g_factory_holds.load();
}

}  // namespace velka
