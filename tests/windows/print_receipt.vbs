' A point-of-sale script on the COM face, run by cscript under Wine: creates the control by
' its programmatic identifier, receives its events through TMVVelka.EventRelay, opens the port
' given as the first argument, prints a receipt with the calls that print_receipt_linux.py makes
' on Linux (so the register sees the same frames from both) and reads ResultCode and
' PrinterState. Every line it prints is checked by scripts/test-windows.sh.
Option Explicit

Dim ecr, relay, events, port
events = ""
port = WScript.Arguments(0)

' The events this script takes, by name (TMVVelka.EventRelay calls them).
Class VelkaEvents
  Public Sub DirectIOEvent(Command, pData, pString)
    events = events & " DirectIOEvent"
    WScript.Echo "event DirectIOEvent " & Command & " " & pString
  End Sub
  Public Sub StatusUpdateEvent(Status)
    events = events & " StatusUpdateEvent(" & Status & ")"
  End Sub
End Class

Sub Expect(What, Code)
  WScript.Echo What & ": " & Code
  If Code <> 0 Then
    WScript.Echo "FAILED " & What & " ResultCodeExtended " & ecr.ResultCodeExtended
    WScript.Quit 1
  End If
End Sub

Set ecr = CreateObject("TMVVelka.TmvEcrVelka")
Set relay = CreateObject("TMVVelka.EventRelay")
relay.Connect ecr, New VelkaEvents
WScript.Echo ecr.DeviceDescription & ", version " & ecr.ControlObjectVersion
WScript.Echo "ResultCode before TMVOpen: " & ecr.ResultCode

Dim device, header, quantity, status, command, data
device = CStr(port)
Expect "TMVOpen", ecr.TMVOpen(device)
header = True
Expect "BeginFiscalReceipt", ecr.BeginFiscalReceipt(header)
WScript.Echo "PrinterState in the receipt: " & ecr.PrinterState
quantity = 0   ' taken as 1, and written back
Expect "PrintRecItem CAFFE", ecr.PrintRecItem("CAFFE", CCur(1.5), quantity, 1)
WScript.Echo "quantity written back: " & quantity & " (" & TypeName(quantity) & ")"
Expect "PrintRecItem CORNETTO", ecr.PrintRecItem("CORNETTO", 1.2)
Expect "PrintRecTotal", ecr.PrintRecTotal(CCur(2.7), 5, "CONTANTI")
header = False
Expect "EndFiscalReceipt", ecr.EndFiscalReceipt(header)
WScript.Echo "ResultCode: " & ecr.ResultCode & ", PrinterState: " & ecr.PrinterState
data = 0
command = "<</?s"
status = ""
Expect "DirectIO2 <</?s", ecr.DirectIO2(0, data, command, status)
WScript.Echo "register status: " & status
command = "<</?d"
Expect "DirectIO <</?d", ecr.DirectIO(1, data, command)
WScript.Echo "TMVClose: " & ecr.TMVClose()
WScript.Echo "events:" & events
relay.Disconnect
Set relay = Nothing
Set ecr = Nothing
WScript.Echo "receipt printed"
