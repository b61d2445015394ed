#!/usr/bin/python3
# Types into the desk's entry through org.freedesktop.portal.RemoteDesktop (keyboard
# only), answering GNOME's consent dialog through AT-SPI. Needs `DESK_PORTAL=1 wayland-desk.sh`.
#   portal_type.py [--first none|shift|shift+wait:MS] [--by keycode|keysym] [--trials N]
#                  [--text TEXT] [--deny] [--dump]
import argparse
import json
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gi.repository import Gio, GLib  # noqa: E402

import common  # noqa: E402
import consent  # noqa: E402

BUS = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
RD = "org.freedesktop.portal.RemoteDesktop"
_tokens = iter(range(1, 1 << 30))


class Portal:
    def __init__(self):
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        self.sender = self.bus.get_unique_name()[1:].replace(".", "_")

    def call(self, method, args, iface=RD, path=PATH):
        return self.bus.call_sync(BUS, path, iface, method, args, None,
                                  Gio.DBusCallFlags.NONE, 60000, None).unpack()

    def prop(self, name, iface=RD):
        return self.call("Get", GLib.Variant("(ss)", (iface, name)),
                         "org.freedesktop.DBus.Properties")[0]

    def request(self, method, make_args, while_waiting=None, timeout=30.0):
        # The Request/Response dance: subscribe to the predictable request path first,
        # so a fast Response is not missed.
        token = f"reradav{next(_tokens)}"
        path = f"{PATH}/request/{self.sender}/{token}"
        got = []
        sub = self.bus.signal_subscribe(BUS, "org.freedesktop.portal.Request", "Response", path,
                                        None, Gio.DBusSignalFlags.NONE,
                                        lambda c, s, p, i, n, params: got.append(params.unpack()))
        try:
            (handle,) = self.call(method, make_args(token))
            if handle != path:
                raise RuntimeError(f"request path {handle}, expected {path}")
            extra = while_waiting() if while_waiting else None
            start = time.monotonic()
            while not got and time.monotonic() - start < timeout:
                common.pump(0.01)
            if not got:
                raise TimeoutError(f"no Response to {method} within {timeout}s")
            code, results = got[0]
            return code, results, extra
        finally:
            self.bus.signal_unsubscribe(sub)

    def key(self, session, by, char, down):
        if by == "keysym":
            self.call("NotifyKeyboardKeysym", GLib.Variant("(oa{sv}iu)", (session, {}, common.keysym(char), 1 if down else 0)))
            return
        code, shift = common.US[char]
        if shift and down:
            self.keycode(session, common.SHIFT, True)
        self.keycode(session, code, down)
        if shift and not down:
            self.keycode(session, common.SHIFT, False)

    def keycode(self, session, code, down):
        self.call("NotifyKeyboardKeycode", GLib.Variant("(oa{sv}iu)", (session, {}, code, 1 if down else 0)))


def session(portal, deny=False):
    t = {}
    t0 = time.monotonic()
    code, res, _ = portal.request("CreateSession", lambda tok: GLib.Variant(
        "(a{sv})", ({"handle_token": GLib.Variant("s", tok),
                     "session_handle_token": GLib.Variant("s", tok + "s")},)))
    if code != 0:
        raise RuntimeError(f"CreateSession answered {code}")
    handle = res["session_handle"]
    code, res, _ = portal.request("SelectDevices", lambda tok: GLib.Variant(
        "(oa{sv})", (handle, {"handle_token": GLib.Variant("s", tok),
                              "types": GLib.Variant("u", 1)})))
    if code != 0:
        raise RuntimeError(f"SelectDevices answered {code}")
    t["setup_ms"] = round((time.monotonic() - t0) * 1000)
    t1 = time.monotonic()
    labels = ("Cancel",) if deny else consent.LABELS
    code, res, (found, label) = portal.request(
        "Start", lambda tok: GLib.Variant("(osa{sv})", (handle, "", {"handle_token": GLib.Variant("s", tok)})),
        while_waiting=lambda: consent.answer(labels=labels))
    t.update(dialog_ms=round(found * 1000), start_ms=round((time.monotonic() - t1) * 1000),
             button=label, response=code, devices=res.get("devices"))
    return handle, t


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--first", default="none")
    p.add_argument("--by", default="keysym", choices=["keycode", "keysym"])
    p.add_argument("--trials", type=int, default=1)
    p.add_argument("--text", default="Hello, World! @ Grüße 123")
    p.add_argument("--deny", action="store_true")
    p.add_argument("--dump", action="store_true", help="print the dialog's accessible tree")
    args = p.parse_args()
    portal = Portal()
    info = {"version": portal.prop("version"), "devices": portal.prop("AvailableDeviceTypes")}
    results = []
    for _ in range(args.trials):
        if args.dump:
            portal_dump(portal)
            return
        handle, t = session(portal, args.deny)
        if t["response"] == 0 and t["devices"] != 1:
            sys.exit(f"granted devices {t['devices']}, not the keyboard (1): {t}")
        if t["response"] == 0:
            if args.first.startswith("shift"):
                portal.keycode(handle, common.SHIFT, True)
                portal.keycode(handle, common.SHIFT, False)
            if ":" in args.first:
                common.pump(int(args.first.split(":")[1]) / 1000)
            before = common.entry_text()
            for ch in args.text:
                portal.key(handle, args.by, ch, True)
                portal.key(handle, args.by, ch, False)
            got, _ = common.wait_text(before, args.text)
            t.update(got=got, ok=got == args.text)
        else:
            try:
                portal.keycode(handle, 30, True)
                t["key_after_deny"] = "accepted"
            except GLib.Error as e:
                t["key_after_deny"] = e.message
        try:
            portal.call("Close", None, "org.freedesktop.portal.Session", handle)
        except GLib.Error as e:
            t["close"] = e.message
        results.append(t)
        common.pump(0.3)
    info.update(first=args.first, by=args.by, ok=f"{sum(r.get('ok', False) for r in results)}/{len(results)}",
                results=results)
    print(json.dumps(info, ensure_ascii=False))


def portal_dump(portal):
    code, res, _ = portal.request("CreateSession", lambda tok: GLib.Variant(
        "(a{sv})", ({"handle_token": GLib.Variant("s", tok),
                     "session_handle_token": GLib.Variant("s", tok + "s")},)))
    handle = res["session_handle"]
    portal.request("SelectDevices", lambda tok: GLib.Variant(
        "(oa{sv})", (handle, {"handle_token": GLib.Variant("s", tok), "types": GLib.Variant("u", 1)})))

    def show():
        common.pump(2)  # time for the dialog to map
        print(consent.dump())
        return consent.answer(labels=("Cancel",))

    portal.request("Start", lambda tok: GLib.Variant(
        "(osa{sv})", (handle, "", {"handle_token": GLib.Variant("s", tok)})), while_waiting=show)


if __name__ == "__main__":
    main()
