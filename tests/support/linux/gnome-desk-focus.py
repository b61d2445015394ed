#!/usr/bin/python3
# Proves the desk's entry window has the keyboard focus: a headless mutter's seat has no
# keyboard until a remote-desktop session sends a key, and GTK marks its window active
# (AT-SPI "active") only once that keyboard enters it. A Shift press and release types
# nothing. Usage: gnome-desk-focus.py WINDOW-TITLE TIMEOUT-SECONDS
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, Gio, GLib  # noqa: E402

RD, SESSION = "org.gnome.Mutter.RemoteDesktop", "org.gnome.Mutter.RemoteDesktop.Session"


def frame(title):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        for j in range(app.get_child_count() if app else 0):
            window = app.get_child_at_index(j)
            if window is not None and window.get_name() == title:
                return window
    return None


def until(what, test, deadline):
    while not test():
        if time.monotonic() > deadline:
            sys.exit(f"timed out waiting for {what}")
        time.sleep(0.05)


if __name__ == "__main__":
    title, deadline = sys.argv[1], time.monotonic() + float(sys.argv[2])
    until(f"a window '{title}' on AT-SPI", lambda: frame(title) is not None, deadline)
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def call(path, iface, method, args=None):
        return bus.call_sync(RD, path, iface, method, args, None, Gio.DBusCallFlags.NONE, 5000, None)

    (path,) = call("/org/gnome/Mutter/RemoteDesktop", RD, "CreateSession").unpack()
    call(path, SESSION, "Start")
    for down in (True, False):
        call(path, SESSION, "NotifyKeyboardKeycode", GLib.Variant("(ub)", (42, down)))
    active = lambda: frame(title).get_state_set().contains(Atspi.StateType.ACTIVE)  # noqa: E731
    until(f"'{title}' to get the keyboard focus", active, deadline)
    call(path, SESSION, "Stop")
