"""FiscalPrinter: one TmvEcrVelka control, its methods and properties under the control's own
names, its events as lists of callbacks, and its event loop for asynchronous mode."""
from __future__ import annotations

import ctypes
from decimal import Decimal, InvalidOperation
from typing import Any, Callable, List, NamedTuple, Optional, Sequence, Tuple, Union

from . import _native
from ._native import (INVOKE_METHOD, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT, VT_BOOLEAN,
                      VT_BYREF, VT_CURRENCY, VT_INTEGER, VT_LONG, VT_LONG_ARRAY, VT_STRING,
                      LongArray, Variant)
from .constants import EventId
from .errors import CallRefused, VelkaError

# An amount of money: 1.5, "1.50", Decimal("1.5") or 2; at most four decimals.
Amount = Union[int, float, str, Decimal]

_CURRENCY_SCALE = 10000
_INT64 = (-(1 << 63), (1 << 63) - 1)


class Answer(NamedTuple):
    """The outcome of a member that hands back text: its result code and the text."""
    code: int
    text: str


def currency(amount: Amount) -> int:
    """An amount as the control's Currency: a count of ten-thousandths (1.5 is 15000)."""
    if isinstance(amount, bool):
        raise TypeError("an amount cannot be a bool")
    try:
        exact = Decimal(str(amount)) if isinstance(amount, float) else Decimal(amount)
        scaled = exact * _CURRENCY_SCALE
        if not scaled.is_finite() or scaled != scaled.to_integral_value():
            raise ValueError(f"{amount!r}: not an amount with at most four decimals")
    except InvalidOperation as error:
        raise ValueError(f"{amount!r} is not an amount") from error
    value = int(scaled)
    if not _INT64[0] <= value <= _INT64[1]:
        raise ValueError(f"{amount!r} is out of range")
    return value


class Event:
    """One event of the control. Handlers connected are called in the order they were
    connected, on the printer's thread, while the control waits for them."""

    def __init__(self, name: str) -> None:
        self.name = name
        self._handlers: List[Callable[..., Any]] = []

    def connect(self, handler: Callable[..., Any]) -> Callable[..., Any]:
        """Adds a handler (usable as a decorator); returns it."""
        self._handlers.append(handler)
        return handler

    def disconnect(self, handler: Callable[..., Any]) -> None:
        self._handlers.remove(handler)

    def _raise(self, *args: Any) -> List[Any]:
        return [handler(*args) for handler in list(self._handlers)]


class _Call:
    """The C variants of one call and the library strings they hold until it is over."""

    def __init__(self, library: ctypes.CDLL, args: Sequence[Tuple[str, Any]]) -> None:
        self._library = library
        self.variants = (Variant * max(1, len(args)))()
        self._strings: List[int] = []
        self._refs: List[Tuple[str, Any]] = []
        self._keep: List[Any] = []
        try:
            for variant, (kind, value) in zip(self.variants, args):
                self._fill(variant, kind, value)
        except BaseException:
            self.free()
            raise

    def _string(self, text: str) -> int:
        handle = _native.new_string(self._library, text)
        self._strings.append(handle)
        return handle

    def _fill(self, v: Variant, kind: str, value: Any) -> None:
        if kind == "long":
            v.type, v.value.long_value = VT_LONG, int(value)
        elif kind == "bool":
            v.type, v.value.boolean_value = VT_BOOLEAN, -1 if value else 0
        elif kind == "currency":
            v.type, v.value.currency_value = VT_CURRENCY, currency(value)
        elif kind == "string":
            v.type, v.value.string_value = VT_STRING, self._string(str(value))
        elif kind == "longs":
            values = [int(x) for x in value]
            data = (ctypes.c_int32 * max(1, len(values)))(*values)
            self._keep.append(data)
            v.type = VT_LONG_ARRAY
            v.value.array_value = LongArray(ctypes.cast(data, ctypes.POINTER(ctypes.c_int32)),
                                            len(values))
        elif kind == "string out":
            storage = ctypes.c_void_p(_native.new_string(self._library, str(value)))
            self._refs.append(("string", storage))
            v.type, v.value.string_ref = VT_STRING | VT_BYREF, ctypes.pointer(storage)
        else:
            raise AssertionError(kind)

    def written_back(self) -> List[str]:
        return [_native.text_of(self._library, storage.value) for _, storage in self._refs]

    def free(self) -> None:
        for handle in self._strings:
            self._library.velka_string_free(handle)
        for _, storage in self._refs:
            if storage.value:
                self._library.velka_string_free(storage.value)
        self._strings, self._refs, self._keep = [], [], []


