#!/usr/bin/python3
"""sni_watcher.py RECORD: a StatusNotifierWatcher; RECORD gets "ready", "registered SERVICE"."""

import sys

from gi.repository import Gio, GLib

NAME, PATH = "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher"
INTERFACE = f"""<node><interface name="{NAME}">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
</interface></node>"""
items = []


def record(line):
    with open(sys.argv[1], "a", encoding="utf-8") as file:
        file.write(line + "\n")


def on_call(connection, sender, path, interface, method, params, invocation):
    if method == "RegisterStatusNotifierItem":
        service = params.unpack()[0]
        service = sender if service.startswith("/") else service  # an object path, not a name
        items.append(service)
        record(f"registered {service}")
        connection.emit_signal(None, PATH, NAME, "StatusNotifierItemRegistered",
                               GLib.Variant("(s)", (service,)))
    invocation.return_value(None)


def on_get(connection, sender, path, interface, name):
    values = {"RegisteredStatusNotifierItems": GLib.Variant("as", items),
              "IsStatusNotifierHostRegistered": GLib.Variant("b", True)}
    return values.get(name, GLib.Variant("i", 0))


loop = GLib.MainLoop()
node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
Gio.bus_own_name(Gio.BusType.SESSION, NAME, Gio.BusNameOwnerFlags.NONE,
                 lambda bus, _: bus.register_object(PATH, node.interfaces[0], on_call, on_get,
                                                    None),
                 lambda *_: record("ready"), lambda *_: loop.quit())
loop.run()
