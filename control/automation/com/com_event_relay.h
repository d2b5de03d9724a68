#pragma once
// TMVVelka.EventRelay: the control's events for script hosts that cannot connect to a
// connection point themselves (Wine's script host, for one, binds no event prefix). A script
// hands it the control and an object whose methods carry the events' names:
//
//   Class VelkaEvents
//     Public Sub DirectIOEvent(Command, pData, pString) ... End Sub
//     Public Sub ErrorEvent(ResultCode, ResultCodeExtended, ErrorLocus, pErrorResponse) ...
//   End Class
//   Set relay = CreateObject("TMVVelka.EventRelay")
//   relay.Connect ecr, New VelkaEvents
//
// The relay connects a sink to the control's __TmvEcrVelka connection point, as any COM
// client does, and calls the handler's method of the event's name, when it has one, with the
// event's arguments. The parameters refer to the event's arguments: what the method assigns
// to a by-reference one (pErrorResponse of ErrorEvent) goes back to the control.
// relay.Disconnect, or the relay's release, ends the connection.
#include <windows.h>

namespace velka::com {

HRESULT CreateEventRelay(REFIID riid, void** object);

}  // namespace velka::com
