# Shared by the GNOME study clients: US-layout keycodes, keysyms, and the desk's entry.
# Run as the desk's user: wayland-desk.sh exec DIR /usr/bin/python3 CLIENT …
import os
import time

from gi.repository import GLib

# evdev keycodes (linux/input-event-codes.h) of the US layout; (code, shift).
_ROWS = [
    ("1234567890-=", "!@#$%^&*()_+", 2),
    ("qwertyuiop[]", "QWERTYUIOP{}", 16),
    ("asdfghjkl;'`", 'ASDFGHJKL:"~', 30),
]
US = {}
for plain, shifted, first in _ROWS:
    for i, (p, s) in enumerate(zip(plain, shifted)):
        US[p], US[s] = (first + i, False), (first + i, True)
for i, (p, s) in enumerate(zip("\\zxcvbnm,./", "|ZXCVBNM<>?")):
    US[p], US[s] = (43 + i, False), (43 + i, True)
US[" "] = (57, False)
SHIFT = 42  # KEY_LEFTSHIFT
SHIFT_L = 0xFFE1  # XK_Shift_L


def keysym(char):
    # X11: Latin-1 is its own keysym, everything else 0x01000000 + code point.
    cp = ord(char)
    return cp if 0x20 <= cp <= 0x7E or 0xA0 <= cp <= 0xFF else 0x01000000 + cp


def entry_path():
    return os.path.join(os.environ["HOME"], "entry.txt")


def entry_text():
    with open(entry_path(), encoding="utf-8") as f:
        return f.read()


def pump(seconds):
    # Lets D-Bus signals in while waiting.
    deadline = time.monotonic() + seconds
    ctx = GLib.MainContext.default()
    while time.monotonic() < deadline:
        while ctx.pending():
            ctx.iteration(False)
        time.sleep(0.01)


def wait_text(before, expected, limit=3.0, settle=0.5):
    # The text typed since `before`: returns as soon as it equals `expected`, else once it
    # has not changed for `settle` seconds (or after `limit`).
    start = time.monotonic()
    last, changed = None, start
    while True:
        text = entry_text()
        added = text[len(before):] if text.startswith(before) else "<entry changed: " + text + ">"
        if added == expected:
            return added, time.monotonic() - start
        now = time.monotonic()
        if added != last:
            last, changed = added, now
        if now - changed > settle or now - start > limit:
            return added, now - start
        pump(0.01)
