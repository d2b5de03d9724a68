#!/usr/bin/env python3
"""Whole-program benchmark of the job server: receipt jobs sent by the real VelkaDriverServer
(headless) to velka-sim on a pseudo-terminal, the line paced at the register's speed.

It reports ratios and figures, not verdicts, in one run:
  - job time / wire time, at 115200 and at 9600 baud: how long the line was busy with a batch
    of receipt jobs (from the start of the first command frame to the end of the last answer,
    as the simulator's transcript times them, so the polling does not count) against the time
    their bytes need on the wire (10 bits a byte). 1.0 would be a line never idle.
  - turn-around per exchange on each side of the line: the control's (from the end of the
    register's answer to the start of the next frame of the job: the control, the server and
    the journal's progress record between two lines), the server's work around each job (its
    start record, its result, the gap between two jobs), and the simulator's (what it adds to
    the wire time between the start of a frame and the end of its answer).
  - server CPU per job, and against the job time.
  - pick-up latency: single jobs renamed into the input folder with a polling period of
    Frequence seconds, at random moments, from the rename to the start of the job's first
    frame on the line; median and maximum.
  - the link going away: the simulator killed and started again on another pseudo-terminal
    under the same com<N> link, as a replug renames the device; the server's CPU while the
    register is gone, and whether the jobs dropped meanwhile run once it is back.
  - the job journal's costs (with --journal-cost, the helper tests/bench/journal_cost run in
    the same folder): the progress record after each line, the cheap (unflushed) and the
    durable replacing write of the journal, the durable result file of a job, and the PackID the
    control keeps after each frame, each against the wire time of one receipt line.

A simulator that notes the monotonic clock at the start of its transcript times "<" at the
first byte of a frame and ">" at the last byte handed to the line; with an earlier one, which
timed "<" at the last byte in and ">" when it began to send, the rows are read that way.
"""
import argparse
import os
import random
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

RECEIPT = [
    "=R1/$1.5/*2/(CAFFE)",
    "=R1/$1.2/(CORNETTO)",
    "=R2/$0.8/(ACQUA NATURALE)",
    "=R1/$3.5/*3/(PANINO)",
    "=R3/$12.9/(LIBRO)",
    "=\"/(GRAZIE E ARRIVEDERCI)",
    "=S",
    "=T1/$50",
]
STATUS = "<</?s"

FRAME = re.compile(r"STX 01 (\d{3}) [A-Z] ")
STATUS_LINE = re.compile(r"^(?:\d\d:\d\d:\d\d )?lblStato: (.*)$")
CLOCK_NOTE = re.compile(r"# monotonic clock at 0: ([0-9.]+) s")


def wait_until(cond, seconds, step=0.01):
    deadline = time.monotonic() + seconds
    while not cond():
        if time.monotonic() > deadline:
            return False
        time.sleep(step)
    return True


def line_bytes(direction, text):
    """Bytes on the wire of one transcript line: frames by their length field (a command
    frame is L + 11 bytes, an answer frame D + 10), the single control bytes by name."""
    count = 0
    i = 0
    while i < len(text):
        m = FRAME.match(text, i)
        if m:
            length = int(m.group(1))
            count += length + (11 if direction == "<" else 10)
            i = m.end() + length
            end = text.find("ETX", i)
            i = len(text) if end < 0 else end + 3
            continue
        token_end = text.find(" ", i)
        token = text[i:] if token_end < 0 else text[i:token_end]
        if token in ("ACK", "NACK", "STX", "ETX", "CR", "LF"):
            count += 1
        elif token:
            count += len(token) + 1  # text of a data line, with the blank the transcript drops
        i = len(text) if token_end < 0 else token_end + 1
    return count


def transcript(path):
    """(seconds, direction, bytes) of every line that crossed the line."""
    rows = []
    with open(path, encoding="latin-1") as f:
        for line in f:
            parts = line.rstrip("\n").split(" ", 2)
            if len(parts) == 3 and parts[1] in ("<", ">"):
                rows.append((float(parts[0]), parts[1], line_bytes(parts[1], parts[2])))
    return rows


class Row:
    def __init__(self, start, end, direction, command, wire):
        self.start, self.end = start, end  # seconds of the transcript
        self.direction = direction
        self.command = command  # the text of a command frame from the control, else None
        self.wire = wire


