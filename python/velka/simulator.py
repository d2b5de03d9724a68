"""velka-sim, the simulated register, run beside a program: on a pseudo-terminal linked as
com<N> in the ports folder, so that TMVOpen(N) reaches it, with its paper and its transcript
of the line in files. For tests, examples and integrators with no register on the desk.

    with velka.simulator.isolated_home(), velka.simulator.Simulator("build/sim/velka-sim", 9):
        ...TMVOpen(9)...

As a program, it runs a command beside the simulator and prints the paper afterwards:

    python3 -m velka.simulator --sim build/sim/velka-sim --com 9 --isolated -- ./my_pos 9
"""
from __future__ import annotations

import argparse
import contextlib
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time
from typing import Iterator, Optional, Sequence

_START_SECONDS = 10


@contextlib.contextmanager
def isolated_home() -> Iterator[str]:
    """A throw-away home for the duration: HOME, XDG_CONFIG_HOME (ports folder, settings)
    and XDG_DATA_HOME (registrations) point into a new temporary folder, and so do the
    machine-wide XDG_CONFIG_DIRS and XDG_DATA_DIRS, so that nothing installed on the machine
    is found instead."""
    root = tempfile.mkdtemp(prefix="velka-home-")
    names = {"HOME": "", "XDG_CONFIG_HOME": "config", "XDG_DATA_HOME": "data",
             "XDG_CONFIG_DIRS": "system-config", "XDG_DATA_DIRS": "system-data"}
    saved = {name: os.environ.get(name) for name in names}
    try:
        for name, inside in names.items():
            os.environ[name] = os.path.join(root, inside)
        yield root
    finally:
        for name, value in saved.items():
            if value is None:
                os.environ.pop(name, None)
            else:
                os.environ[name] = value
        shutil.rmtree(root, ignore_errors=True)


def ports_folder() -> pathlib.Path:
    config = os.environ.get("XDG_CONFIG_HOME") or os.path.expanduser("~/.config")
    return pathlib.Path(config) / "TMV SPA" / "ports"


class Simulator:
    """velka-sim linked as com<com> while the object is entered.

    baud: 0 answers at once; 9600 or 115200 paces the line as a register would.
    options: further velka-sim options (faults, --clock ...)."""

    def __init__(self, program: str, com: int = 1, baud: int = 0,
                 options: Sequence[str] = ()) -> None:
        self.program, self.com, self.baud, self.options = program, com, baud, list(options)
        self.folder: Optional[str] = None
        self.process: Optional[subprocess.Popen] = None
        self.terminal = ""

    @property
    def transcript_path(self) -> str:
        """The transcript of every byte on the line, with times (velka-sim --log)."""
        return os.path.join(self.folder or "", "line.log")

    @property
    def paper_path(self) -> str:
        return os.path.join(self.folder or "", "paper.txt")

    def paper(self) -> str:
        """What the register has printed so far."""
        try:
            return pathlib.Path(self.paper_path).read_text(encoding="latin-1")
        except OSError:
            return ""

    def start(self) -> "Simulator":
        self.folder = tempfile.mkdtemp(prefix="velka-sim-")
        link = ports_folder() / f"com{self.com}"
        self.process = subprocess.Popen(
            [self.program, "--com", str(self.com), "--baud", str(self.baud), "--log",
             self.transcript_path, "--paper", self.paper_path, *self.options],
            stdout=subprocess.PIPE, text=True)
        self.terminal = (self.process.stdout.readline() if self.process.stdout else "").strip()
        deadline = time.monotonic() + _START_SECONDS
        while not link.exists():  # the link follows the printed path at once
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise RuntimeError(f"velka-sim did not link com{self.com}")
            time.sleep(0.02)
        return self

    def stop(self) -> None:
        if self.process:
            if self.process.poll() is None:
                self.process.terminate()
                try:
                    self.process.wait(_START_SECONDS)
                except subprocess.TimeoutExpired:
                    self.process.kill()
                    self.process.wait()
            if self.process.stdout:
                self.process.stdout.close()
            self.process = None

    def remove_files(self) -> None:
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)
            self.folder = None

    def __enter__(self) -> "Simulator":
        return self.start()

    def __exit__(self, *exc: object) -> None:
        self.stop()
        self.remove_files()


def main(argv: Optional[Sequence[str]] = None) -> int:
    parser = argparse.ArgumentParser(
        description="Runs a command beside velka-sim linked as com N; prints the paper after.")
    parser.add_argument("--sim", required=True, help="the velka-sim program")
    parser.add_argument("--com", type=int, default=1)
    parser.add_argument("--baud", type=int, default=0, choices=(0, 9600, 115200))
    parser.add_argument("--isolated", action="store_true",
                        help="in a throw-away home (HOME, XDG_CONFIG_HOME, XDG_DATA_HOME)")
    parser.add_argument("command", nargs=argparse.REMAINDER,
                        help="-- and the command to run, with its arguments")
    args = parser.parse_args(argv)
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command:
        parser.error("no command given")
    with contextlib.ExitStack() as stack:
        if args.isolated:
            stack.enter_context(isolated_home())
        sim = stack.enter_context(Simulator(args.sim, args.com, args.baud))
        status = subprocess.run(command).returncode
        print("paper:\n" + sim.paper().rstrip())
        return status


if __name__ == "__main__":
    sys.exit(main())
