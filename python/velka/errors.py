"""The two ways a call on the control fails: the control answers with a result code other
than 0 (VelkaError, raised unless the printer returns codes), or the C surface refuses the
call itself, a fault of the caller (CallRefused, always raised)."""
from __future__ import annotations

from .constants import describe


class VelkaError(Exception):
    """A member returned a result code other than 0.

    ResultCode and ResultCodeExtended carry the control's numbers; member names the call;
    message the meaning of the codes in English."""

    def __init__(self, member: str, result_code: int, result_code_extended: int = 0) -> None:
        self.member = member
        self.ResultCode = result_code
        self.ResultCodeExtended = result_code_extended
        self.message = describe(result_code, result_code_extended)
        super().__init__(f"{member}: {result_code} ({self.message})")


class CallRefused(Exception):
    """The C surface refused a call (a wrong argument, a call from another thread, ...):
    status is the negative status of automation/c_surface.h, text its explanation."""

    def __init__(self, what: str, status: int, text: str) -> None:
        self.status = status
        self.text = text
        super().__init__(f"{what}: status 0x{status & 0xFFFFFFFF:08X}: {text}")
