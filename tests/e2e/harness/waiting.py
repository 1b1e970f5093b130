"""Polling instead of sleeping: every wait names its condition and has a deadline."""

import time


def wait_until(condition, timeout=10.0, interval=0.05, message=None):
    """condition()'s first truthy value; an exception is "not yet", reported on timeout."""
    deadline, value, error = time.monotonic() + timeout, None, None
    while True:
        try:
            value, error = condition(), None
            if value:
                return value
        except Exception as raised:  # noqa: BLE001 - reported below
            error = raised
        if time.monotonic() >= deadline:
            last = f"last error: {error!r}" if error else f"last value: {value!r}"
            raise AssertionError(f"timed out after {timeout:.1f}s waiting for "
                                 f"{message or condition.__name__} ({last})")
        time.sleep(interval)


def holds(condition, seconds=1.0):
    """Whether condition() stays truthy for a while, as when a click must change nothing."""
    deadline = time.monotonic() + seconds
    while (kept := condition()) and time.monotonic() < deadline:
        time.sleep(0.1)
    return bool(kept)
