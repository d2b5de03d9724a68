#pragma once
// The entry points every self-registering control library exports, with C linkage:
//
//   DllRegisterServer    writes the registration of the class, its programmatic identifier
//                        and its type library (registration_record.h), naming this library's
//                        own path; Ok, or RegistrationFailed.
//   DllUnregisterServer  removes them; Ok, or RegistrationFailed when a file stays.
//   DllGetClassObject    the ClassFactory of TmvEcrVelka (interface
//                        identity::kClassFactoryInterfaceId), with one reference.
//   DllCanUnloadNow      Ok when no instance, class factory reference or lock is left, else
//                        False.
#include "automation/guid.h"
#include "automation/hresult.h"
#include "automation/library_export.h"

extern "C" {
VELKA_EXPORT velka::HResult DllRegisterServer();
VELKA_EXPORT velka::HResult DllUnregisterServer();
VELKA_EXPORT velka::HResult DllGetClassObject(const velka::Guid* class_id,
                                              const velka::Guid* interface_id, void** object);
VELKA_EXPORT velka::HResult DllCanUnloadNow();
}
