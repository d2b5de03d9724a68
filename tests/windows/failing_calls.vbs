' Calls that fail, from a script on the COM face under Wine: each must end with the control's
' result code or an automation error the script can read, never with a crash. The first
' argument is the port velka-sim serves; the second a port that no device stands behind.
Option Explicit

Dim ecr, other, relay, port, missing, result, device, header, text, released
port = WScript.Arguments(0)
missing = WScript.Arguments(1)
released = False

Sub Show(What, Value)
  WScript.Echo What & ": " & Value
End Sub

Sub ShowError(What)
  WScript.Echo What & ": error " & Err.Number & " (" & Hex(Err.Number) & ")"
  Err.Clear
End Sub

' A handler that lets go of the control while the control is raising the event.
Class ReleaseInEvent
  Public Sub DirectIOEvent(Command, pData, pString)
    If released Then Exit Sub
    released = True
    relay.Disconnect
    Set ecr = Nothing
    WScript.Echo "released the control inside DirectIOEvent"
  End Sub
End Class

Set ecr = CreateObject("TMVVelka.TmvEcrVelka")
Show "PrintXReport on a closed device", ecr.PrintXReport()
Show "ResultCode", ecr.ResultCode
device = CStr(missing)
Show "TMVOpen of a missing port", ecr.TMVOpen(device)
Show "ResultCode", ecr.ResultCode
device = "COM" & port
Show "TMVOpen of a name, not a number", ecr.TMVOpen(device)

On Error Resume Next
result = ecr.PrintRecItem("CAFFE", "one euro fifty")
ShowError "PrintRecItem with a text for the price"
ecr.ResultCode = 0
ShowError "writing the read-only ResultCode"
result = ecr.NoSuchMember()
ShowError "a member the control does not have"
result = ecr.PrintRecTotal(CCur(1))
ShowError "PrintRecTotal without its payment and description"
On Error GoTo 0

device = CStr(port)
Show "TMVOpen", ecr.TMVOpen(device)
Set other = CreateObject("TMVVelka.TmvEcrVelka")
device = CStr(port)
Show "TMVOpen of the port held by the first control", other.TMVOpen(device)
Set other = Nothing

Show "PrintRecTotal with no receipt open", ecr.PrintRecTotal(CCur(1), CCur(1), "CONTANTI")
Show "ResultCodeExtended", ecr.ResultCodeExtended
header = True
Show "BeginFiscalReceipt", ecr.BeginFiscalReceipt(header)
Show "PrintRecItem with a zero price", ecr.PrintRecItem("CAFFE", CCur(0))
Show "ResultCodeExtended", ecr.ResultCodeExtended
Show "PrintRecVoid", ecr.PrintRecVoid("ANNULLO")
Show "PrinterState", ecr.PrinterState
Show "DirectIO (an error of the register)", ecr.DirectIO(0, 0, "=C999")
Show "ResultCodeExtended", ecr.ResultCodeExtended

Set relay = CreateObject("TMVVelka.EventRelay")
relay.Connect ecr, New ReleaseInEvent
text = "<</?d"
result = ecr.DirectIO(1, 0, text)
Show "DirectIO whose event released the control", result
Show "control released", released
Set relay = Nothing
WScript.Echo "failing calls checked"
