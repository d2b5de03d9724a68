// The entry points of the DLL as COM calls them: DllGetClassObject hands out the COM class
// factories of TmvEcrVelka and of the event relay (and, asked for the automation contract's
// ClassFactory, the factory C++ hosts use with a site of their own); DllCanUnloadNow counts
// the objects and the locks; DllRegisterServer and DllUnregisterServer write and remove the
// registry keys (com_registration.h).
#include <olectl.h>
#include <windows.h>

#include <atomic>
#include <new>

#include "automation/identity.h"
#include "control/automation/class_factory.h"
#include "control/automation/com/com_control.h"
#include "control/automation/com/com_event_relay.h"
#include "control/automation/com/com_library.h"
#include "control/automation/com/com_registration.h"
#include "control/automation/control_object.h"
#include "control/automation/last_error.h"

namespace velka::com {

namespace {

// The version record of the library: its version, and that it registers itself (the
// resource's VERSIONINFO says the same to Windows).
[[gnu::used]] const char kVersionRecord[] = "TMVVelka version 1.0.0.10 OLESelfRegister";

std::atomic<long> g_locks{0};

using Creator = HRESULT (*)(REFIID, void**);

// A COM class factory; static, so its references only count towards DllCanUnloadNow.
class ComClassFactory final : public IClassFactory {
 public:
  explicit ComClassFactory(Creator create) : create_(create) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    AddRef();
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++g_locks); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--g_locks); }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    try {
      return create_(riid, object);
    } catch (...) {
      return E_UNEXPECTED;
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++g_locks;
    } else {
      --g_locks;
    }
    return S_OK;
  }

 private:
  Creator create_;
};

ComClassFactory g_control_factory(CreateComControl);
ComClassFactory g_relay_factory(CreateEventRelay);

}  // namespace

}  // namespace velka::com

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID class_id, REFIID interface_id,
                                                    LPVOID* object) {
  using namespace velka::com;
  if (!object) return E_POINTER;
  *object = nullptr;
  if (class_id == ToGuid(velka::identity::kClassId)) {
    if (interface_id == ToGuid(velka::identity::kClassFactoryInterfaceId)) {
      velka::ClassFactory& factory = velka::TmvEcrVelkaClassFactory();
      factory.AddRef();
      *object = &factory;
      return S_OK;
    }
    return g_control_factory.QueryInterface(interface_id, object);
  }
  if (class_id == kEventRelayClassId) return g_relay_factory.QueryInterface(interface_id, object);
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  using namespace velka::com;
  return LiveComObjects() == 0 && velka::ControlObject::LiveObjects() == 0 && g_locks == 0 &&
                 velka::ClassFactoryHolds() == 0
             ? S_OK
             : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  std::string error;
  const HRESULT status = velka::com::RegisterLibrary(error);
  if (FAILED(status)) velka::SetLastErrorText("DllRegisterServer: " + error);
  return status;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  std::string error;
  const HRESULT status = velka::com::UnregisterLibrary(error);
  if (FAILED(status)) velka::SetLastErrorText("DllUnregisterServer: " + error);
  return status;
}
