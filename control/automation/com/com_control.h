#pragma once
// One TmvEcrVelka as a COM object: IDispatch over the member table (through the control's own
// Dispatch), events through a connection point for the source interface __TmvEcrVelka
// (IConnectionPointContainer), and IProvideClassInfo2, by which a script host finds the
// class's type information and its default source.
//
// Lifetime: every Invoke and every event delivery holds a reference, so a client may release
// the object from inside an event handler; the control itself then goes at the next turn of
// its thread's event loop (com_library.h).
#include <ocidl.h>
#include <windows.h>

namespace velka::com {

// A new object answering QueryInterface for riid, or a failure status.
HRESULT CreateComControl(REFIID riid, void** object);

}  // namespace velka::com
