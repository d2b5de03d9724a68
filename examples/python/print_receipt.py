#!/usr/bin/env python3
"""Prints a fiscal receipt on a Velka register (or on velka-sim) through the TmvEcrVelka
control, from Python with nothing but ctypes.

The control is reached as any automation client reaches it: created by its programmatic
identifier "TMVVelka.TmvEcrVelka" through the C surface of libTMVVelka.so, and called by
member name. Events of the control are printed as they come.

    print_receipt.py --com 1                 # the register linked as com1
    print_receipt.py --start-sim ./velka-sim --register --isolated
                                             # a simulated register, in a throw-away home

Options:
  --com N            the port the register is on (default 1)
  --library PATH     libTMVVelka.so to use (default: the one registered for the class)
  --register         register the library first (DllRegisterServer)
  --start-sim PATH   start velka-sim linked as com N for the run, and show its paper
  --isolated         run in a temporary home (XDG_CONFIG_HOME, XDG_DATA_HOME, HOME)
"""
import argparse
import ctypes
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

PROG_ID = "TMVVelka.TmvEcrVelka"

VT_EMPTY, VT_LONG, VT_CURRENCY, VT_STRING, VT_BOOLEAN = 0, 3, 6, 8, 11
VT_BYREF = 0x4000
INVOKE_METHOD, INVOKE_PROPERTYGET, INVOKE_PROPERTYPUT = 1, 2, 4
EVENT_NAMES = {1: "DataEvent", 2: "StatusUpdateEvent", 3: "ErrorEvent",
               4: "OutputCompleteEvent", 5: "DirectIOEvent", 6: "ReceiveDataEvent"}


class LongArray(ctypes.Structure):
    _fields_ = [("data", ctypes.POINTER(ctypes.c_int32)), ("count", ctypes.c_int32)]


class VariantValue(ctypes.Union):
    _fields_ = [("integer_value", ctypes.c_int16), ("long_value", ctypes.c_int32),
                ("boolean_value", ctypes.c_int16), ("currency_value", ctypes.c_int64),
                ("string_value", ctypes.c_void_p), ("array_value", LongArray),
                ("long_ref", ctypes.POINTER(ctypes.c_int32)),
                ("string_ref", ctypes.POINTER(ctypes.c_void_p))]


class Variant(ctypes.Structure):
    _fields_ = [("type", ctypes.c_uint16), ("reserved", ctypes.c_uint16 * 3),
                ("value", VariantValue)]


EventCallback = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32,
                                 ctypes.POINTER(Variant), ctypes.c_int32)