class Line:
    """The transcript as intervals on the line."""

    def __init__(self, path, baud):
        self.clock0 = None  # the monotonic clock at the transcript's 0, when the simulator says
        self.rows = []
        try:
            f = open(path, encoding="latin-1")
        except OSError:
            return
        with f:
            for line in f:
                parts = line.rstrip("\n").split(" ", 2)
                if len(parts) < 3:
                    continue
                t, direction, text = float(parts[0]), parts[1], parts[2]
                if direction == "#":
                    m = CLOCK_NOTE.search(line)
                    if m and self.clock0 is None:
                        self.clock0 = float(m.group(1))
                    continue
                if direction not in ("<", ">"):
                    continue
                wire = line_bytes(direction, text) * 10 / baud
                first_byte_timed = (direction == "<") == (self.clock0 is not None)
                start, end = (t, t + wire) if first_byte_timed else (t - wire, t)
                command = None
                m = FRAME.match(text)
                if direction == "<" and m:
                    command = text[m.end():m.end() + int(m.group(1))]
                self.rows.append(Row(start, end, direction, command, wire))

    def monotonic(self, t):
        return None if self.clock0 is None else self.clock0 + t


def exchanges(rows):
    """Each command frame with the end of the register's replies to it (None without)."""
    out = []
    for i, row in enumerate(rows):
        if row.command is None:
            continue
        replies = []
        for later in rows[i + 1:]:
            if later.direction != ">":
                break
            replies.append(later)
        out.append((row, replies))
    return out


def turnarounds(rows):
    """The gaps on the line: the simulator's per exchange, and the control's by kind."""
    sim, gaps = [], {"line": [], "job start": [], "job end": [], "result": [], "between jobs": []}
    found = exchanges(rows)
    starts = set()
    for k in range(len(found) - 1):
        if found[k][0].command == STATUS and found[k + 1][0].command != STATUS:
            starts.add(k)
    for k, (frame, replies) in enumerate(found):
        if replies:
            sim.append(replies[-1].end - frame.end - sum(r.wire for r in replies))
        if k + 1 >= len(found):
            continue
        answered = replies[-1].end if replies else frame.end
        gap = found[k + 1][0].start - answered
        current, following = frame.command, found[k + 1][0].command
        if k + 1 in starts:
            kind = "between jobs"
        elif k in starts:
            kind = "job start"
        elif current != STATUS and following != STATUS:
            kind = "line"
        elif current != STATUS:
            kind = "job end"
        else:
            kind = "result"
        gaps[kind].append(gap)
    return sim, gaps


def journal_costs(helper, folder):
    out = subprocess.run([helper, folder], capture_output=True, text=True, check=True).stdout
    return {name: float(value) for name, value in (line.split() for line in out.splitlines())}


def cpu_seconds(pid):
    """CPU time of the process: nanoseconds from schedstat where the kernel keeps them,
    else the clock ticks of stat."""
    try:
        with open(f"/proc/{pid}/schedstat") as f:
            return int(f.read().split()[0]) / 1e9
    except (OSError, ValueError, IndexError):
        pass
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def ms(seconds):
    return f"{seconds * 1000:.2f} ms"


def spread(values):
    if not values:
        return "none"
    return (f"median {ms(statistics.median(values))}, mean {ms(statistics.mean(values))}, "
            f"max {ms(max(values))} ({len(values)})")


