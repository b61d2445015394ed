#!/usr/bin/python3
# Throwaway study client: types ASCII text through org.freedesktop.portal.RemoteDesktop
# (keyboard only), by evdev keycode (default) or by keysym, and prints what the portal
# says and how long each step takes.
# Usage: portal-type.py [--keysym] [--hold-shift] [--persist N] [--restore TOKEN] [--wait MS] TEXT
import argparse
import ctypes
import sys
import time

from gi.repository import Gio, GLib

PORTAL = "org.freedesktop.portal.Desktop"
PATH = "/org/freedesktop/portal/desktop"
RD = "org.freedesktop.portal.RemoteDesktop"

# US layout: character -> (evdev code, shift)
CODES = {}
for i, c in enumerate("abcdefghijklmnopqrstuvwxyz"):
    CODES[c] = ([30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50, 49, 24, 25, 16, 19, 31,
                 20, 22, 47, 17, 45, 21, 44][i], False)
    CODES[c.upper()] = (CODES[c][0], True)
for c, s, code in zip("1234567890", "!@#$%^&*()", range(2, 12)):
    CODES[c], CODES[s] = (code, False), (code, True)
for c, s, code in [(" ", None, 57), (",", "<", 51), (".", ">", 52), ("/", "?", 53),
                   (";", ":", 39), ("'", '"', 40), ("-", "_", 12), ("=", "+", 13),
                   ("[", "{", 26), ("]", "}", 27), ("\\", "|", 43), ("`", "~", 41)]:
    CODES[c] = (code, False)
    if s:
        CODES[s] = (code, True)
KEY_LEFTSHIFT = 42
XKB = ctypes.CDLL("libxkbcommon.so.0")


class Portal:
    def __init__(self):
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION)
        self.sender = self.bus.get_unique_name()[1:].replace(".", "_")
        self.loop = GLib.MainLoop()
        self.count = 0

    def prop(self, name):
        v = self.bus.call_sync(PORTAL, PATH, "org.freedesktop.DBus.Properties", "Get",
                               GLib.Variant("(ss)", (RD, name)), None, 0, 5000, None)
        return v.unpack()[0]

    def request(self, method, args_fmt, args, options):
        """Calls a Request-returning method and waits for its Response signal."""
        self.count += 1
        token = "reradav%d" % self.count
        options["handle_token"] = GLib.Variant("s", token)
        path = "/org/freedesktop/portal/desktop/request/%s/%s" % (self.sender, token)
        result = {}

        def on_response(conn, sender, obj, iface, signal, params):
            result["code"], result["results"] = params.unpack()
            self.loop.quit()

        # Subscribed before the call, so a quick Response is not missed.
        sub = self.bus.signal_subscribe(PORTAL, "org.freedesktop.portal.Request", "Response",
                                        path, None, Gio.DBusSignalFlags.NO_MATCH_RULE, on_response)
        started = time.monotonic()
        self.bus.call_sync(PORTAL, PATH, RD, method,
                           GLib.Variant("(" + args_fmt + "a{sv})", tuple(args) + (options,)),
                           None, 0, 60000, None)
        timer = GLib.timeout_add_seconds(60, self.loop.quit)
        self.loop.run()
        GLib.source_remove(timer)
        self.bus.signal_unsubscribe(sub)
        took = (time.monotonic() - started) * 1000
        if "code" not in result:
            sys.exit("%s: no Response within 60 s" % method)
        print("%s: response %d %s (%.0f ms)" % (method, result["code"], result["results"], took))
        if result["code"] != 0:
            sys.exit("%s refused (1 = cancelled by the user, 2 = other)" % method)
        return result["results"]

    def notify(self, method, value, state):
        self.bus.call_sync(PORTAL, PATH, RD, method,
                           GLib.Variant("(oa{sv}iu)", (self.session, {}, value, state)),
                           None, 0, 5000, None)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--keysym", action="store_true")
    parser.add_argument("--persist", type=int)
    parser.add_argument("--restore")
    parser.add_argument("--wait", type=int, default=0, help="ms after Start, before typing")
    parser.add_argument("--hold-shift", action="store_true",
                        help="press Shift, close the session: does anything release it?")
    parser.add_argument("text")
    args = parser.parse_args()
    p = Portal()
    print("version", p.prop("version"), "AvailableDeviceTypes", p.prop("AvailableDeviceTypes"))
    results = p.request("CreateSession", "", (),
                        {"session_handle_token": GLib.Variant("s", "reradav")})
    p.session = results["session_handle"]
    options = {"types": GLib.Variant("u", 1)}
    if args.persist is not None:
        options["persist_mode"] = GLib.Variant("u", args.persist)
    if args.restore:
        options["restore_token"] = GLib.Variant("s", args.restore)
    p.request("SelectDevices", "o", (p.session,), options)
    p.request("Start", "os", (p.session, ""), {})
    time.sleep(args.wait / 1000)
    started = time.monotonic()
    if args.hold_shift:
        p.notify("NotifyKeyboardKeycode", KEY_LEFTSHIFT, 1)
        args.text = ""
    for c in args.text:
        if args.keysym:
            keysym = XKB.xkb_utf32_to_keysym(ord(c))  # € is EuroSign, not 0x10020ac
            pairs = [(keysym, 1), (keysym, 0)]
            method = "NotifyKeyboardKeysym"
        elif c not in CODES:
            print("no key for %r on us" % c)
            continue
        else:
            code, shift = CODES[c]
            pairs = ([(KEY_LEFTSHIFT, 1)] if shift else []) + [(code, 1), (code, 0)] + \
                ([(KEY_LEFTSHIFT, 0)] if shift else [])
            method = "NotifyKeyboardKeycode"
        for value, state in pairs:
            p.notify(method, value, state)
    print("typed %d characters in %.0f ms" % (len(args.text), (time.monotonic() - started) * 1000))
    p.bus.call_sync(PORTAL, p.session, "org.freedesktop.portal.Session", "Close", None, None, 0,
                    5000, None)


if __name__ == "__main__":
    main()
