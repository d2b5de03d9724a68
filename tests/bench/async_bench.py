#!/usr/bin/env python3
"""Whole-program benchmark of asynchronous mode through the C surface: receipt jobs queued
with AsyncMode True by a host that turns the control's loop (the velka package, over
velka_process_events), sent to velka-sim on a pseudo-terminal with the line paced at the
register's speed; the same receipts sent synchronously for comparison.

It reports ratios, not verdicts:
  - job time / wire time: from the first call of a job to its last completion
    (StatusUpdateEvent 1001 in asynchronous mode, the return of the last DirectIO in
    synchronous mode), against the time the job's bytes need on the wire (10 bits a byte, the
    transcript of the simulator counting them). What lies above 1.0 is the turn-around of the
    control and the register, and in asynchronous mode the queue pump's 50 ms before each
    command.
  - host CPU per job: the process that hosts the control (Python included); a host that
    waits without spinning uses a small fraction of the job time.
"""
import argparse
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from server_bench import RECEIPT, transcript  # noqa: E402  (one reading of the transcript)

import velka  # noqa: E402
from velka.simulator import Simulator, isolated_home  # noqa: E402

COM = 7
QUEUE_LIMIT_S = 120


def run_asynchronous(printer, jobs):
    drained = []
    printer.StatusUpdateEvent.connect(lambda status: drained.append(status == 1001))
    printer.AsyncMode = True
    times = []
    for _ in range(jobs):
        drained.clear()
        start = time.monotonic()
        for row, line in enumerate(RECEIPT, 1):
            printer.DirectIO(row, 0, line)
        deadline = start + QUEUE_LIMIT_S
        while not any(drained):
            if time.monotonic() > deadline:
                sys.exit("the queue did not drain")
            printer.process_events(1000)
        times.append(time.monotonic() - start)
    printer.AsyncMode = False
    return times


def run_synchronous(printer, jobs):
    times = []
    for _ in range(jobs):
        start = time.monotonic()
        for row, line in enumerate(RECEIPT, 1):
            printer.DirectIO(row, 0, line)
        times.append(time.monotonic() - start)
    return times


def measure(printer, sim, mode, jobs, baud):
    rows_before = len(transcript(sim.transcript_path))
    cpu_before = time.process_time()
    times = (run_asynchronous if mode == "asynchronous" else run_synchronous)(printer, jobs)
    cpu = time.process_time() - cpu_before
    rows = transcript(sim.transcript_path)[rows_before:]
    wire = sum(r[2] for r in rows) * 10 / baud
    job_time = sum(times)
    print(f"{mode}")
    print(f"  wire time per job         {wire / jobs * 1000:.1f} ms")
    print(f"  job time per job          {job_time / jobs * 1000:.1f} ms")
    print(f"  job time / wire time      {job_time / wire:.2f}")
    print(f"  slowest job / wire time   {max(times) / (wire / jobs):.2f}")
    print(f"  host CPU per job          {cpu / jobs * 1000:.2f} ms")
    print(f"  host CPU / job time       {cpu / job_time:.3f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--library", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--jobs", type=int, default=50)
    parser.add_argument("--baud", type=int, default=115200, choices=(9600, 115200))
    parser.add_argument("--mode", choices=("asynchronous", "synchronous", "both"), default="both")
    args = parser.parse_args()

    with isolated_home(), Simulator(args.sim, COM, args.baud) as sim:
        velka.register_library(args.library)
        with velka.FiscalPrinter() as printer:
            printer.TMVHighSpeed = args.baud == 115200
            printer.TMVOpen(COM)
            print(f"jobs                        {args.jobs} receipts of {len(RECEIPT)} lines, "
                  f"{args.baud} baud")
            modes = ["asynchronous", "synchronous"] if args.mode == "both" else [args.mode]
            for mode in modes:
                measure(printer, sim, mode, args.jobs, args.baud)
            printer.TMVClose()


if __name__ == "__main__":
    main()
