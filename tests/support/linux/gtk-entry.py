#!/usr/bin/python3
# One-line GTK3 entry for the Wayland test desks: takes the focus and writes its whole
# text (UTF-8) to the file given on every change, so a test can compare what was typed.
# Usage: gtk-entry.py OUT-FILE   (app id and title: reradav-entry)
import os
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402


def save(entry, path):
    # Written to a temporary file and renamed so a reader never sees half a text.
    temporary = path + ".part"
    with open(temporary, "w", encoding="utf-8") as out:
        out.write(entry.get_text())
    os.replace(temporary, path)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: gtk-entry.py OUT-FILE")
    path = sys.argv[1]
    GLib.set_prgname("reradav-entry")
    window = Gtk.Window(title="reradav-entry")
    window.set_default_size(600, 60)
    entry = Gtk.Entry()
    entry.connect("changed", save, path)
    window.add(entry)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    window.present()
    entry.grab_focus()
    save(entry, path)  # an empty file says the window is up
    Gtk.main()


if __name__ == "__main__":
    main()
