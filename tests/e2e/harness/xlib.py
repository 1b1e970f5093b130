"""The few Xlib calls that no command-line tool answers."""

import ctypes
import ctypes.util

_xlib = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
_xlib.XOpenDisplay.restype = ctypes.c_void_p
_xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
_xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
_xlib.XInternAtom.restype = ctypes.c_ulong
_xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
_xlib.XGetSelectionOwner.restype = ctypes.c_ulong
_xlib.XGetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong]


def selection_owner(display, selection):
    """The window that owns the selection (e.g. the tray's _NET_SYSTEM_TRAY_S0), or 0."""
    connection = _xlib.XOpenDisplay(display.encode())
    if not connection:
        raise ConnectionError(f"cannot open X display {display}")
    try:
        atom = _xlib.XInternAtom(connection, selection.encode(), 0)
        return _xlib.XGetSelectionOwner(connection, atom)
    finally:
        _xlib.XCloseDisplay(connection)
