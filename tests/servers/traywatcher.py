#!/usr/bin/python3
"""A notification area for a desktop without one (a virtual X server in tests, screenshots and
benchmarks): the freedesktop StatusNotifierWatcher on the session bus, with a host registered, so
that Qt programs find a system tray and register their icon here. Every registered item is written
to standard output as one line "item SERVICE-OR-PATH", flushed, so a caller can wait for it.

    traywatcher.py            run until killed (start it with dbus-run-session or a session bus)
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
PATH = "/StatusNotifierWatcher"
PROPS = "org.freedesktop.DBus.Properties"


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        self.items = []
        super().__init__(bus, PATH)

    @dbus.service.method(WATCHER, in_signature="s", out_signature="", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        # Qt passes its object path; the item lives at the caller's unique name.
        item = service if service.startswith(":") or "." in service else f"{sender}{service}"
        self.items.append(item)
        print(f"item {item}", flush=True)
        self.StatusNotifierItemRegistered(item)

    @dbus.service.method(WATCHER, in_signature="s", out_signature="")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, item):
        pass

    @dbus.service.signal(WATCHER, signature="")
    def StatusNotifierHostRegistered(self):
        pass

    def _properties(self):
        return {
            "RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
            "IsStatusNotifierHostRegistered": dbus.Boolean(True),
            "ProtocolVersion": dbus.Int32(0),
        }

    # Qt reads the properties through an interface built from the introspection data, so they must be
    # declared there; dbus-python lists methods and signals only.
    @dbus.service.method("org.freedesktop.DBus.Introspectable", in_signature="", out_signature="s",
                         path_keyword="object_path", connection_keyword="connection")
    def Introspect(self, object_path, connection):
        xml = super().Introspect(object_path, connection)
        props = (f'<interface name="{WATCHER}">'
                 '<property name="RegisteredStatusNotifierItems" type="as" access="read"/>'
                 '<property name="IsStatusNotifierHostRegistered" type="b" access="read"/>'
                 '<property name="ProtocolVersion" type="i" access="read"/>')
        return xml.replace(f'<interface name="{WATCHER}">', props, 1)

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self._properties()[name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self._properties()


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(WATCHER, bus)
    Watcher(bus)
    print("ready", flush=True)
    GLib.MainLoop().run()
    del name


if __name__ == "__main__":
    sys.exit(main())
