#!/usr/bin/env python3
"""Crash test of the job server: the real VelkaDriverServer (headless) sends jobs to velka-sim
on a pseudo-terminal at 9600 baud and is killed with SIGKILL at a random moment of each job,
then started again; it must finish every job exactly once.

Each run drops one job (a receipt of 10 lines, or in every fourth run a report of 3), sleeps a
random time within the job's length, kills the server, starts it again and waits for the job's
result. In every fifth run the restarted server is killed once more, while it completes the
job. After a report that did not end with a .OK, a job "=C1" puts the key back to sales, as an
application does. What happened is counted from the simulator's own record (velka-sim --record: every
command it carried out and every receipt it closed or cancelled), never from the server:

  sale lines twice      a sale line standing twice in closed (not cancelled) receipts
  receipts closed twice receipts of one job closed (paid) more than once
  reports twice         a report printed twice by one job
  no result             jobs without a .OK or .KO file
  half-written results  result files that are not one whole line of their layout
  receipts left open    a receipt still open once a job's result is there
  .OK not closed        .OK results whose receipt did not close with all its sales

All must be 0. The outcomes (.OK, .KO by result code, cancelled receipts) are reported too.
Exit status 0 when every count is 0, 1 otherwise.
"""
import argparse
import collections
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from server_bench import wait_until

SALES = 8
OK_LINE = re.compile(r"\d\d/\d\d/\d{4} \d\d:\d\d;Dump=\d{4}\r\n")
KO_LINE = re.compile(r"Error=\d+;[^\r\n]*;Row \d+;[^\r\n]*\r\n")
COUNTS = ["sale lines twice", "receipts closed twice", "reports twice", "no result",
          "half-written results", "receipts left open", ".OK not closed"]


def receipt_job(tag):
    sales = [f"=R1/$1/({tag} A{n})" for n in range(1, SALES + 1)]
    return sales + ["=S", "=T1/$100"]


def report_job(tag):
    return ["=C2", "=C10", "=C1"]


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return b""


class Record:
    """velka-sim's record read into receipts: each the sale lines carried out in it and how
    it ended (None while open)."""

    def __init__(self, path):
        self.path = path
        self.offset = 0
        self.receipts = []  # [sales, end]
        self.reports = []   # one entry per "=C10" carried out
        self.commands = []

    def update(self):
        data = read(self.path)
        new, self.offset = data[self.offset:], len(data)
        for raw in new.decode("latin-1").splitlines():
            kind, _, rest = raw.partition(" ")
            if kind == "exec":
                self.commands.append(rest)
                if rest.startswith("=R"):
                    if not self.receipts or self.receipts[-1][1] is not None:
                        self.receipts.append([[], None])
                    self.receipts[-1][0].append(rest)
                if rest == "=C10":
                    self.reports.append(len(self.commands))
            elif kind == "receipt" and self.receipts and self.receipts[-1][1] is None:
                self.receipts[-1][1] = rest.split()[1]

    def open_receipt(self):
        return bool(self.receipts) and self.receipts[-1][1] is None


class Rig:
    def __init__(self, args):
        self.args = args
        self.root = tempfile.mkdtemp(prefix="velka-crash-")
        self.home = os.path.join(self.root, "server")
        self.inbox = os.path.join(self.home, "TOSEND")
        os.makedirs(self.home)
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.root, "config"),
                        XDG_DATA_HOME=os.path.join(self.root, "data"), VELKA_SERVER_HOME=self.home,
                        HOME=os.path.join(self.root, "home"))
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.record = Record(os.path.join(self.root, "record.txt"))
        self.sim = None
        self.server = None
        self.starts = 0

    def start_sim(self):
        out = open(os.path.join(self.root, "sim.out"), "w")
        self.sim = subprocess.Popen(
            [self.args.sim, "--com", "1", "--baud", str(self.args.baud), "--record",
             self.record.path, "--log", os.path.join(self.root, "sim.log"), "--paper",
             os.path.join(self.root, "paper.txt")],
            stdout=out, stderr=subprocess.STDOUT, env=self.env)
        if not wait_until(lambda: os.path.getsize(out.name) > 0, 10):
            sys.exit("velka-sim did not start")
        with open(os.path.join(self.home, "TMVSERVER.INI"), "w", newline="") as f:
            f.write(f"[Parameters]\r\nPort=1\r\nBaudRate={self.args.baud}\r\n"
                    "Frequence=0.2\r\nMaxLogDimension=1024\r\n")

    def start_server(self):
        self.starts += 1
        out = os.path.join(self.root, f"server{self.starts}.out")
        self.server = subprocess.Popen([self.args.server], stdout=open(out, "w"),
                                       stderr=subprocess.STDOUT, env=self.env)
        if not wait_until(lambda: b"tray: shown" in read(out) or self.server.poll() is not None,
                          30) or self.server.poll() is not None:
            sys.exit("VelkaDriverServer did not start:\n" + read(out).decode("latin-1"))

    def kill_server(self):
        self.server.send_signal(signal.SIGKILL)
        self.server.wait()

    def drop(self, name, lines):
        aside = os.path.join(self.inbox, "." + name + ".part")
        with open(aside, "w", newline="") as f:
            f.write("".join(line + "\r\n" for line in lines))
        os.rename(aside, os.path.join(self.inbox, name))

    def finished(self, base):
        job = os.path.join(self.inbox, base + ".txt")
        results = [os.path.join(self.inbox, base + ext) for ext in (".OK", ".KO")]
        return not os.path.exists(job) and any(os.path.exists(r) for r in results)

    def stop(self):
        for p in (self.server, self.sim):
            if p and p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
        if not self.args.keep:
            shutil.rmtree(self.root, ignore_errors=True)


