#!/usr/bin/env python3
"""Prints a fiscal receipt on a Velka register (or on velka-sim) with the velka package:
synchronously, each call waiting for the register, or with --async in asynchronous mode, the
calls only queuing their commands while asyncio turns the control's loop.

The package is in python/ of the repository: put that folder on PYTHONPATH (or install it
with pip install ./python).

    print_receipt.py --com 1                 # the register linked as com1
    print_receipt.py --start-sim ./velka-sim --library ./libTMVVelka.so --register --isolated

Options:
  --com N            the port the register is on (default 1)
  --library PATH     libTMVVelka.so to use (default: the one registered for the class)
  --register         register the library first (DllRegisterServer)
  --start-sim PATH   start velka-sim linked as com N for the run, and show its paper
  --isolated         run in a temporary home (XDG_CONFIG_HOME, XDG_DATA_HOME, HOME)
  --async            asynchronous mode under asyncio
"""
import argparse
import asyncio
import contextlib
import sys

import velka
import velka.aio
from velka.simulator import Simulator, isolated_home


def sell(printer: velka.FiscalPrinter) -> None:
    printer.BeginFiscalReceipt()
    printer.PrintRecItem("CAFFE", 1.5, 2, 1)  # 2 x 1.50, VAT code 1
    printer.PrintRecItem("CORNETTO", 1.2)  # quantity 1, the register's default VAT code
    printer.PrintRecItemAdjustment(velka.AdjustmentType.AMOUNT_DISCOUNT, "SCONTO", 0.2)
    printer.PrintRecTotal(4, 5, "1")  # payment type 1: cash
    printer.EndFiscalReceipt()


def print_synchronously(printer: velka.FiscalPrinter) -> None:
    sell(printer)
    print(f"receipt status: {printer.DirectIO2(0, 0, '<</?s').text}")
    try:
        printer.PrintRecItem("NO RECEIPT OPEN", 1)
    except velka.VelkaError as error:  # the codes and their meaning
        print(f"as expected: {error} (ResultCode {error.ResultCode}, "
              f"ResultCodeExtended {error.ResultCodeExtended})")


async def print_asynchronously(printer: velka.FiscalPrinter) -> None:
    printer.OutputCompleteEvent.connect(lambda output_id: print(f"  command {output_id} done"))

    @printer.ErrorEvent.connect
    def on_error(code, extended, locus, response):
        print(f"  error {velka.describe(code, extended)}")
        return response  # keep the preset

    async with velka.aio.attach(printer) as events:
        printer.AsyncMode = True
        sell(printer)  # every call returns at once: the commands are queued
        print(f"{printer.OutputID} commands queued")
        await events.next(printer.StatusUpdateEvent,
                          lambda status: status == velka.StatusUpdate.IDLE, timeout=60)
    printer.AsyncMode = False


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--com", type=int, default=1)
    parser.add_argument("--library")
    parser.add_argument("--register", action="store_true")
    parser.add_argument("--start-sim")
    parser.add_argument("--isolated", action="store_true")
    parser.add_argument("--async", dest="asynchronous", action="store_true")
    options = parser.parse_args()

    with contextlib.ExitStack() as stack:
        if options.isolated:
            stack.enter_context(isolated_home())
        sim = stack.enter_context(Simulator(options.start_sim, options.com)) \
            if options.start_sim else None
        if options.register:
            velka.register_library(options.library)
        try:
            with velka.FiscalPrinter(options.library) as printer:
                print(f"{printer.DeviceDescription}, version {printer.ControlObjectVersion}")
                printer.TMVOpen(options.com)
                if options.asynchronous:
                    asyncio.run(print_asynchronously(printer))
                else:
                    print_synchronously(printer)
                printer.TMVClose()
        except (velka.VelkaError, velka.CallRefused, velka.LibraryNotFound) as error:
            print(error, file=sys.stderr)
            return 1
        finally:
            if sim:
                print("paper:\n" + sim.paper().rstrip())
        print("receipt printed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
