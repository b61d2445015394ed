# Answers GNOME's remote-desktop consent dialog through AT-SPI, as a user would: ticks "Allow
# remote interaction" (once: AT-SPI reports the state late, and a second toggle unticks it), then
# presses Share. Exits 1 when no such dialog came within the time given (seconds, default 20).
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

warnings.simplefilter("ignore", DeprecationWarning)  # the Action calls, the only ones there are


def nodes(node, depth=0):
    if node is not None and depth < 25:
        yield node
        for i in range(node.get_child_count()):
            yield from nodes(node.get_child_at_index(i), depth + 1)


def find(role, word):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and "portal" in (app.get_name() or ""):
            for node in nodes(app):
                if node.get_role() == role and (node.get_name() or "").split(" ")[-1] == word:
                    return node
    return None


def act(node, name):
    names = [node.get_action_name(i) for i in range(node.get_n_actions())]
    node.do_action(names.index(name))


def states(node):
    return {state.value_nick for state in node.get_state_set().get_states()}


end = time.monotonic() + (float(sys.argv[1]) if len(sys.argv) > 1 else 20)
ticked = False
while time.monotonic() < end:
    share = find(Atspi.Role.PUSH_BUTTON, "Share")
    if share is not None:
        allow = find(Atspi.Role.CHECK_BOX, "interaction")
        if allow is not None and not ticked and "checked" not in states(allow):
            act(allow, "toggle")
            ticked = True
        if "sensitive" in states(share):
            act(share, "click")
            sys.exit(0)
    time.sleep(0.05)
sys.exit("portal-consent: no consent dialog to answer")
