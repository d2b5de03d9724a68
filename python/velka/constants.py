"""The control's numbers, named: result codes and extended codes with their meaning, the
values of StatusUpdateEvent, PrinterState and State, adjustment types, GetData items, report
types, and the response that clears an error in ErrorEvent."""
from __future__ import annotations

from enum import IntEnum


class ResultCode(IntEnum):
    """What every method returns (and ResultCode holds)."""
    SUCCESS = 0
    DEVICE_NOT_OPEN = 101
    NOT_ALLOWED = 106  # not allowed now, or an argument out of range
    NO_REGISTER = 107  # CTS not asserted, or the port not open
    ANSWER_REFUSED = 111
    TIMEOUT = 112
    LINK_BUSY = 113
    EXTENDED = 114  # see ResultCodeExtended
    OPEN_FAILED = 115


class ExtendedCode(IntEnum):
    """ResultCodeExtended after 114: the control's own checks and the register's conditions.
    Any other value is the register's own error number."""
    NONE = 0
    BAD_REPORT_RANGE = 106
    COVER_OPEN = 201
    ERROR_105 = 202
    PAPER_OUT = 203
    WRONG_STATE = 204
    BAD_QUANTITY = 205
    BAD_AMOUNT = 206
    BAD_DESCRIPTION = 207
    BAD_PRICE = 210
    BAD_DATE_TIME = 211


class StatusUpdate(IntEnum):
    """The Status of StatusUpdateEvent."""
    COVER_OPEN = 11
    COVER_CLOSED = 12
    ERROR_105 = 21
    ERROR_105_CLEARED = 23
    PAPER_OUT = 24
    PAPER_REPLACED = 26
    IDLE = 1001  # a condition cleared, or the asynchronous queue worked off


class PrinterState(IntEnum):
    IDLE = 1
    FISCAL_RECEIPT = 2
    PAYMENT_INCOMPLETE = 3
    RECEIPT_ENDING = 4
    NON_FISCAL = 9


class DeviceState(IntEnum):
    """The State property."""
    CLOSED = 1
    OPEN = 2


class AdjustmentType(IntEnum):
    """PrintRecItemAdjustment and PrintRecSubtotalAdjustment."""
    AMOUNT_DISCOUNT = 1
    AMOUNT_SURCHARGE = 2
    PERCENTAGE_DISCOUNT = 3
    PERCENTAGE_SURCHARGE = 4


class DataItem(IntEnum):
    """GetData items and the register's request each sends."""
    DAY_COUNTERS = 2  # <</?1
    CURRENT_RECEIPT = 4  # <</?r
    VAT_RATES = 5  # <</?5
    FISCAL_COUNTERS = 6  # <</?k
    PAYMENT_TOTALS = 7  # <</?7
    VAT_TOTALS = 8  # <</?8
    JOURNAL = 9  # <</?m
    FISCAL_MEMORY = 10  # <</?f
    SERIAL_NUMBER = 11  # <</?0
    STATUS = 12  # <</?s
    DATE_TIME = 13  # <</?d
    LAST_SETTING = 14  # <</?S
    LAST_RECEIPT = 15  # <</?u


class ReportType(IntEnum):
    """PrintReport: a range of Z numbers or of dates."""
    BY_NUMBER = 1
    BY_DATE = 2


class EventId(IntEnum):
    DataEvent = 1
    StatusUpdateEvent = 2
    ErrorEvent = 3
    OutputCompleteEvent = 4
    DirectIOEvent = 5
    ReceiveDataEvent = 6


# The Station of PrintNormal: the receipt.
STATION_RECEIPT = 2

# Left in pErrorResponse by an ErrorEvent handler: clear the error and pass the command over.
ERROR_RESPONSE_CLEAR = 12

RESULT_TEXT = {
    ResultCode.SUCCESS: "success",
    ResultCode.DEVICE_NOT_OPEN: "the device is not open",
    ResultCode.NOT_ALLOWED: "not allowed now, or an argument out of range",
    ResultCode.NO_REGISTER: "no register on the line",
    ResultCode.ANSWER_REFUSED: "the register's answer was faulty and refused",
    ResultCode.TIMEOUT: "time-out: no acknowledgement or no answer in time",
    ResultCode.LINK_BUSY: "the link is busy with another exchange",
    ResultCode.EXTENDED: "extended error",
    ResultCode.OPEN_FAILED: "the port could not be opened",
}

EXTENDED_TEXT = {
    ExtendedCode.BAD_REPORT_RANGE: "report range not valid",
    ExtendedCode.COVER_OPEN: "the printer cover is open",
    ExtendedCode.ERROR_105: "the register reports error 105",
    ExtendedCode.PAPER_OUT: "the paper has run out",
    ExtendedCode.WRONG_STATE: "the document state does not allow the call",
    ExtendedCode.BAD_QUANTITY: "quantity negative",
    ExtendedCode.BAD_AMOUNT: "amount, total or payment out of range",
    ExtendedCode.BAD_DESCRIPTION: "description or message too long, or message empty",
    ExtendedCode.BAD_PRICE: "price zero or negative",
    ExtendedCode.BAD_DATE_TIME: "date or time not valid",
}


def describe(result_code: int, extended: int = 0) -> str:
    """The meaning of a result code, with the extended code's after 114."""
    text = RESULT_TEXT.get(result_code, f"result {result_code}")  # type: ignore[call-overload]
    if result_code != ResultCode.EXTENDED:
        return text
    detail = EXTENDED_TEXT.get(extended)  # type: ignore[call-overload]
    return f"{text} {extended}: {detail or 'the register refused the command (its error number)'}"
