#include "control/automation/entry_points.h"

#include "automation/activation/registration_record.h"
#include "automation/identity.h"
#include "control/automation/class_factory.h"
#include "control/automation/control_object.h"
#include "control/automation/last_error.h"
#include "control/core/library_version.h"
#include "platform/shared_library.h"
#include "platform/single_byte_text.h"

namespace velka {

namespace {

// The version record of the library: its version, and that it registers itself. A tool
// reading the library's file finds it with `strings`.
[[gnu::used]] const char kVersionRecord[] = "TMVVelka version 1.0.0.10 OLESelfRegister";

ClassRegistration ThisRegistration() {
  ClassRegistration r;
  r.prog_id = identity::kProgId;
  r.class_id = identity::kClassId;
  r.class_name = Utf16ToUtf8(identity::kClassName);
  // The file that holds this very code.
  r.library_path = PathOfLibraryHolding(reinterpret_cast<const void*>(&DllRegisterServer));
  r.library_id = identity::kLibraryId;
  r.type_library_name = Utf16ToUtf8(identity::kLibraryName);
  r.type_library_major = identity::kTypeLibraryMajor;
  r.type_library_minor = identity::kTypeLibraryMinor;
  r.locale = identity::kLocale;
  r.help_string = Utf16ToUtf8(identity::kHelpString);
  return r;
}

}  // namespace

}  // namespace velka

using velka::HResult;
namespace hresult = velka::hresult;

extern "C" HResult DllRegisterServer() {
  try {
    std::string error;
    if (velka::WriteClassRegistration(velka::ThisRegistration(), error)) return hresult::Ok;
    velka::SetLastErrorText("DllRegisterServer: " + error);
    return hresult::RegistrationFailed;
  } catch (...) {
    return hresult::RegistrationFailed;
  }
}

extern "C" HResult DllUnregisterServer() {
  try {
    std::string error;
    if (velka::RemoveClassRegistration(velka::identity::kProgId, velka::identity::kClassId,
                                       velka::identity::kLibraryId, error)) {
      return hresult::Ok;
    }
    velka::SetLastErrorText("DllUnregisterServer: " + error);
    return hresult::RegistrationFailed;
  } catch (...) {
    return hresult::RegistrationFailed;
  }
}

extern "C" HResult DllGetClassObject(const velka::Guid* class_id, const velka::Guid* interface_id,
                                     void** object) {
  if (!object) return hresult::Pointer;
  *object = nullptr;
  if (!class_id || !interface_id) return hresult::Pointer;
  if (!(*class_id == velka::identity::kClassId)) return hresult::ClassNotAvailable;
  if (!(*interface_id == velka::identity::kClassFactoryInterfaceId)) return hresult::NoInterface;
  velka::ClassFactory& factory = velka::TmvEcrVelkaClassFactory();
  factory.AddRef();
  *object = &factory;
  return hresult::Ok;
}

extern "C" HResult DllCanUnloadNow() {
  return velka::ControlObject::LiveObjects() == 0 && velka::ClassFactoryHolds() == 0
             ? hresult::Ok
             : hresult::False;
}
