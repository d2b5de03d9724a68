#!/usr/bin/env python3
"""Whole-program benchmark of the job server: a batch of receipt jobs sent by the real
VelkaDriverServer (headless) to velka-sim on a pseudo-terminal, the line paced at the
register's speed.

It reports ratios, not verdicts:
  - line time / wire time: how long the line was busy with the batch (first command frame
    to last answer, as the simulator's transcript times them, so the polling period does not
    count) against the time its bytes need on the wire at that speed (10 bits a byte). 1.0
    would be a line never idle; what lies above is the turn-around of the control, the
    register and the server between frames and jobs.
  - server CPU time per job, and against the line time: a server that waits without
    spinning uses a small fraction of it.
  - pick-up delay: from the drop of the batch to its first frame, against the polling period.
  - the job journal's costs (with --journal-cost, the helper tests/bench/journal_cost run in
    the same folder): the progress record after each line, the cheap (unflushed) and the
    durable replacing write of the journal, the durable result file of a job, and the PackID the
    control keeps after each frame, each against the wire time of one receipt line at 115200
    and at 9600 baud; and the receipt status request a receipt job sends before its first line.
"""
import argparse
import os
import re
import shutil
import signal
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

FRAME = re.compile(r"STX 01 (\d{3}) [A-Z] ")


def wait_until(cond, seconds):
    deadline = time.monotonic() + seconds
    while not cond():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.01)
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


def line_wire_ms(baud):
    """Wire time of one receipt line of the batch, on average: its frame (text + 11 bytes),
    the ACK and a status answer (21 bytes), 10 bits a byte."""
    sales = [line for line in RECEIPT]
    bytes_per_line = sum(len(line) + 11 + 1 + 21 for line in sales) / len(sales)
    return bytes_per_line * 10 * 1000 / baud


def journal_costs(helper, folder):
    out = subprocess.run([helper, folder], capture_output=True, text=True, check=True).stdout
    return {name: float(value) for name, value in (line.split() for line in out.splitlines())}


