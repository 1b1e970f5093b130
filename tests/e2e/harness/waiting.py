"""Polling instead of sleeping: every wait names its condition and has a deadline."""

import time


class WaitTimeout(AssertionError):
    pass


def wait_until(condition, timeout=10.0, interval=0.05, message=None):
    """Returns condition()'s first truthy value; an exception counts as "not yet",
    and the last one is reported with the timeout, so a failure explains itself."""
    deadline = time.monotonic() + timeout
    last_value, last_error = None, None
    while True:
        try:
            last_value = condition()
            last_error = None
            if last_value:
                return last_value
        except Exception as error:  # noqa: BLE001 - reported below
            last_error = error
        if time.monotonic() >= deadline:
            what = message or getattr(condition, "__name__", "condition")
            detail = f"last error: {last_error!r}" if last_error else f"last value: {last_value!r}"
            raise WaitTimeout(f"timed out after {timeout:.1f}s waiting for {what} ({detail})")
        time.sleep(interval)
