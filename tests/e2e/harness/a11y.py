"""Reading the program's windows through the accessibility tree (AT-SPI).

Qt Widgets publishes menus, list entries, labels, combo boxes and message boxes
with their texts and states. Two Qt habits are worth knowing:
  * a menu caption is published without its "&"; the access key comes separately
    as the item's key binding ("Alt+F"), so both are read and put back together;
  * an empty label inside a group box is named after the group box's title.

Nothing is cached between calls: every read asks the program again, so a poll
sees the current state.
"""

import os
from dataclasses import dataclass, field

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

_initialised = False


def _init():
    """Connects to the accessibility bus named by this process's environment.

    The caller must have put DISPLAY and DBUS_SESSION_BUS_ADDRESS of the test
    desktop into os.environ first.
    """
    global _initialised
    if not _initialised:
        if "DBUS_SESSION_BUS_ADDRESS" not in os.environ:
            raise RuntimeError("no D-Bus session bus in the environment")
        Atspi.init()
        # A program that stopped answering must fail a test, not hang it.
        Atspi.set_timeout(5000, 15000)
        _initialised = True


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
        names = frozenset(s.value_nick for s in obj.get_state_set().get_states())
        try:
            ext = obj.get_extents(Atspi.CoordType.SCREEN)
            extents = (ext.x, ext.y, ext.width, ext.height)
        except Exception:  # noqa: BLE001 - objects without a component
            extents = (0, 0, 0, 0)
        return cls(obj, obj.get_role_name(), obj.get_name() or "", names, extents)

    # States, as a user would see them.
    @property
    def showing(self):
        return "showing" in self.states and self.extents[2] > 0 and self.extents[3] > 0

    @property
    def visible(self):
        return "visible" in self.states

    @property
    def enabled(self):
        return "enabled" in self.states

    @property
    def focused(self):
        return "focused" in self.states

    @property
    def selected(self):
        return "selected" in self.states

    @property
    def checked(self):
        return "checked" in self.states

    @property
    def center(self):
        x, y, w, h = self.extents
        return x + w // 2, y + h // 2

    def children(self):
        result = []
        for i in range(self.obj.get_child_count()):
            child = self.obj.get_child_at_index(i)
            if child is not None:
                result.append(Node.read(child))
        return result

    def find_all(self, predicate, max_depth=12):
        found = []
        stack = [(self, 0)]
        while stack:
            node, depth = stack.pop()
            if predicate(node):
                found.append(node)
            if depth < max_depth:
                stack.extend((child, depth + 1) for child in reversed(node.children()))
        return found

    def find(self, predicate, max_depth=12):
        found = self.find_all(predicate, max_depth)
        return found[0] if found else None

    def text(self):
        """The editable or displayed text, for objects that publish a Text interface."""
        if "Text" not in self.obj.get_interfaces():
            return self.name
        return Atspi.Text.get_text(self.obj, 0, -1)

    def key_binding(self):
        if "Action" not in self.obj.get_interfaces() or Atspi.Action.get_n_actions(self.obj) == 0:
            return ""
        return Atspi.Action.get_key_binding(self.obj, 0) or ""


def with_access_key(caption, key_binding):
    """Puts a menu caption back together with its access key: ("File", "Alt+F") -> "&File"."""
    if not key_binding.startswith("Alt+") or len(key_binding) != 5:
        return caption
    key = key_binding[-1]
    index = caption.find(key)
    if index < 0:
        index = caption.lower().find(key.lower())
    return caption if index < 0 else caption[:index] + "&" + caption[index:]


def application(pid):
    """The program's accessible root, or None while it has not registered yet."""
    _init()
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None:
            continue
        try:
            if app.get_process_id() == pid:
                app.set_cache_mask(Atspi.Cache.NONE)
                app.clear_cache()
                return Node.read(app)
        except Exception:  # noqa: BLE001 - a program that just went away
            continue
    return None