def status_before_job_ms(path):
    """The receipt status request a job sends before its first line, as the transcript times
    it: (the exchange, from its frame to the status answer; and from its frame to the job's
    first line, which adds the journal's durable start record)."""
    exchanges, spans = [], []
    asked = answered = None
    with open(path, encoding="latin-1") as f:
        for line in f:
            parts = line.rstrip("\n").split(" ", 2)
            if len(parts) < 3 or parts[1] not in ("<", ">"):
                continue
            at, text = float(parts[0]), parts[2]
            if parts[1] == ">":
                if asked is not None and answered is None and " N s" in text:
                    answered = at
                continue
            if asked is not None and answered is not None and " N =R" in text:
                exchanges.append(answered - asked)
                spans.append(at - asked)
            asked, answered = (at, None) if " N <</?s " in text else (None, None)
    if not spans:
        return float("nan"), float("nan")
    return sum(exchanges) / len(exchanges) * 1000, sum(spans) / len(spans) * 1000


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


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--server", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--jobs", type=int, default=50)
    parser.add_argument("--baud", type=int, default=115200, choices=(9600, 115200))
    parser.add_argument("--frequence", type=int, default=1)
    parser.add_argument("--journal-cost", help="the journal_cost helper, to time the journal")
    args = parser.parse_args()

    root = tempfile.mkdtemp(prefix="velka-bench-")
    home = os.path.join(root, "server")
    os.makedirs(home)
    env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(root, "config"),
               XDG_DATA_HOME=os.path.join(root, "data"), VELKA_SERVER_HOME=home,
               HOME=os.path.join(root, "home"))
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    log = os.path.join(root, "sim.log")
    procs = []
    try:
        sim_out = open(os.path.join(root, "sim.out"), "w")
        sim = subprocess.Popen([args.sim, "--com", "1", "--baud", str(args.baud), "--log", log,
                                "--paper", os.path.join(root, "paper.txt")],
                               stdout=sim_out, stderr=subprocess.STDOUT, env=env)
        procs.append(sim)
        if not wait_until(lambda: os.path.getsize(sim_out.name) > 0, 10):
            sys.exit("velka-sim did not start")
        with open(os.path.join(home, "TMVSERVER.INI"), "w", newline="") as f:
            f.write(f"[Parameters]\r\nPort=1\r\nBaudRate={args.baud}\r\n"
                    f"Frequence={args.frequence}\r\nMaxLogDimension=1024\r\n")
        server_out = os.path.join(root, "server.out")
        server = subprocess.Popen([args.server], stdout=open(server_out, "w"),
                                  stderr=subprocess.STDOUT, env=env)
        procs.append(server)
        if not wait_until(lambda: "tray: shown" in open(server_out).read(), 10):
            sys.exit("VelkaDriverServer did not start:\n" + open(server_out).read())

        inbox = os.path.join(home, "TOSEND")
        job_text = "".join(line + "\r\n" for line in RECEIPT)
        # The batch is written aside and moved in at once, as a point-of-sale program would.
        staging = os.path.join(root, "staging")
        os.makedirs(staging)
        for n in range(args.jobs):
            with open(os.path.join(staging, f"Sale{n:04d}.txt"), "w", newline="") as f:
                f.write(job_text)
        lines_before = len(transcript(log))
        cpu_before = cpu_seconds(server.pid)
        dropped = time.monotonic()
        for name in sorted(os.listdir(staging)):
            os.rename(os.path.join(staging, name), os.path.join(inbox, name))
        done = lambda: sum(n.endswith((".OK", ".KO")) for n in os.listdir(inbox)) >= args.jobs
        if not wait_until(done, 60 + args.jobs * 10):
            sys.exit("the batch did not finish")
        finished = time.monotonic()
        cpu_used = cpu_seconds(server.pid) - cpu_before
        failed = [n for n in os.listdir(inbox) if n.endswith(".KO")]

        rows = transcript(log)[lines_before:]
        first, last = rows[0][0], rows[-1][0]
        line_time = last - first
        wire_time = sum(r[2] for r in rows) * 10 / args.baud
        wall = finished - dropped
        pickup = wall - line_time
        print(f"jobs                      {args.jobs} receipts of {len(RECEIPT)} lines"
              f"{', ' + str(len(failed)) + ' failed' if failed else ''}")
        print(f"line speed                {args.baud} baud, polling every {args.frequence} s")
        print(f"bytes on the line         {sum(r[2] for r in rows)}")
        print(f"wire time per job         {wire_time / args.jobs * 1000:.1f} ms")
        print(f"line time per job         {line_time / args.jobs * 1000:.1f} ms")
        print(f"line time / wire time     {line_time / wire_time:.2f}")
        print(f"server CPU per job        {cpu_used / args.jobs * 1000:.2f} ms")
        print(f"server CPU / line time    {cpu_used / line_time:.3f}")
        print(f"pick-up delay / period    {max(pickup, 0) / args.frequence:.2f}")
        turnaround, to_first_line = status_before_job_ms(log)
        # "<</?s" framed (5 + 11 bytes), its ACK, its data answer ("s" and 12 characters + 10).
        status_wire = (5 + 11 + 1 + 13 + 10) * 10 * 1000 / args.baud
        print(f"status before a job       {status_wire:.1f} ms on the wire + {turnaround:.1f} ms "
              f"turn-around = {(status_wire + turnaround) / (wire_time / args.jobs * 1000):.3f} "
              f"of a job's wire time ({to_first_line:.1f} ms from its frame to the first line, "
              f"the journal's start record included)")
        if args.journal_cost:
            costs = journal_costs(args.journal_cost, root)
            fast, slow = line_wire_ms(115200), line_wire_ms(9600)
            print(f"wire time of a line       {fast:.2f} ms at 115200, {slow:.1f} ms at 9600")
            for name, label in (("progress", "journal, progress per line"),
                                ("cheap", "journal, cheap"),
                                ("durable", "journal, durable"),
                                ("result", "result file, per job"),
                                ("packid", "PackID, per frame")):
                ms = costs[name]
                print(f"{label:<27}{ms:.3f} ms = {ms / fast:.3f} of a line at 115200, "
                      f"{ms / slow:.4f} at 9600")
    finally:
        for p in reversed(procs):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    main()