class Bench:
    """One simulator and one server in a folder of their own, at one speed."""

    def __init__(self, args, root, baud, frequence):
        self.args, self.root, self.baud = args, root, baud
        self.home = os.path.join(root, "server")
        self.inbox = os.path.join(self.home, "TOSEND")
        self.staging = os.path.join(root, "staging")
        os.makedirs(self.home)
        os.makedirs(self.staging)
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(root, "config"),
                        XDG_DATA_HOME=os.path.join(root, "data"), VELKA_SERVER_HOME=self.home,
                        HOME=os.path.join(root, "home"))
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.sims = []
        self.sim = None
        self.server = None
        self.log = None
        self.start_sim()
        with open(os.path.join(self.home, "TMVSERVER.INI"), "w", newline="") as f:
            f.write(f"[Parameters]\r\nPort=1\r\nBaudRate={baud}\r\n"
                    f"Frequence={frequence}\r\nMaxLogDimension=1024\r\n")
        self.server_out = os.path.join(root, "server.out")
        self.server = subprocess.Popen([args.server], stdout=open(self.server_out, "w"),
                                       stderr=subprocess.STDOUT, env=self.env)
        if not wait_until(lambda: "tray: shown" in open(self.server_out).read(), 10):
            sys.exit("VelkaDriverServer did not start:\n" + open(self.server_out).read())

    def start_sim(self):
        n = len(self.sims)
        self.log = os.path.join(self.root, f"sim{n}.log")
        out = open(os.path.join(self.root, f"sim{n}.out"), "w")
        sim = subprocess.Popen([self.args.sim, "--com", "1", "--baud", str(self.baud), "--log",
                                self.log, "--paper", os.path.join(self.root, f"paper{n}.txt")],
                               stdout=out, stderr=subprocess.STDOUT, env=self.env)
        self.sims.append(sim)
        self.sim = sim
        if not wait_until(lambda: os.path.getsize(out.name) > 0, 10):
            sys.exit("velka-sim did not start")

    def pull_out(self):
        """The register's device goes away as a USB adapter pulled out does: the simulator
        killed, its com<N> link left naming nothing (a pseudo-terminal of another program could
        otherwise take the freed name)."""
        self.sim.kill()
        self.sim.wait(10)
        link = os.path.join(self.env["XDG_CONFIG_HOME"], "TMV SPA", "ports", "com1")
        os.remove(link)
        os.symlink(os.path.join(self.root, "unplugged"), link)

    def close(self):
        for p in [self.server] + self.sims:
            if p is not None and p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()

    def stage(self, name, lines=RECEIPT):
        path = os.path.join(self.staging, name)
        with open(path, "w", newline="") as f:
            f.write("".join(line + "\r\n" for line in lines))
        return path

    def drop(self, staged):
        os.rename(staged, os.path.join(self.inbox, os.path.basename(staged)))

    def results(self):
        names = os.listdir(self.inbox)
        return (sum(n.endswith(".OK") for n in names), sum(n.endswith(".KO") for n in names))

    def line(self):
        return Line(self.log, self.baud)


def batch(bench, jobs):
    """Jobs dropped at once: job time against wire time, turn-around on each side, CPU."""
    staged = [bench.stage(f"Sale{n:04d}.txt") for n in range(jobs)]
    rows_before = len(bench.line().rows)
    cpu_before = cpu_seconds(bench.server.pid)
    for path in staged:
        bench.drop(path)
    if not wait_until(lambda: sum(bench.results()) >= jobs, 60 + jobs * 10):
        sys.exit("the batch did not finish")
    cpu_used = cpu_seconds(bench.server.pid) - cpu_before
    failed = bench.results()[1]
    rows = bench.line().rows[rows_before:]
    line_time = rows[-1].end - rows[0].start
    wire_time = sum(r.wire for r in rows)
    sim, gaps = turnarounds(rows)
    print(f"{bench.baud} baud: {jobs} receipts of {len(RECEIPT)} lines"
          f"{', ' + str(failed) + ' failed' if failed else ''}")
    print(f"  wire time per job           {ms(wire_time / jobs)}")
    print(f"  job time per job            {ms(line_time / jobs)}")
    print(f"  job time / wire time        {line_time / wire_time:.3f}")
    print(f"  control, line to line       {spread(gaps['line'])}")
    per_job = sum(sum(gaps[k]) for k in ("job start", "job end", "result", "between jobs"))
    print(f"  server around a job         {ms(per_job / jobs)} per job: start record "
          f"{spread(gaps['job start'])}")
    print(f"                              job end {spread(gaps['job end'])}")
    print(f"                              result {spread(gaps['result'])}")
    print(f"                              between jobs {spread(gaps['between jobs'])}")
    print(f"  simulator, per exchange     {spread(sim)}")
    print(f"  server CPU per job          {ms(cpu_used / jobs)}")
    print(f"  server CPU / job time       {cpu_used / line_time:.3f}")


