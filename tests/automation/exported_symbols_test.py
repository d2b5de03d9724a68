"""The control library's dynamic symbols are exactly its hosts' entry points and C surface.

Usage: exported_symbols_test.py NM LIBRARY
Reads the symbols LIBRARY defines for the dynamic linker (nm -D --defined-only) and fails,
naming the difference, when they are not exactly the expected set: a helper or a standard
library instantiation that slipped out is as wrong as an entry point that went missing.
"""
import subprocess
import sys

EXPECTED = {
    "DllRegisterServer", "DllUnregisterServer", "DllGetClassObject", "DllCanUnloadNow",
    "velka_create", "velka_add_ref", "velka_release", "velka_get_id", "velka_invoke",
    "velka_invoke_by_name", "velka_advise", "velka_unadvise", "velka_process_events",
    "velka_event_handle", "velka_next_timer_ms", "velka_last_error",
    "velka_string_new", "velka_string_from_utf8", "velka_string_length", "velka_string_free",
    "velka_variant_clear",
}


def defined_dynamic_symbols(nm, library):
    listing = subprocess.run([nm, "-D", "--defined-only", library], capture_output=True,
                             text=True, check=True).stdout
    names = set()
    for line in listing.splitlines():
        fields = line.split()
        if len(fields) >= 3:
            names.add(fields[2].split("@")[0])  # without a version tag
    return names


def main(argv):
    if len(argv) != 3:
        print(__doc__)
        return 2
    found = defined_dynamic_symbols(argv[1], argv[2])
    extra, missing = sorted(found - EXPECTED), sorted(EXPECTED - found)
    for name in extra:
        print(f"exported but not part of the library's face: {name}")
    for name in missing:
        print(f"missing from the exports: {name}")
    if extra or missing:
        return 1
    print(f"{len(found)} symbols, exactly the entry points and the C surface")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
