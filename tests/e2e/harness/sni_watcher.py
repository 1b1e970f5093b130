#!/usr/bin/python3
"""sni_watcher.py RECORD_FILE: a minimal StatusNotifierWatcher, as the panels of KDE,
of GNOME with its AppIndicator extension and of most other desktops run. RECORD_FILE
gets "ready" once the name is owned, then "registered SERVICE" for each tray item."""

import sys

from gi.repository import Gio, GLib

NAME = "org.kde.StatusNotifierWatcher"
PATH = "/StatusNotifierWatcher"
INTERFACE = """
<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>
"""


class Watcher:
    def __init__(self, record_path):
        self.record_path = record_path
        self.items = []

    def record(self, line):
        with open(self.record_path, "a", encoding="utf-8") as record:
            record.write(line + "\n")

    def on_call(self, connection, sender, path, interface, method, params, invocation):
        if method == "RegisterStatusNotifierItem":
            service = params.unpack()[0]
            # An item may give its object path instead of a service name.
            if service.startswith("/"):
                service = sender
            self.items.append(service)
            self.record(f"registered {service}")
            connection.emit_signal(None, PATH, NAME, "StatusNotifierItemRegistered",
                                   GLib.Variant("(s)", (service,)))
        invocation.return_value(None)

    def on_get(self, connection, sender, path, interface, name):
        if name == "RegisteredStatusNotifierItems":
            return GLib.Variant("as", self.items)
        if name == "IsStatusNotifierHostRegistered":
            return GLib.Variant("b", True)
        return GLib.Variant("i", 0)


def main():
    watcher = Watcher(sys.argv[1])
    loop = GLib.MainLoop()
    node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)

    def on_bus(connection, _name):
        connection.register_object(PATH, node.interfaces[0], watcher.on_call, watcher.on_get,
                                   None)

    Gio.bus_own_name(Gio.BusType.SESSION, NAME, Gio.BusNameOwnerFlags.NONE, on_bus,
                     lambda *_: watcher.record("ready"), lambda *_: loop.quit())
    loop.run()


if __name__ == "__main__":
    main()
