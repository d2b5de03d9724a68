#!/usr/bin/env python3
"""The calls of print_receipt.vbs through the Linux library, so that scripts/test-windows.sh can
compare the frames the register gets from Windows with those it gets from Linux.

Usage: print_receipt_linux.py COM LIBRARY   (the velka package on PYTHONPATH)
"""
import sys

import velka


def main() -> int:
    port, library = int(sys.argv[1]), sys.argv[2]
    velka.register_library(library)
    with velka.FiscalPrinter(library) as ecr:
        ecr.TMVOpen(port)
        ecr.BeginFiscalReceipt()
        ecr.PrintRecItem("CAFFE", 1.5, 0, 1)  # quantity 0 is taken as 1
        ecr.PrintRecItem("CORNETTO", 1.2)
        ecr.PrintRecTotal(2.7, 5, "CONTANTI")
        ecr.EndFiscalReceipt()
        ecr.DirectIO2(0, 0, "<</?s")
        ecr.DirectIO(1, 0, "<</?d")
        ecr.TMVClose()
    print("receipt printed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
