#pragma once
// The registration of the library's classes in the registry, as DllRegisterServer writes it
// and DllUnregisterServer removes it:
//
//   HKCR\TMVVelka.TmvEcrVelka\CLSID              the class of the programmatic identifier
//   HKCR\CLSID\{class}\InprocServer32            this DLL, apartment-threaded
//   HKCR\CLSID\{class}\ProgID, TypeLib, Version, Control, Programmable
//   HKCR\TMVVelka.EventRelay, HKCR\CLSID\{relay} the script event relay (com_event_relay.h)
//   HKCR\TypeLib\{library}\1.0 and HKCR\Interface\{_TmvEcrVelka}, {__TmvEcrVelka}
//                                                the embedded type library and its interfaces
#include <windows.h>

#include <string>

namespace velka::com {

// The class of the event relay, "TMVVelka.EventRelay".
extern const GUID kEventRelayClassId;
inline constexpr const wchar_t* kEventRelayProgId = L"TMVVelka.EventRelay";

// S_OK, or a failure with the reason in error.
HRESULT RegisterLibrary(std::string& error);
HRESULT UnregisterLibrary(std::string& error);

}  // namespace velka::com