def _long(value: int) -> Tuple[str, Any]:
    return ("long", value)


def _bool(value: bool) -> Tuple[str, Any]:
    return ("bool", value)


def _money(value: Amount) -> Tuple[str, Any]:
    return ("currency", value)


def _text(value: str) -> Tuple[str, Any]:
    return ("string", value)


def _text_out(value: str = "") -> Tuple[str, Any]:
    return ("string out", value)


class FiscalPrinter:
    """One TmvEcrVelka control.

    library: the path of libTMVVelka.so; None finds it through its registration.
    raise_errors: True raises VelkaError for a result code other than 0; False returns the
    code (a method's return value is its result code in both modes, 0 when it raised nothing).

    Every call, and every event, happens on the thread that created the printer. Release it
    with close() (or use it in a with block, which also calls TMVClose when it is open).

    Asynchronous mode (AsyncMode True): the queued commands are sent, and their events come,
    only while the printer's loop is turned: call process_events(), or watch fileno() in a
    loop of your own and call process_events(0) when it is readable (velka.aio does this for
    asyncio)."""

    def __init__(self, library: Optional[str] = None, *, raise_errors: bool = True,
                 prog_id: str = _native.PROG_ID) -> None:
        self._lib = _native.load_library(library)
        self._object: Optional[ctypes.c_void_p] = None
        self._ids: dict = {}
        self._pending: Optional[BaseException] = None
        self.raise_errors = raise_errors
        self.DataEvent = Event("DataEvent")
        self.StatusUpdateEvent = Event("StatusUpdateEvent")
        self.ErrorEvent = Event("ErrorEvent")
        self.OutputCompleteEvent = Event("OutputCompleteEvent")
        self.DirectIOEvent = Event("DirectIOEvent")
        self.ReceiveDataEvent = Event("ReceiveDataEvent")
        handle = ctypes.c_void_p()
        self._check("create", self._lib.velka_create(prog_id.encode(), ctypes.byref(handle)))
        self._object = handle
        self._callback = _native.EventCallback(self._on_event)  # alive as long as the object
        cookie = ctypes.c_uint32()
        self._check("advise", self._lib.velka_advise(self._object, self._callback, None,
                                                     ctypes.byref(cookie)))

    # ---- life of the object -------------------------------------------------------------

    def close(self) -> None:
        """Releases the control (its port and trace file close with it)."""
        if self._object:
            self._lib.velka_release(self._object)
            self._object = None

    def __enter__(self) -> "FiscalPrinter":
        return self

    def __exit__(self, *exc: Any) -> None:
        try:
            if self._object and self.State == 2:
                self._invoke("TMVClose", INVOKE_METHOD, ())
        finally:
            self.close()

    def __del__(self) -> None:
        if getattr(self, "_object", None):
            self.close()

    # ---- the event loop -----------------------------------------------------------------

    def process_events(self, max_wait_ms: int = 0) -> None:
        """Sleeps until the register sends bytes, a timer of the control is due or
        max_wait_ms have passed, then runs what is due; events are raised from here."""
        self._check("process_events",
                    self._lib.velka_process_events(self._handle(), int(max_wait_ms)))
        self._raise_pending()

    def fileno(self) -> int:
        """A descriptor that is readable while the control has work (bytes from the
        register, a timer due); on readable, call process_events(0). Never read or close it."""
        handle = ctypes.c_ssize_t(-1)
        self._check("event_handle",
                    self._lib.velka_event_handle(self._handle(), ctypes.byref(handle)))
        return handle.value

    def next_timer_ms(self) -> Optional[int]:
        """Milliseconds until the control's next timer is due; None when none runs."""
        wait = ctypes.c_int32(-1)
        self._check("next_timer_ms",
                    self._lib.velka_next_timer_ms(self._handle(), ctypes.byref(wait)))
        return None if wait.value < 0 else wait.value

    # ---- life cycle ---------------------------------------------------------------------

    def TMVOpen(self, DeviceName: Union[str, int]) -> int:
        """Opens the port of that number ("1" or 1)."""
        return self._method("TMVOpen", _text(str(DeviceName)))

    def TMVClose(self) -> int:
        return self._method("TMVClose")

    def ClearError(self) -> int:
        return self._method("ClearError")

    # ---- fiscal receipt -----------------------------------------------------------------

    def BeginFiscalReceipt(self, PrintHeader: bool = True) -> int:
        return self._method("BeginFiscalReceipt", _bool(PrintHeader))

    def PrintRecItem(self, Description: str, Price: Amount, Quantity: int = 1, VatInfo: int = 0,
                     UnitPrice: int = 0, UnitName: str = "") -> int:
        return self._method("PrintRecItem", _text(Description), _money(Price), _long(Quantity),
                            _long(VatInfo), _long(UnitPrice), _text(UnitName))

    def PrintRecItemAdjustment(self, AdjustmentType: int, Description: str, Amount: Amount,
                               VatInfo: int = 0) -> int:
        """AdjustmentType: velka.AdjustmentType; Amount is a percentage for types 3 and 4."""
        return self._method("PrintRecItemAdjustment", _long(AdjustmentType), _text(Description),
                            _money(Amount), _long(VatInfo))

    def PrintRecSubtotalAdjustment(self, AdjustmentType: int, Description: str,
                                   Amount: Amount) -> int:
        return self._method("PrintRecSubtotalAdjustment", _long(AdjustmentType),
                            _text(Description), _money(Amount))

    def PrintRecMessage(self, Message: str) -> int:
        return self._method("PrintRecMessage", _text(Message))

    def PrintRecTotal(self, Total: Amount, Payment: Amount, Description: str) -> int:
        """Description "1" to "5" is the payment type (1 cash); other text is printed."""
        return self._method("PrintRecTotal", _money(Total), _money(Payment), _text(Description))

    def PrintRecVoid(self, Description: str = "") -> int:
        return self._method("PrintRecVoid", _text(Description))

    def PrintRecSubtotal(self, Amount: Amount = 0) -> int:
        return self._method("PrintRecSubtotal", _money(Amount))

    def PrintRecRefund(self, Description: str, Amount: Amount, VatInfo: int = 0) -> int:
        return self._method("PrintRecRefund", _text(Description), _money(Amount), _long(VatInfo))

    def PrintRecNotPaid(self, Description: str, Amount: Amount) -> int:
        return self._method("PrintRecNotPaid", _text(Description), _money(Amount))

    def PrintRecVoidItem(self, Description: str, Amount: Amount, Quantity: int,
                         AdjustmentType: int = 0, Adjustment: Amount = 0,
                         VatInfo: int = 0) -> int:
        return self._method("PrintRecVoidItem", _text(Description), _money(Amount),
                            _long(Quantity), _long(AdjustmentType), _money(Adjustment),
                            _long(VatInfo))

    def EndFiscalReceipt(self, PrintHeader: bool = False) -> int:
        return self._method("EndFiscalReceipt", _bool(PrintHeader))

    # ---- non-fiscal printing ------------------------------------------------------------

    def BeginNonFiscal(self) -> int:
        return self._method("BeginNonFiscal")

    def PrintNormal(self, Station: int, Data: str) -> int:
        """Station 2 (velka.STATION_RECEIPT); Data is split into lines at LF."""
        return self._method("PrintNormal", _long(Station), _text(Data))

    def EndNonFiscal(self) -> int:
        return self._method("EndNonFiscal")

    # ---- reports and register settings --------------------------------------------------

    def PrintXReport(self) -> int:
        return self._method("PrintXReport")

    def PrintZReport(self) -> int:
        return self._method("PrintZReport")

    def PrintReport(self, ReportType: int, StartNum: str, EndNum: str) -> int:
        """ReportType: velka.ReportType; dates as DDMMYYYY."""
        return self._method("PrintReport", _long(ReportType), _text(StartNum), _text(EndNum))

    def PrintPeriodicTotalsReport(self, Date1: str, Date2: str) -> int:
        return self._method("PrintPeriodicTotalsReport", _text(Date1), _text(Date2))

    def SetDate(self, Data: str) -> int:
        """Data as DDMMYYYYHHMM."""
        return self._method("SetDate", _text(Data))

    def SetHeaderLine(self, LineNumber: int, Test: str, DoubleWidth: bool = False) -> int:
        return self._method("SetHeaderLine", _long(LineNumber), _text(Test), _bool(DoubleWidth))

    def SetVatValue(self, VatID: int, VatValue: str) -> int:
        """VatValue: a percentage as text, "22" or "22.5"."""
        return self._method("SetVatValue", _long(VatID), _text(str(VatValue)))

    def SetVatTable(self) -> int:
        return self._method("SetVatTable")

    # ---- queries and direct commands ----------------------------------------------------

    def GetDate(self) -> Answer:
        """The register's date and time as DDMMYYYYHHMM."""
        return self._answer("GetDate", _text_out())

    def GetData(self, DataItem: int, OptArgs: Sequence[int] = ()) -> Answer:
        """DataItem: velka.DataItem."""
        return self._answer("GetData", _long(DataItem), ("longs", OptArgs), _text_out())

    def DirectIO(self, Command: int, pData: int, pString: str) -> int:
        """Sends pString as it is; DirectIOEvent brings the register's answer."""
        return self._method("DirectIO", _long(Command), _long(pData), _text(pString))

    def DirectIO2(self, Command: int, pData: int, pString: str) -> Answer:
        """Sends pString as it is; the answer's text is the register's answer."""
        return self._answer("DirectIO2", _long(Command), _long(pData), _text(pString),
                            _text_out())

    # ---- properties ---------------------------------------------------------------------

    @property
    def ResultCode(self) -> int:
        return self._get("ResultCode")

    @property
    def ResultCodeExtended(self) -> int:
        return self._get("ResultCodeExtended")

    @property
    def State(self) -> int:
        """velka.DeviceState: 1 closed, 2 open."""
        return self._get("State")

    @property
    def PrinterState(self) -> int:
        """velka.PrinterState."""
        return self._get("PrinterState")

    @property
    def AsyncMode(self) -> bool:
        return self._get("AsyncMode")

    @AsyncMode.setter
    def AsyncMode(self, value: bool) -> None:
        self._put("AsyncMode", _bool(value))

    @property
    def TMVHighSpeed(self) -> bool:
        """True: 115200 baud from the next TMVOpen; False: 9600."""
        return self._get("TMVHighSpeed")

    @TMVHighSpeed.setter
    def TMVHighSpeed(self, value: bool) -> None:
        self._put("TMVHighSpeed", _bool(value))

    @property
    def OutputID(self) -> int:
        return self._get("OutputID")

    @property
    def ErrorOutID(self) -> int:
        return self._get("ErrorOutID")

    @property
    def ControlObjectDescription(self) -> str:
        return self._get("ControlObjectDescription")

    @property
    def ControlObjectVersion(self) -> int:
        return self._get("ControlObjectVersion")

    @property
    def ServiceObjectDescription(self) -> str:
        return self._get("ServiceObjectDescription")

    @property
    def DeviceDescription(self) -> str:
        return self._get("DeviceDescription")

    @property
    def DeviceName(self) -> str:
        return self._get("DeviceName")

    @property
    def CapIndependentHeader(self) -> bool:
        return self._get("CapIndependentHeader")

    @property
    def CapHasVatTable(self) -> bool:
        return self._get("CapHasVatTable")

    @property
    def CapAmountNotPaid(self) -> bool:
        return self._get("CapAmountNotPaid")

    @property
    def CapAmountAdjustment(self) -> bool:
        return self._get("CapAmountAdjustment")

    @property
    def CapPercentAdjustment(self) -> bool:
        return self._get("CapPercentAdjustment")

    @property
    def CapAdditionalLines(self) -> bool:
        return self._get("CapAdditionalLines")

    @property
    def CapNonFiscalMode(self) -> bool:
        return self._get("CapNonFiscalMode")

    @property
    def NumHeaderLines(self) -> bool:
        return self._get("NumHeaderLines")

    # ---- the calls ----------------------------------------------------------------------

    def _handle(self) -> ctypes.c_void_p:
        if not self._object:
            raise ValueError("the printer has been closed")
        return self._object

    def _check(self, what: str, status: int) -> None:
        if status < 0:
            raise CallRefused(what, status, _native.last_error(self._lib))

    def _raise_pending(self) -> None:
        """A handler's exception, raised where the host's call into the control returns."""
        pending, self._pending = self._pending, None
        if pending is not None:
            raise pending

    def _dispid(self, name: str) -> int:
        dispid = self._ids.get(name)
        if dispid is None:
            found = ctypes.c_int32(-1)
            self._check(name, self._lib.velka_get_id(self._handle(), name.encode(),
                                                     ctypes.byref(found)))
            dispid = self._ids[name] = found.value
        return dispid

    def _invoke(self, name: str, kind: int,
                args: Sequence[Tuple[str, Any]]) -> Tuple[Any, List[str]]:
        dispid = self._dispid(name)
        call = _Call(self._lib, args)
        result = Variant()
        try:
            status = self._lib.velka_invoke(self._handle(), dispid, kind, call.variants,
                                            len(args), ctypes.byref(result))
            self._check(name, status)
            self._raise_pending()
            return self._value(result), call.written_back()
        finally:
            self._lib.velka_variant_clear(ctypes.byref(result))
            call.free()

    def _value(self, v: Variant) -> Any:
        if v.type == VT_LONG:
            return v.value.long_value
        if v.type == VT_INTEGER:
            return v.value.integer_value
        if v.type == VT_BOOLEAN:
            return v.value.boolean_value != 0
        if v.type == VT_CURRENCY:
            return Decimal(v.value.currency_value) / _CURRENCY_SCALE
        if v.type == VT_STRING:
            return _native.text_of(self._lib, v.value.string_value)
        return None

    def _outcome(self, name: str, code: int) -> int:
        if code != 0 and self.raise_errors:
            raise VelkaError(name, code, self.ResultCodeExtended)
        return code

    def _method(self, name: str, *args: Tuple[str, Any]) -> int:
        code, _ = self._invoke(name, INVOKE_METHOD, args)
        return self._outcome(name, code)

    def _answer(self, name: str, *args: Tuple[str, Any]) -> Answer:
        code, texts = self._invoke(name, INVOKE_METHOD, args)
        return Answer(self._outcome(name, code), texts[-1])

    def _get(self, name: str) -> Any:
        value, _ = self._invoke(name, INVOKE_PROPERTYGET, ())
        return value

    def _put(self, name: str, value: Tuple[str, Any]) -> None:
        self._invoke(name, INVOKE_PROPERTYPUT, (value,))

    # ---- events -------------------------------------------------------------------------

    def _argument(self, v: Variant) -> Any:
        by_ref = bool(v.type & VT_BYREF)
        kind = v.type & ~VT_BYREF
        if kind == VT_LONG:
            return v.value.long_ref[0] if by_ref else v.value.long_value
        if kind == VT_STRING:
            handle = v.value.string_ref[0] if by_ref else v.value.string_value
            return _native.text_of(self._lib, handle)
        return self._value(v)

    def _on_event(self, _context: Any, event_id: int, args: Any, count: int) -> None:
        try:
            values = [self._argument(args[i]) for i in range(count)]
            event = getattr(self, EventId(event_id).name)
            returned = event._raise(*values)
            if event_id == EventId.ErrorEvent and count == 4:
                # The last handler that gave a response decides it (12 clears the error).
                for response in returned:
                    if response is not None:
                        args[3].value.long_ref[0] = int(response)
        except BaseException as error:  # the control goes on; the host sees it on return
            if self._pending is None:
                self._pending = error