def pickup(bench, drops, frequence):
    """Single jobs renamed in at random moments: from the rename to their first frame."""
    latencies = []
    for n in range(drops):
        time.sleep(random.uniform(0, frequence))
        staged = bench.stage(f"Pick{n:04d}.txt", [STATUS])
        rows_before = len(bench.line().rows)
        done_before = sum(bench.results())
        seen = []

        def first_frame():
            # Earlier simulators give no clock: the first new row is watched for instead.
            if not seen and len(bench.line().rows) > rows_before:
                seen.append(time.monotonic())
            return sum(bench.results()) > done_before

        dropped = time.monotonic()
        bench.drop(staged)
        if not wait_until(first_frame, frequence + 30, step=0.002):
            sys.exit("a dropped job was not taken")
        line = bench.line()
        frames = [r for r in line.rows[rows_before:] if r.command is not None]
        if line.clock0 is not None and frames:
            latencies.append(line.monotonic(frames[0].start) - dropped)
        elif seen:
            latencies.append(seen[0] - dropped)
    print(f"pick-up, Frequence={frequence}: {drops} jobs renamed in one at a time")
    print(f"  rename to first frame       median {ms(statistics.median(latencies))}, "
          f"max {ms(max(latencies))}, min {ms(min(latencies))}")


def link_down(bench, down_s, jobs):
    """The register's device goes away and comes back under another name."""
    ok_before, ko_before = bench.results()
    bench.pull_out()
    time.sleep(0.5)
    cpu_before = cpu_seconds(bench.server.pid)
    staged = [bench.stage(f"Down{n:04d}.txt") for n in range(jobs)]
    for path in staged:
        bench.drop(path)
    time.sleep(down_s)
    cpu_down = cpu_seconds(bench.server.pid) - cpu_before
    back = time.monotonic()
    bench.start_sim()
    settled = wait_until(lambda: sum(bench.results()) >= ok_before + ko_before + jobs, 60)
    ok, ko = bench.results()
    # Console lines start with the local time ("14:47:05 lblStato: ...").
    shown = [m.group(1) for m in (STATUS_LINE.match(line)
                                  for line in open(bench.server_out).read().splitlines()) if m]
    print(f"link down for {down_s:.0f} s, {jobs} jobs dropped meanwhile, then the register back "
          f"on a new pseudo-terminal")
    print(f"  server CPU while down       {ms(cpu_down)} in {down_s + 0.0:.1f} s "
          f"= {cpu_down / down_s:.5f} of a core")
    print(f"  jobs dropped while down     {ok - ok_before} .OK, {ko - ko_before} .KO"
          f"{'' if settled else ', not all done in 60 s'}"
          f"{f', the last {time.monotonic() - back:.1f} s after the register came back' if settled else ''}")
    print(f"  lblStato shown              {' / '.join(shown[-3:])}")
    print(f"  server still running        {'yes' if bench.server.poll() is None else 'no'}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--server", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--jobs", type=int, default=50, help="receipts at 115200 baud")
    parser.add_argument("--slow-jobs", type=int, default=20, help="receipts at 9600 baud")
    parser.add_argument("--drops", type=int, default=20)
    parser.add_argument("--frequence", type=float, default=5)
    parser.add_argument("--down", type=float, default=10, help="seconds without the register")
    parser.add_argument("--journal-cost", help="the journal_cost helper, to time the journal")
    args = parser.parse_args()

    root = tempfile.mkdtemp(prefix="velka-bench-")
    benches = []
    try:
        fast = Bench(args, os.path.join(root, "fast"), 115200, args.frequence)
        benches.append(fast)
        batch(fast, args.jobs)
        slow = Bench(args, os.path.join(root, "slow"), 9600, args.frequence)
        benches.append(slow)
        batch(slow, args.slow_jobs)
        slow.close()
        pickup(fast, args.drops, args.frequence)
        link_down(fast, args.down, 3)
        if args.journal_cost:
            costs = journal_costs(args.journal_cost, root)
            line_ms = {baud: sum(len(x) + 11 + 1 + 21 for x in RECEIPT) / len(RECEIPT) * 10 * 1000
                       / baud for baud in (115200, 9600)}
            print(f"wire time of a line           {line_ms[115200]:.2f} ms at 115200, "
                  f"{line_ms[9600]:.1f} ms at 9600")
            for name, label in (("progress", "journal, progress per line"),
                                ("cheap", "journal, cheap"),
                                ("durable", "journal, durable"),
                                ("result", "result file, per job"),
                                ("packid", "PackID, per frame")):
                cost = costs[name]
                print(f"{label:<30}{cost:.3f} ms = {cost / line_ms[115200]:.3f} of a line at "
                      f"115200, {cost / line_ms[9600]:.4f} at 9600")
    finally:
        for bench in benches:
            bench.close()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