def run_job(rig, tag, lines, kills):
    """Drops one job, kills the server after each delay of kills (seconds), starting it again
    each time, and waits for the result. Returns whether it came, and the seconds it took."""
    rig.drop(tag + ".txt", lines)
    dropped = time.monotonic()
    for delay in kills:
        time.sleep(delay)
        rig.kill_server()
        rig.start_server()
    done = wait_until(lambda: rig.finished(tag), 60)
    took = time.monotonic() - dropped
    # The status requests that follow a result: the register is quiet before the next job.
    time.sleep(0.3)
    rig.record.update()
    return done, took


def check_run(rig, tag, report, counts, outcomes, receipts_before):
    ok = os.path.join(rig.inbox, tag + ".OK")
    ko = os.path.join(rig.inbox, tag + ".KO")
    if not rig.finished(tag):
        counts["no result"] += 1
        return
    kind = "report " if report else "receipt "
    if os.path.exists(ok):
        text = read(ok).decode("latin-1")
        outcomes[kind + ".OK"] += 1
        if not OK_LINE.fullmatch(text):
            counts["half-written results"] += 1
    if os.path.exists(ko):
        text = read(ko).decode("latin-1")
        outcomes[kind + ".KO " + text.split(";", 1)[0]] += 1
        if not KO_LINE.fullmatch(text):
            counts["half-written results"] += 1
    if rig.record.open_receipt():
        counts["receipts left open"] += 1
    mine = [r for r in rig.record.receipts[receipts_before:]
            if any(f"({tag} " in sale for sale in r[0])]
    closed = [r for r in mine if r[1] == "closed"]
    outcomes["receipts cancelled"] += sum(1 for r in mine if r[1] == "cancelled")
    if report:
        return
    if len(closed) > 1:
        counts["receipts closed twice"] += 1
    sales = collections.Counter(s for r in closed for s in r[0])
    counts["sale lines twice"] += sum(n - 1 for n in sales.values() if n > 1)
    if os.path.exists(ok) and (len(closed) != 1 or len(closed[0][0]) != SALES):
        counts[".OK not closed"] += 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--server", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--runs", type=int, default=200)
    parser.add_argument("--baud", type=int, default=9600, choices=(9600, 115200))
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)

    rig = Rig(args)
    counts = collections.Counter({name: 0 for name in COUNTS})
    outcomes = collections.Counter()
    started = time.monotonic()
    try:
        rig.start_sim()
        rig.start_server()
        # How long each kind of job takes unharmed: the window the kills fall in.
        length = {}
        for report in (False, True):
            tag = "CAL" + ("P" if report else "R")
            done, took = run_job(rig, tag, (report_job if report else receipt_job)(tag), [])
            if not done:
                sys.exit("a job without a kill did not finish")
            length[report] = took
        for run in range(args.runs):
            report = run % 4 == 3
            tag = f"J{run:04d}"
            lines = (report_job if report else receipt_job)(tag)
            receipts_before = len(rig.record.receipts)
            reports_before = len(rig.record.reports)
            kills = [rng.uniform(0, length[report])]
            if run % 5 == 4:
                kills.append(rng.uniform(0, length[report] / 2))
            run_job(rig, tag, lines, kills)
            check_run(rig, tag, report, counts, outcomes, receipts_before)
            if report and len(rig.record.reports) - reports_before > 1:
                counts["reports twice"] += 1
            if report and not os.path.exists(os.path.join(rig.inbox, tag + ".OK")):
                # As an application does after a report that failed: back to the sales key.
                run_job(rig, "S" + tag, ["=C1"], [])
    finally:
        rig.stop()

    print(f"runs                      {args.runs} ({args.runs - args.runs // 4} receipts of "
          f"{SALES + 2} lines, {args.runs // 4} reports), SIGKILL in each, a second one in "
          f"{args.runs // 5}; seed {seed}")
    print(f"line speed                {args.baud} baud; a receipt job takes "
          f"{length[False]:.2f} s, a report {length[True]:.2f} s without a kill")
    print(f"time                      {time.monotonic() - started:.0f} s")
    for name in COUNTS:
        print(f"{name:<26}{counts[name]}")
    for name in sorted(outcomes):
        print(f"{name:<26}{outcomes[name]}")
    return 0 if all(counts[name] == 0 for name in COUNTS) else 1


if __name__ == "__main__":
    sys.exit(main())
