"""The velka package against velka-sim: a receipt, failures raising VelkaError with their
codes (or returned as codes), an X report, asynchronous mode under asyncio, and what is
refused. VELKA_LIBRARY names libTMVVelka.so and VELKA_SIM the velka-sim program."""
import asyncio
import os
import threading
import unittest
from decimal import Decimal

import velka
import velka.aio
from velka.simulator import Simulator, isolated_home

LIBRARY = os.environ.get("VELKA_LIBRARY", "")
SIM = os.environ.get("VELKA_SIM", "")
COM = 41

_home = None
_sim = None


def setUpModule():
    global _home, _sim
    if not (LIBRARY and SIM):
        raise unittest.SkipTest("VELKA_LIBRARY and VELKA_SIM name the library and velka-sim")
    _home = isolated_home()
    _home.__enter__()
    velka.register_library(LIBRARY)
    _sim = Simulator(SIM, COM).start()


def tearDownModule():
    if _sim:
        _sim.stop()
        _sim.remove_files()
    if _home:
        _home.__exit__(None, None, None)


class PrinterTest(unittest.TestCase):
    raise_errors = True

    def setUp(self):
        self.printer = velka.FiscalPrinter(raise_errors=self.raise_errors)  # the registered one
        self.addCleanup(self.printer.close)
        self.assertEqual(self.printer.TMVOpen(COM), velka.ResultCode.SUCCESS)
        self.addCleanup(self.printer.TMVClose)
        self.paper_before = len(_sim.paper())

    def printed(self):
        return _sim.paper()[self.paper_before:]


class SynchronousTest(PrinterTest):
    def test_receipt_is_printed_and_the_printer_state_follows_it(self):
        p = self.printer
        p.BeginFiscalReceipt()
        self.assertEqual(p.PrinterState, velka.PrinterState.FISCAL_RECEIPT)
        p.PrintRecItem("CAFFE", 1.5, 2, 1)
        p.PrintRecItem("CORNETTO", Decimal("1.20"))
        p.PrintRecItemAdjustment(velka.AdjustmentType.AMOUNT_DISCOUNT, "SCONTO", "0.2")
        p.PrintRecTotal(4, 5, "1")
        self.assertEqual(p.PrinterState, velka.PrinterState.RECEIPT_ENDING)
        p.EndFiscalReceipt()
        self.assertEqual(p.PrinterState, velka.PrinterState.IDLE)
        paper = self.printed()
        for line in ("CAFFE", "CORNETTO", "SCONTO", "TOTALE EURO                 4,00",
                     "RESTO                       1,00"):
            self.assertIn(line, paper)
        status = p.DirectIO2(0, 0, "<</?s")
        self.assertEqual(status.code, 0)
        self.assertEqual(len(status.text), 12)

    def test_failing_item_raises_with_its_codes_and_leaves_the_receipt_open(self):
        p = self.printer
        p.BeginFiscalReceipt()
        p.PrintRecItem("PANE", 1)
        cases = [
            # description, price, VAT code, extended code
            ("A DESCRIPTION OF 25 CHARS", 1, 0, velka.ExtendedCode.BAD_DESCRIPTION),
            ("FREE", 0, 0, velka.ExtendedCode.BAD_PRICE),
            ("BAD VAT", 1, 9, 37),  # the register's own error number
        ]
        for description, price, vat, extended in cases:
            with self.subTest(description=description):
                with self.assertRaises(velka.VelkaError) as caught:
                    p.PrintRecItem(description, price, 1, vat)
                error = caught.exception
                self.assertEqual(error.ResultCode, velka.ResultCode.EXTENDED)
                self.assertEqual(error.ResultCodeExtended, extended)
                self.assertEqual(error.member, "PrintRecItem")
                self.assertIn(str(int(extended)), str(error))
                self.assertTrue(error.message)
        self.assertEqual(p.PrinterState, velka.PrinterState.FISCAL_RECEIPT)
        p.PrintRecVoid()
        p.EndFiscalReceipt()
        self.assertNotIn("BAD VAT", self.printed())

    def test_x_report_prints(self):
        self.assertEqual(self.printer.PrintXReport(), 0)
        self.assertIn("X", self.printed())
        self.assertGreater(len(self.printed()), 0)

    def test_wrong_state_raises_before_anything_is_sent(self):
        with self.assertRaises(velka.VelkaError) as caught:
            self.printer.EndFiscalReceipt()
        self.assertEqual((caught.exception.ResultCode, caught.exception.ResultCodeExtended),
                         (114, velka.ExtendedCode.WRONG_STATE))


