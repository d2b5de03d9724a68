"""velka: the TmvEcrVelka fiscal-printer control of libTMVVelka.so, from Python, with the
standard library only (ctypes over the control's C surface).

    import velka
    with velka.FiscalPrinter() as printer:      # the registered library, or a path given
        printer.TMVOpen(1)
        printer.BeginFiscalReceipt()
        printer.PrintRecItem("CAFFE", 1.5, 2, 1)
        printer.PrintRecTotal(3, 5, "1")
        printer.EndFiscalReceipt()

A result code other than 0 raises VelkaError (with ResultCode, ResultCodeExtended and the
message); FiscalPrinter(raise_errors=False) returns the codes instead. See docs/CONTROL.md.
"""
from __future__ import annotations

from typing import Optional

from . import _native
from ._native import PROG_ID, LibraryNotFound, load_library, registered_library
from .constants import (ERROR_RESPONSE_CLEAR, STATION_RECEIPT, AdjustmentType, DataItem,
                        DeviceState, EventId, ExtendedCode, PrinterState, ReportType,
                        ResultCode, StatusUpdate, describe)
from .errors import CallRefused, VelkaError
from .printer import Amount, Answer, Event, FiscalPrinter, currency


def register_library(path: str) -> None:
    """Registers the library at path (its DllRegisterServer), so that FiscalPrinter() and
    every other host find it."""
    library = load_library(path)
    status = library.DllRegisterServer()
    if status < 0:
        raise CallRefused("DllRegisterServer", status, _native.last_error(library))


def unregister_library(path: Optional[str] = None) -> None:
    """Removes the registration (of the library at path, or of the registered one)."""
    library = load_library(path)
    status = library.DllUnregisterServer()
    if status < 0:
        raise CallRefused("DllUnregisterServer", status, _native.last_error(library))


__all__ = [
    "ERROR_RESPONSE_CLEAR", "PROG_ID", "STATION_RECEIPT", "AdjustmentType", "Amount", "Answer",
    "CallRefused", "DataItem", "DeviceState", "Event", "EventId", "ExtendedCode", "FiscalPrinter",
    "LibraryNotFound", "PrinterState", "ReportType", "ResultCode", "StatusUpdate", "VelkaError",
    "currency", "describe", "load_library", "register_library", "registered_library",
    "unregister_library",
]
