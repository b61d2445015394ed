#!/usr/bin/python3
# Types a text into the desk's entry through org.gnome.Mutter.RemoteDesktop and reports
# what arrived. One new session per trial, so a lost first key shows in every trial.
#   mutter_type.py [--first none|shift|shift+wait:MS|shiftsym|wait:MS|release]
#                  [--by keycode|keysym] [--trials N] [--screencast] [--text TEXT] [--stop none]
import argparse
import json
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gi.repository import Gio, GLib  # noqa: E402

import common  # noqa: E402

BUS = "org.gnome.Mutter.RemoteDesktop"
RD = "/org/gnome/Mutter/RemoteDesktop"
SESSION = "org.gnome.Mutter.RemoteDesktop.Session"


def call(bus, path, iface, method, args=None, reply=None):
    return bus.call_sync(BUS if "RemoteDesktop" in iface else "org.gnome.Mutter.ScreenCast",
                         path, iface, method, args, reply, Gio.DBusCallFlags.NONE, 5000,
                         None)


def key(bus, path, by, char, down):
    if by == "keysym":
        call(bus, path, SESSION, "NotifyKeyboardKeysym",
             GLib.Variant("(ub)", (common.keysym(char), down)))
        return
    code, shift = common.US[char]
    if shift and down:
        call(bus, path, SESSION, "NotifyKeyboardKeycode", GLib.Variant("(ub)", (common.SHIFT, True)))
    call(bus, path, SESSION, "NotifyKeyboardKeycode", GLib.Variant("(ub)", (code, down)))
    if shift and not down:
        call(bus, path, SESSION, "NotifyKeyboardKeycode", GLib.Variant("(ub)", (common.SHIFT, False)))


def first_event(bus, path, first):
    kc = lambda code, down: call(bus, path, SESSION, "NotifyKeyboardKeycode",  # noqa: E731
                                 GLib.Variant("(ub)", (code, down)))
    if first == "shift":
        kc(common.SHIFT, True), kc(common.SHIFT, False)
    elif first == "shiftsym":
        for down in (True, False):
            call(bus, path, SESSION, "NotifyKeyboardKeysym",
                 GLib.Variant("(ub)", (common.SHIFT_L, down)))
    elif first == "release":  # a release of a key never pressed
        kc(common.SHIFT, False)
    elif first.startswith("wait:"):
        common.pump(int(first[5:]) / 1000)
    elif first.startswith("shift+wait:"):
        kc(common.SHIFT, True), kc(common.SHIFT, False)
        common.pump(int(first[11:]) / 1000)


def trial(bus, args):
    closed = []
    t0 = time.monotonic()
    (path,) = call(bus, RD, "org.gnome.Mutter.RemoteDesktop", "CreateSession").unpack()
    sub = bus.signal_subscribe(BUS, SESSION, "Closed", path, None, Gio.DBusSignalFlags.NONE,
                               lambda *a: closed.append(time.monotonic()))
    if args.screencast:
        sid = call(bus, path, "org.freedesktop.DBus.Properties", "Get",
                   GLib.Variant("(ss)", (SESSION, "SessionId"))).unpack()[0]
        bus.call_sync("org.gnome.Mutter.ScreenCast", "/org/gnome/Mutter/ScreenCast",
                      "org.gnome.Mutter.ScreenCast", "CreateSession",
                      GLib.Variant("(a{sv})", ({"remote-desktop-session-id": GLib.Variant("s", sid)},)),
                      None, Gio.DBusCallFlags.NONE, 5000, None)
    call(bus, path, SESSION, "Start")
    t_start = time.monotonic()
    first_event(bus, path, args.first)
    before = common.entry_text()
    for ch in args.text:
        key(bus, path, args.by, ch, True)
        key(bus, path, args.by, ch, False)
    t_typed = time.monotonic()
    got, waited = common.wait_text(before, args.text)
    result = {"got": got, "ok": got == args.text, "start_ms": round((t_start - t0) * 1000),
              "type_ms": round((t_typed - t_start) * 1000), "arrive_ms": round(waited * 1000)}
    if args.stop == "stop":
        call(bus, path, SESSION, "Stop")
        common.pump(0.2)
        result["closed_signal"] = bool(closed)
    bus.signal_unsubscribe(sub)
    return result


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--first", default="none")
    p.add_argument("--by", default="keycode", choices=["keycode", "keysym"])
    p.add_argument("--trials", type=int, default=1)
    p.add_argument("--text", default="Hello, World! @ Grüße 123")
    p.add_argument("--screencast", action="store_true")
    p.add_argument("--stop", default="stop", choices=["stop", "none"])
    p.add_argument("--pause", type=float, default=0.3, help="seconds between trials")
    args = p.parse_args()
    if args.by == "keycode" and any(c not in common.US for c in args.text):
        sys.exit("not on the US layout by keycode: " + "".join(c for c in args.text if c not in common.US))
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    results = []
    for _ in range(args.trials):
        results.append(trial(bus, args))
        common.pump(args.pause)
    ok = sum(r["ok"] for r in results)
    print(json.dumps({"first": args.first, "by": args.by, "ok": f"{ok}/{len(results)}",
                      "results": results}, ensure_ascii=False))


if __name__ == "__main__":
    main()