class CodesModeTest(PrinterTest):
    raise_errors = False

    def test_failures_come_back_as_codes(self):
        p = self.printer
        self.assertEqual(p.EndFiscalReceipt(), velka.ResultCode.EXTENDED)
        self.assertEqual(p.ResultCodeExtended, velka.ExtendedCode.WRONG_STATE)
        self.assertEqual(p.BeginFiscalReceipt(), 0)
        self.assertEqual(p.PrintRecItem("PANE", 1), 0)
        self.assertEqual(p.PrintRecItem("BAD VAT", 1, 1, 9), velka.ResultCode.EXTENDED)
        self.assertEqual(p.ResultCodeExtended, 37)
        self.assertEqual(p.PrintRecVoid(), 0)
        self.assertEqual(p.EndFiscalReceipt(), 0)
        self.assertEqual(p.GetDate().code, 0)


class AsynchronousTest(PrinterTest):
    def queue_receipt(self):
        p = self.printer
        p.AsyncMode = True
        p.BeginFiscalReceipt()
        for name in ("ACQUA", "PANE", "LATTE"):
            self.assertEqual(p.PrintRecItem(name, 1), 0)  # queued: returns at once
        p.PrintRecTotal(3, 3, "1")  # the payment and a status request
        p.EndFiscalReceipt()
        self.assertEqual(p.OutputID, 5)

    def test_receipt_queued_under_asyncio_completes_in_order(self):
        p = self.printer
        completed = []
        p.OutputCompleteEvent.connect(completed.append)

        async def run():
            async with velka.aio.attach(p) as events:
                self.queue_receipt()
                self.assertEqual(completed, [])  # nothing before the loop turns
                status = await events.next(p.StatusUpdateEvent,
                                           lambda s: s == velka.StatusUpdate.IDLE, timeout=30)
                return status

        self.assertEqual(asyncio.run(run()), (velka.StatusUpdate.IDLE,))
        self.assertEqual(completed, [1, 2, 3, 4, 5])
        self.assertIn("LATTE", self.printed())
        self.assertIsNone(p.next_timer_ms())

    def test_handler_failure_reaches_the_host_where_it_turns_the_loop(self):
        p = self.printer
        drained = []
        p.StatusUpdateEvent.connect(drained.append)

        @p.OutputCompleteEvent.connect
        def fail(output_id):
            raise LookupError(f"handler of {output_id}")

        self.queue_receipt()
        with self.assertRaises(LookupError) as caught:
            for _ in range(300):
                p.process_events(100)
        self.assertEqual(str(caught.exception), "handler of 1")
        p.OutputCompleteEvent.disconnect(fail)
        for _ in range(300):  # the control went on with the rest of the queue
            if drained:
                break
            p.process_events(100)
        self.assertEqual(drained, [velka.StatusUpdate.IDLE])


class RefusalsTest(unittest.TestCase):
    def test_amounts_become_ten_thousandths_or_are_refused(self):
        for amount, expected in ((1.5, 15000), ("0.0001", 1), (Decimal("2"), 20000), (3, 30000),
                                 (0.1 + 0.2, None), ("1e3", 10000000)):
            with self.subTest(amount=amount):
                if expected is None:
                    self.assertRaises(ValueError, velka.currency, amount)
                else:
                    self.assertEqual(velka.currency(amount), expected)
        for bad in ("0.00001", "abc", float("nan"), 10 ** 20):
            with self.subTest(bad=bad):
                self.assertRaises(ValueError, velka.currency, bad)
        self.assertRaises(TypeError, velka.currency, True)

    def test_printer_is_used_on_its_thread_only(self):
        printer = velka.FiscalPrinter(LIBRARY)  # by path
        self.addCleanup(printer.close)
        caught = []

        def elsewhere():
            try:
                printer.PrintXReport()
            except velka.CallRefused as refused:
                caught.append(refused)

        thread = threading.Thread(target=elsewhere)
        thread.start()
        thread.join()
        self.assertEqual([r.status & 0xFFFFFFFF for r in caught], [0x8001010E])

    def test_library_not_registered_is_named(self):
        with isolated_home():
            with self.assertRaises(velka.LibraryNotFound) as caught:
                velka.FiscalPrinter()
            self.assertIn("not registered", str(caught.exception))
        with self.assertRaises(velka.LibraryNotFound):
            velka.FiscalPrinter("/nonexistent/libTMVVelka.so")

    def test_machine_registration_is_found_after_the_users(self):
        with isolated_home() as home:
            os.environ["VELKA_REGISTER_SYSTEM"] = "1"
            try:
                velka.register_library(LIBRARY)
            finally:
                del os.environ["VELKA_REGISTER_SYSTEM"]
            machine = os.path.join(home, "system-data", "TMV SPA", "classes")
            self.assertTrue(os.path.isfile(os.path.join(machine, velka.PROG_ID + ".progid")))
            self.assertEqual(velka.registered_library(), os.path.realpath(LIBRARY))
            user = velka._native.classes_folder()
            user.mkdir(parents=True)
            (user / (velka.PROG_ID + ".progid")).write_text("[ProgID]\nCLSID={bad}\n")
            with self.assertRaises(velka.LibraryNotFound):  # the user's stands first
                velka.registered_library()


if __name__ == "__main__":
    unittest.main()
