"""The program's windows read through the accessibility tree (AT-SPI), uncached."""

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

_initialised = []


class Node:
    def __init__(self, obj):
        self.obj, self.role, self.name = obj, obj.get_role_name(), obj.get_name() or ""
        self.states = frozenset(s.value_nick for s in obj.get_state_set().get_states())
        try:  # x, y, width, height in screen pixels
            ext = obj.get_extents(Atspi.CoordType.SCREEN)
            self.extents = (ext.x, ext.y, ext.width, ext.height)
        except Exception:  # noqa: BLE001 - objects without a component
            self.extents = (0, 0, 0, 0)

    showing = property(lambda self: "showing" in self.states and min(self.extents[2:]) > 0)
    current = property(lambda self: bool({"focused", "selected"} & self.states))
    center = property(lambda self: (self.extents[0] + self.extents[2] // 2,
                                    self.extents[1] + self.extents[3] // 2))

    def children(self):
        kids = (self.obj.get_child_at_index(i) for i in range(self.obj.get_child_count()))
        return [Node(kid) for kid in kids if kid is not None]

    def find(self, predicate, depth=12):
        found = (child.find(predicate, depth - 1) for child in (self.children() if depth else []))
        return self if predicate(self) else next((n for n in found if n is not None), None)

    def text(self):
        has_text = "Text" in self.obj.get_interfaces()
        return Atspi.Text.get_text(self.obj, 0, -1) if has_text else self.name


def application(pid):
    if not _initialised:
        _initialised.append(Atspi.init())
        Atspi.set_timeout(5000, 15000)  # a program that stopped answering fails, not hangs
    desktop = Atspi.get_desktop(0)
    for app in (desktop.get_child_at_index(i) for i in range(desktop.get_child_count())):
        try:
            if app is not None and app.get_process_id() == pid:
                app.set_cache_mask(Atspi.Cache.NONE)
                app.clear_cache()
                return Node(app)
        except Exception:  # noqa: BLE001 - a program that just went away
            continue
    raise LookupError(f"process {pid} is not in the accessibility tree")
