#!/usr/bin/env python3
"""Checks the include rule of the tree (ARCHITECTURE.md): every include runs down.

Each folder of our own code may include its own files and those of the folders listed for it
below, and nothing else of ours. platform/ holds the interfaces and portable code at its root
and one folder per system (posix/, win32/) for what differs: a system's folder is included
only by itself, so code above platform/ never picks a system. The headers of the operating
system's own interface are included only in a system's folder and by the programs' main files.
Tests and examples may include anything.

Usage: check-includes.py [ROOT]    (ROOT defaults to the repository holding this script)
Prints one line per include against the rule and exits 1 when there is any, else 0.
"""
import pathlib
import re
import sys

# Folder -> the folders its files may include besides their own. The longest folder that
# holds a file decides for it.
MAY_INCLUDE = {
    "platform": [],
    "platform/posix": ["platform"],
    "platform/win32": ["platform"],
    "automation": ["platform"],
    "control/core": ["automation", "platform"],
    "control/link": ["control/core", "automation", "platform"],
    "control/device": ["control/link", "control/core", "automation", "platform"],
    "control/receipt": ["control/device", "control/link", "control/core", "automation", "platform"],
    "control/automation": ["control/receipt", "control/device", "control/link", "control/core",
                           "automation", "platform"],
    "control/automation/com": ["control/automation", "control/receipt", "control/device",
                               "control/link", "control/core", "automation", "platform"],
    "server/resources": ["platform"],
    "server/jobs": ["server/resources", "automation", "platform"],
    "server/ui": ["server/jobs", "server/resources", "automation", "platform"],
    "sim": ["platform"],
    "tools": ["automation", "platform"],
}
UNCHECKED = ("tests/", "examples/", "build")
# The folders of one system each: the only ones besides main files that talk to the system.
# control/automation/com is the control's COM face, built on Windows only.
SYSTEM_FOLDERS = ("platform/posix", "platform/win32", "control/automation/com")

# The system's own interface: these headers only in SYSTEM_FOLDERS and in *_main.cpp.
SYSTEM_HEADER = re.compile(
    r"(unistd|fcntl|poll|termios|dlfcn|signal|pthread|dirent|pwd|grp|pty|errno|"
    r"sys/[a-z_]+|linux/[a-z_/]+|windows|winbase|winsock2?|shlobj|objbase|oleauto|oaidl|ocidl|"
    r"olectl|dispex)\.h")

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
SOURCES = (".h", ".hpp", ".cpp", ".cc", ".c")


def folder_of(relative):
    """The rule's folder holding a file, or None when the file is not checked."""
    best = None
    for folder in MAY_INCLUDE:
        if relative.startswith(folder + "/") and (best is None or len(folder) > len(best)):
            best = folder
    return best


def included_folder(path):
    """The rule's folder an include of ours names, or None for an include of another's."""
    return folder_of(path)


def check(root):
    root = pathlib.Path(root)
    faults = []
    # A build folder of any name holds generated sources that are not ours.
    build_folders = [cache.parent for cache in root.rglob("CMakeCache.txt")]
    for file in sorted(root.rglob("*")):
        if file.suffix not in SOURCES or not file.is_file():
            continue
        relative = file.relative_to(root).as_posix()
        if relative.startswith(UNCHECKED) or any(f in file.parents for f in build_folders):
            continue
        folder = folder_of(relative)
        if folder is None:
            faults.append(f"{relative}: in no folder of the rule; add its folder to the rule")
            continue
        allowed = [folder] + MAY_INCLUDE[folder]
        main_file = file.name.endswith("_main.cpp")
        for number, line in enumerate(file.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            quote, name = match.groups()
            if quote == "<":
                if SYSTEM_HEADER.fullmatch(name) and folder not in SYSTEM_FOLDERS \
                        and not main_file:
                    faults.append(f"{relative}:{number}: <{name}> is the system's own "
                                  "interface: only a system's folder "
                                  f"({', '.join(f + '/' for f in SYSTEM_FOLDERS)}) and the "
                                  "programs' main files include it")
                continue
            target = included_folder(name)
            if target is None and not (root / name).exists():
                continue  # a header of the build or of another project
            if target in SYSTEM_FOLDERS and target not in allowed:
                faults.append(f"{relative}:{number}: \"{name}\" is one system's "
                              "implementation: include its interface at platform/ root")
            elif target not in allowed:
                faults.append(f"{relative}:{number}: \"{name}\" is not below {folder}/ "
                              f"(it may include {', '.join(a + '/' for a in allowed)})")
    return faults


def main(argv):
    root = argv[1] if len(argv) > 1 else pathlib.Path(__file__).resolve().parent.parent
    faults = check(root)
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) against the rule of ARCHITECTURE.md")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