class Control:
    """One TmvEcrVelka instance: members are called by name, arguments in declaration order."""

    def __init__(self, library_path):
        self.lib = lib = ctypes.CDLL(library_path)
        lib.velka_create.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p)]
        lib.velka_release.argtypes = [ctypes.c_void_p]
        lib.velka_invoke_by_name.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_uint16,
                                             ctypes.POINTER(Variant), ctypes.c_int32,
                                             ctypes.POINTER(Variant)]
        lib.velka_advise.argtypes = [ctypes.c_void_p, EventCallback, ctypes.c_void_p,
                                     ctypes.POINTER(ctypes.c_uint32)]
        lib.velka_last_error.restype = ctypes.c_char_p
        lib.velka_string_new.argtypes = [ctypes.c_char_p, ctypes.c_int32]
        lib.velka_string_new.restype = ctypes.c_void_p
        lib.velka_string_length.argtypes = [ctypes.c_void_p]
        lib.velka_string_free.argtypes = [ctypes.c_void_p]
        lib.velka_variant_clear.argtypes = [ctypes.POINTER(Variant)]
        self.object = ctypes.c_void_p()
        self.check(lib.velka_create(PROG_ID.encode(), ctypes.byref(self.object)), "create")
        self.callback = EventCallback(self.on_event)  # kept alive as long as the object
        cookie = ctypes.c_uint32()
        self.check(lib.velka_advise(self.object, self.callback, None, ctypes.byref(cookie)),
                   "advise")

    def check(self, status, what):
        if status != 0:
            error = self.lib.velka_last_error().decode(errors="replace")
            raise RuntimeError(f"{what}: status 0x{status & 0xFFFFFFFF:08X}: {error}")

    def new_string(self, text):
        units = text.encode("utf-16-le")
        return self.lib.velka_string_new(units, len(units) // 2)

    def text_of(self, string):
        if not string:
            return ""
        length = self.lib.velka_string_length(string)
        return ctypes.string_at(string, 2 * length).decode("utf-16-le")

    def call(self, name, *args, kind=INVOKE_METHOD | INVOKE_PROPERTYGET):
        """Calls a member. Arguments: int (Long), bool (Boolean), str (String),
        Currency(...), or a Ref(...) whose .value the member may write back."""
        variants = (Variant * max(1, len(args)))()
        keep = []  # strings and storage live until the call is over
        for i, arg in enumerate(args):
            v = variants[i]
            if isinstance(arg, Ref):
                arg.fill(self, v, keep)
            elif isinstance(arg, bool):
                v.type, v.value.boolean_value = VT_BOOLEAN, -1 if arg else 0
            elif isinstance(arg, int):
                v.type, v.value.long_value = VT_LONG, arg
            elif isinstance(arg, Currency):
                v.type, v.value.currency_value = VT_CURRENCY, arg.ten_thousandths
            elif isinstance(arg, str):
                s = self.new_string(arg)
                keep.append(s)
                v.type, v.value.string_value = VT_STRING, s
            else:
                raise TypeError(f"{name}: argument {i + 1} has no automation type")
        result = Variant()
        try:
            self.check(self.lib.velka_invoke_by_name(self.object, name.encode(), kind, variants,
                                                     len(args), ctypes.byref(result)), name)
            for arg in args:
                if isinstance(arg, Ref):
                    arg.read_back(self)
            if result.type == VT_LONG:
                return result.value.long_value
            if result.type == VT_BOOLEAN:
                return result.value.boolean_value != 0
            if result.type == VT_STRING:
                return self.text_of(result.value.string_value)
            return None
        finally:
            self.lib.velka_variant_clear(ctypes.byref(result))
            for arg in args:
                if isinstance(arg, Ref):
                    arg.free(self)
            for s in keep:
                self.lib.velka_string_free(s)

    def put(self, name, value):
        return self.call(name, value, kind=INVOKE_PROPERTYPUT)

    def on_event(self, _context, event_id, args, count):
        values = []
        for i in range(count):
            v = args[i]
            kind = v.type & ~VT_BYREF
            if kind == VT_LONG:
                values.append(v.value.long_ref[0] if v.type & VT_BYREF else v.value.long_value)
            elif kind == VT_STRING:
                s = v.value.string_ref[0] if v.type & VT_BYREF else v.value.string_value
                values.append(repr(self.text_of(s)))
        print(f"  event {EVENT_NAMES.get(event_id, event_id)} {' '.join(map(str, values))}")

    def close(self):
        if self.object:
            self.lib.velka_release(self.object)
            self.object = ctypes.c_void_p()


class Currency:
    def __init__(self, amount):
        self.ten_thousandths = round(amount * 10000)


class Ref:
    """A by-reference Long or String: the member may write a new value back."""

    def __init__(self, value):
        self.value = value
        self.storage = None

    def fill(self, control, v, keep):
        if isinstance(self.value, str):
            self.storage = ctypes.c_void_p(control.new_string(self.value))
            v.type, v.value.string_ref = VT_STRING | VT_BYREF, ctypes.pointer(self.storage)
        else:
            self.storage = ctypes.c_int32(self.value)
            v.type, v.value.long_ref = VT_LONG | VT_BYREF, ctypes.pointer(self.storage)

    def read_back(self, control):
        if isinstance(self.value, str):
            self.value = control.text_of(self.storage.value)
        else:
            self.value = self.storage.value

    def free(self, control):
        if isinstance(self.storage, ctypes.c_void_p) and self.storage.value:
            control.lib.velka_string_free(self.storage.value)
        self.storage = None


def registered_library():
    data = os.environ.get("XDG_DATA_HOME") or os.path.expanduser("~/.local/share")
    classes = pathlib.Path(data) / "TMV SPA" / "classes"

    def record(path):
        keys = {}
        for line in path.read_text().splitlines():
            if "=" in line and not line.startswith("["):
                key, value = line.split("=", 1)
                keys[key] = value
        return keys

    prog = classes / f"{PROG_ID}.progid"
    if not prog.exists():
        sys.exit(f"{PROG_ID} is not registered (no {prog}); use --library and --register")
    clsid = record(prog).get("CLSID", "")
    return record(classes / f"{clsid}.class").get("Library", "")


def print_receipt(control, com):
    def expect(what, code):
        print(f"{what}: {code}")
        if code != 0:
            raise RuntimeError(f"{what} failed with {code}, ResultCodeExtended "
                               f"{control.call('ResultCodeExtended')}")

    print(f"{control.call('DeviceDescription')}, version {control.call('ControlObjectVersion')}")
    expect("TMVOpen", control.call("TMVOpen", Ref(str(com))))
    try:
        expect("BeginFiscalReceipt", control.call("BeginFiscalReceipt", Ref(True)))
        quantity = Ref(0)  # 0 is taken as 1, and written back
        expect("PrintRecItem CAFFE",
               control.call("PrintRecItem", "CAFFE", Currency(1.5), quantity, 1))
        print(f"  quantity written back: {quantity.value}")
        # Optional parameters left out: quantity 1, VAT code 0.
        expect("PrintRecItem CORNETTO", control.call("PrintRecItem", "CORNETTO", Currency(1.2)))
        expect("PrintRecTotal",
               control.call("PrintRecTotal", Currency(2.7), Currency(5), "CONTANTI"))
        expect("EndFiscalReceipt", control.call("EndFiscalReceipt", Ref(False)))
        status = Ref("")
        expect("DirectIO2 <</?s", control.call("DirectIO2", 0, Ref(0), Ref("<</?s"), status))
        print(f"  register status: {status.value!r}")
        # A direct command: its answer comes back in DirectIOEvent.
        expect("DirectIO <</?d", control.call("DirectIO", 1, Ref(0), Ref("<</?d")))
    finally:
        print(f"TMVClose: {control.call('TMVClose')}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--com", type=int, default=1)
    parser.add_argument("--library")
    parser.add_argument("--register", action="store_true")
    parser.add_argument("--start-sim")
    parser.add_argument("--isolated", action="store_true")
    options = parser.parse_args()

    home = None
    if options.isolated:
        home = tempfile.mkdtemp(prefix="velka-example-")
        for name, sub in (("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                          ("HOME", "")):
            os.environ[name] = os.path.join(home, sub)
    sim = None
    try:
        if options.start_sim:
            sim = subprocess.Popen([options.start_sim, "--com", str(options.com), "--baud", "0"],
                                   stdout=subprocess.PIPE, text=True)
            print(f"velka-sim on {sim.stdout.readline().strip()} as com{options.com}")
            link = pathlib.Path(os.environ.get("XDG_CONFIG_HOME") or
                                os.path.expanduser("~/.config")) / "TMV SPA/ports" / \
                f"com{options.com}"
            for _ in range(100):  # the link appears right after the path is printed
                if link.exists():
                    break
                time.sleep(0.05)
        library = options.library or registered_library()
        if options.register:
            status = ctypes.CDLL(library).DllRegisterServer()
            if status != 0:
                sys.exit(f"DllRegisterServer failed: 0x{status & 0xFFFFFFFF:08X}")
        control = Control(library)
        try:
            print_receipt(control, options.com)
        finally:
            control.close()
        print("receipt printed")
    except RuntimeError as error:
        sys.exit(str(error))
    finally:
        if sim:
            sim.terminate()
            paper, _ = sim.communicate(timeout=10)
            if paper.strip():
                print("paper:\n" + paper.rstrip())
        if home:
            shutil.rmtree(home, ignore_errors=True)


if __name__ == "__main__":
    main()
