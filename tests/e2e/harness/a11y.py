"""Reading the program's windows through the accessibility tree (AT-SPI). Nothing is
cached: every read asks the program again, so a poll sees the current state."""

import os
from dataclasses import dataclass, field

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

_initialised = False


@dataclass
class Node:
    """One accessible object, read once: role, name, states and screen extents."""

    obj: object = field(repr=False)
    role: str
    name: str
    states: frozenset
    extents: tuple  # x, y, width, height in screen pixels

    @classmethod
    def read(cls, obj):
        states = frozenset(s.value_nick for s in obj.get_state_set().get_states())
        try:
            ext = obj.get_extents(Atspi.CoordType.SCREEN)
            extents = (ext.x, ext.y, ext.width, ext.height)
        except Exception:  # noqa: BLE001 - objects without a component
            extents = (0, 0, 0, 0)
        return cls(obj, obj.get_role_name(), obj.get_name() or "", states, extents)

    @property
    def showing(self):
        return "showing" in self.states and self.extents[2] > 0 and self.extents[3] > 0

    visible = property(lambda self: "visible" in self.states)
    current = property(lambda self: bool({"focused", "selected"} & self.states))
    selected = property(lambda self: "selected" in self.states)

    @property
    def center(self):
        x, y, w, h = self.extents
        return x + w // 2, y + h // 2

    def children(self):
        kids = (self.obj.get_child_at_index(i) for i in range(self.obj.get_child_count()))
        return [Node.read(kid) for kid in kids if kid is not None]

    def find(self, predicate, depth=12):
        """The first node, depth first, that the predicate accepts, or None."""
        if predicate(self):
            return self
        for child in self.children() if depth else []:
            found = child.find(predicate, depth - 1)
            if found is not None:
                return found
        return None

    def text(self):
        """The editable or displayed text, for objects that publish a Text interface."""
        if "Text" not in self.obj.get_interfaces():
            return self.name
        return Atspi.Text.get_text(self.obj, 0, -1)

    def caption(self):
        """The name with its access key, which Qt publishes apart as the key binding,
        marked again: ("File", "Alt+F") -> "&File"."""
        binding = ""
        if "Action" in self.obj.get_interfaces() and Atspi.Action.get_n_actions(self.obj):
            binding = Atspi.Action.get_key_binding(self.obj, 0) or ""
        if not binding.startswith("Alt+") or len(binding) != 5:
            return self.name
        index = self.name.find(binding[-1])
        index = index if index >= 0 else self.name.lower().find(binding[-1].lower())
        return self.name if index < 0 else self.name[:index] + "&" + self.name[index:]


def application(pid):
    """The program's accessible root, or None while it has not registered yet. The
    caller puts DISPLAY and DBUS_SESSION_BUS_ADDRESS of the test desktop into os.environ."""
    global _initialised
    if not _initialised:
        if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
            raise RuntimeError("no D-Bus session bus in the environment")
        Atspi.init()
        Atspi.set_timeout(5000, 15000)  # a program that stopped answering fails, not hangs
        _initialised = True
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        try:
            if app is not None and app.get_process_id() == pid:
                app.set_cache_mask(Atspi.Cache.NONE)
                app.clear_cache()
                return Node.read(app)
        except Exception:  # noqa: BLE001 - a program that just went away
            continue
    return None
