"""The C surface of libTMVVelka.so as ctypes sees it: the structures and prototypes of
automation/c_surface.h, the library found by its registration or by a path, and its
registration entry points."""
from __future__ import annotations

import ctypes
import os
import pathlib
from typing import Dict, List, Optional

PROG_ID = "TMVVelka.TmvEcrVelka"

VT_EMPTY, VT_INTEGER, VT_LONG, VT_CURRENCY, VT_STRING, VT_BOOLEAN = 0, 2, 3, 6, 8, 11
VT_LONG_ARRAY = 0x2003
VT_BYREF = 0x4000
INVOKE_METHOD, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT = 1, 2, 4


class LongArray(ctypes.Structure):
    _fields_ = [("data", ctypes.POINTER(ctypes.c_int32)), ("count", ctypes.c_int32)]


class VariantValue(ctypes.Union):
    _fields_ = [("integer_value", ctypes.c_int16), ("long_value", ctypes.c_int32),
                ("boolean_value", ctypes.c_int16), ("currency_value", ctypes.c_int64),
                ("string_value", ctypes.c_void_p), ("array_value", LongArray),
                ("integer_ref", ctypes.POINTER(ctypes.c_int16)),
                ("long_ref", ctypes.POINTER(ctypes.c_int32)),
                ("boolean_ref", ctypes.POINTER(ctypes.c_int16)),
                ("currency_ref", ctypes.POINTER(ctypes.c_int64)),
                ("string_ref", ctypes.POINTER(ctypes.c_void_p)),
                ("array_ref", ctypes.POINTER(LongArray))]


class Variant(ctypes.Structure):
    _fields_ = [("type", ctypes.c_uint16), ("reserved", ctypes.c_uint16 * 3),
                ("value", VariantValue)]


EventCallback = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32, ctypes.POINTER(Variant),
                                 ctypes.c_int32)

_P = ctypes.c_void_p
_PROTOTYPES = {
    "velka_create": (ctypes.c_int32, [ctypes.c_char_p, ctypes.POINTER(_P)]),
    "velka_add_ref": (ctypes.c_uint32, [_P]),
    "velka_release": (ctypes.c_uint32, [_P]),
    "velka_get_id": (ctypes.c_int32, [_P, ctypes.c_char_p, ctypes.POINTER(ctypes.c_int32)]),
    "velka_invoke": (ctypes.c_int32, [_P, ctypes.c_int32, ctypes.c_uint16,
                                      ctypes.POINTER(Variant), ctypes.c_int32,
                                      ctypes.POINTER(Variant)]),
    "velka_advise": (ctypes.c_int32, [_P, EventCallback, _P, ctypes.POINTER(ctypes.c_uint32)]),
    "velka_unadvise": (ctypes.c_int32, [_P, ctypes.c_uint32]),
    "velka_process_events": (ctypes.c_int32, [_P, ctypes.c_int32]),
    "velka_event_handle": (ctypes.c_int32, [_P, ctypes.POINTER(ctypes.c_ssize_t)]),
    "velka_next_timer_ms": (ctypes.c_int32, [_P, ctypes.POINTER(ctypes.c_int32)]),
    "velka_last_error": (ctypes.c_char_p, []),
    "velka_string_new": (_P, [ctypes.c_char_p, ctypes.c_int32]),
    "velka_string_length": (ctypes.c_int32, [_P]),
    "velka_string_free": (None, [_P]),
    "velka_variant_clear": (None, [ctypes.POINTER(Variant)]),
    "DllRegisterServer": (ctypes.c_int32, []),
    "DllUnregisterServer": (ctypes.c_int32, []),
}

_loaded: Dict[str, ctypes.CDLL] = {}


class LibraryNotFound(OSError):
    """The control library is neither registered nor at the path given."""


def classes_folder() -> pathlib.Path:
    """The user's registrations: $XDG_DATA_HOME/TMV SPA/classes."""
    data = os.environ.get("XDG_DATA_HOME") or os.path.expanduser("~/.local/share")
    return pathlib.Path(data) / "TMV SPA" / "classes"


def classes_folders() -> List[pathlib.Path]:
    """Every folder of registrations in the order hosts search them: the user's, then
    TMV SPA/classes under each machine-wide data folder ($XDG_DATA_DIRS, default
    /usr/local/share:/usr/share), where a package registers the control for every user."""
    entries = [entry.rstrip("/") or "/"
               for entry in os.environ.get("XDG_DATA_DIRS", "").split(":")
               if entry.startswith("/")]
    system = list(dict.fromkeys(entries)) or ["/usr/local/share", "/usr/share"]
    return [classes_folder()] + [pathlib.Path(data) / "TMV SPA" / "classes" for data in system]


def _record(path: pathlib.Path) -> Dict[str, str]:
    keys = {}
    for line in path.read_text(encoding="utf-8", errors="replace").splitlines():
        key, sep, value = line.partition("=")
        if sep:
            keys[key.strip()] = value.strip()
    return keys


def registered_library(prog_id: str = PROG_ID) -> str:
    """The path of the library registered for prog_id (DllRegisterServer wrote it), from the
    first classes folder that registers it."""
    folders = classes_folders()
    for folder in folders:
        if not (folder / f"{prog_id}.progid").is_file():
            continue
        try:
            class_id = _record(folder / f"{prog_id}.progid").get("CLSID", "")
            path = _record(folder / f"{class_id}.class").get("Library", "") if class_id else ""
        except OSError:
            path = ""
        if path:
            return path
        break
    searched = ", ".join(str(folder) for folder in folders)
    raise LibraryNotFound(f"{prog_id} is not registered in {searched}: register the library "
                          "(velka.register_library) or give its path")


def load_library(path: Optional[str] = None) -> ctypes.CDLL:
    """The control library at path, or the registered one; loaded once per path."""
    path = os.path.abspath(path) if path else registered_library()
    library = _loaded.get(path)
    if library is None:
        try:
            library = ctypes.CDLL(path)
        except OSError as error:
            raise LibraryNotFound(f"cannot load {path}: {error}") from error
        for name, (restype, argtypes) in _PROTOTYPES.items():
            function = getattr(library, name)
            function.restype, function.argtypes = restype, argtypes
        _loaded[path] = library
    return library


def last_error(library: ctypes.CDLL) -> str:
    return (library.velka_last_error() or b"").decode("utf-8", errors="replace")


def new_string(library: ctypes.CDLL, text: str) -> int:
    units = text.encode("utf-16-le")
    handle = library.velka_string_new(units, len(units) // 2)
    if not handle and units:
        raise MemoryError("the control library could not make a string")
    return handle or 0


def text_of(library: ctypes.CDLL, handle: Optional[int]) -> str:
    if not handle:
        return ""
    length = library.velka_string_length(handle)
    return ctypes.string_at(handle, 2 * length).decode("utf-16-le", errors="replace")
