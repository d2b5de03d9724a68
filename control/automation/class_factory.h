#pragma once
// The class factory of TmvEcrVelka as the automation contract defines it (ClassFactory in
// automation/dispatch.h): what DllGetClassObject hands a host that asks for
// identity::kClassFactoryInterfaceId, on every system.
#include "automation/dispatch.h"

namespace velka {

// The one factory of the library; AddRef before handing it out.
ClassFactory& TmvEcrVelkaClassFactory();

// References held on the factory and locks taken with LockServer (for DllCanUnloadNow).
long ClassFactoryHolds();

}  // namespace velka
