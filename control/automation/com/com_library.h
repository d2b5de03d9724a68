#pragma once
// What the COM objects of the library share: GUIDs of the automation contract as the system's
// GUID, the type library embedded in the DLL, the count of live COM objects (DllCanUnloadNow)
// and the site the controls made through COM get.
#include <oaidl.h>
#include <windows.h>

#include "automation/control_site.h"
#include "automation/guid.h"

namespace velka::com {

GUID ToGuid(const Guid& id);

// The type information of a type of the embedded type library (a dispatch interface or the
// class); the caller releases it.
HRESULT LibraryTypeInfo(const GUID& type, ITypeInfo** info);

// The file of this DLL.
std::wstring LibraryFile();

// COM objects of the library alive in the process.
void ObjectCreated();
void ObjectDestroyed();
long LiveComObjects();

// The site of a control made through COM: the event loop of the creating thread, which also
// outlives the control, so that a control released inside one of its own events is destroyed
// at the loop's next turn rather than under its own feet.
ControlSite* ThreadSite();

}  // namespace velka::com
