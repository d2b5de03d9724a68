"""The printer's event loop inside asyncio: the printer's descriptor watched by the running
loop, so that in asynchronous mode the queued commands go out, and their events come, while
coroutines await.

    async with velka.aio.attach(printer) as events:
        printer.AsyncMode = True
        ...queue a receipt...
        await events.next(printer.StatusUpdateEvent, lambda status: status == 1001, 30)
"""
from __future__ import annotations

import asyncio
from typing import Any, Callable, Optional, Set

from .printer import Event, FiscalPrinter


class Attachment:
    """The printer's descriptor registered with an asyncio loop until close()."""

    def __init__(self, printer: FiscalPrinter,
                 loop: Optional[asyncio.AbstractEventLoop] = None) -> None:
        self.printer = printer
        self.loop = loop or asyncio.get_running_loop()
        self._fd = printer.fileno()
        self._waiting: Set[asyncio.Future] = set()
        self.failure: Optional[BaseException] = None
        self.loop.add_reader(self._fd, self._turn)

    def _turn(self) -> None:
        try:
            self.printer.process_events(0)
        except BaseException as error:  # a handler's, or the control's: tell every waiter
            self.failure = self.failure or error
            for future in list(self._waiting):
                if not future.done():
                    future.set_exception(error)

    async def next(self, event: Event, accept: Callable[..., bool] = lambda *args: True,
                   timeout: Optional[float] = None) -> tuple:
        """The arguments of the next raising of event that accept takes; asyncio.TimeoutError
        after timeout seconds."""
        future: asyncio.Future = self.loop.create_future()

        def handler(*args: Any) -> None:
            if not future.done() and accept(*args):
                future.set_result(args)

        event.connect(handler)
        self._waiting.add(future)
        try:
            return await asyncio.wait_for(future, timeout)
        finally:
            self._waiting.discard(future)
            event.disconnect(handler)

    def close(self) -> None:
        if self._fd >= 0:
            self.loop.remove_reader(self._fd)
            self._fd = -1

    def __enter__(self) -> "Attachment":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    async def __aenter__(self) -> "Attachment":
        return self

    async def __aexit__(self, *exc: Any) -> None:
        self.close()


def attach(printer: FiscalPrinter,
           loop: Optional[asyncio.AbstractEventLoop] = None) -> Attachment:
    """Watches the printer's descriptor in loop (the running one by default)."""
    return Attachment(printer, loop)
