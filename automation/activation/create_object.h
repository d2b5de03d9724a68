#pragma once
// Activation of a registered control by its programmatic identifier, for C++ hosts: finds the
// registration (registration_record.h), loads the library it names, asks its class factory
// (DllGetClassObject) for a new instance with the host's site, and returns its Dispatch.
//
//   velka::CreatedObject created = velka::CreateObject("TMVVelka.TmvEcrVelka", &site);
//   if (!created) { report(created.error); return; }
//   velka::DispatchRef control = created.object;
//
// The library stays loaded for the life of the process. Link the static library
// velka_activation (no need to link the control's own sources).
#include <string>

#include "automation/dispatch.h"
#include "automation/guid.h"

namespace velka {

class ControlSite;

// The signature of DllGetClassObject: the class, the interface asked of its class object
// (identity::kClassFactoryInterfaceId for ClassFactory), and where to put it.
using GetClassObjectFunction = HResult (*)(const Guid* class_id, const Guid* interface_id,
                                           void** object);

struct CreatedObject {
  DispatchRef object;  // null on failure
  HResult status = hresult::Ok;
  std::string error;  // why not, for the user (empty on success)
  explicit operator bool() const { return static_cast<bool>(object); }
};

// site may be null (the control then runs an event loop of its own); it must outlive the
// object.
CreatedObject CreateObject(const std::string& prog_id, ControlSite* site = nullptr);

// The same from a library named by its path, without a registration: loads it and asks its
// class factory for the class. `who` names the object in error texts.
CreatedObject CreateObjectFromLibrary(const std::string& library_path, const Guid& class_id,
                                      const std::string& who, ControlSite* site = nullptr);

}  // namespace velka
