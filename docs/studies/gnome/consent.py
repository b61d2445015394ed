# Answers GNOME's remote-desktop consent dialog (xdg-desktop-portal-gnome, GTK4) through
# AT-SPI: finds the dialog's button by its label and does its action.
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

LABELS = ("Share", "Allow")


def _walk(node, depth=0, limit=25):
    if node is None or depth > limit:
        return
    yield node, depth
    for i in range(node.get_child_count()):
        yield from _walk(node.get_child_at_index(i), depth + 1, limit)


def portal_apps():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and "portal" in (app.get_name() or ""):
            yield app


def dump():
    # The portal's accessible tree, for the findings and for debugging a changed dialog.
    lines = []
    for app in portal_apps():
        for node, depth in _walk(app):
            lines.append("  " * depth + f"{node.get_role_name()} {node.get_name()!r}")
    return "\n".join(lines)


def _find(role, labels):
    for app in portal_apps():
        for node, _ in _walk(app):
            # GTK 4.8 names a button "_Share Share": its mnemonic, then its label.
            if node.get_role() == role and (node.get_name() or "").split(" ")[-1] in labels:
                return node
    return None


def _states(node):
    return {s.value_nick for s in node.get_state_set().get_states()}


def _do(node, name):
    # Atspi 2.46 deprecates get_action_iface(); the accessible is its own Action.
    actions = [Atspi.Action.get_action_name(node, i) for i in range(Atspi.Action.get_n_actions(node))]
    if name not in actions:
        raise RuntimeError(f"{node.get_name()!r} has no action {name!r}, only {actions}")
    if not Atspi.Action.do_action(node, actions.index(name)):
        raise RuntimeError(f"{node.get_name()!r} refused {name!r}")


def answer(timeout=10.0, labels=LABELS):
    # Returns (seconds until the dialog showed, the button's label); raises TimeoutError.
    # GNOME 43's dialog starts with "Allow remote interaction" unchecked and "Share"
    # insensitive until it is checked, so a keyboard-only session needs both.
    start = time.monotonic()
    found, toggled = None, False
    while time.monotonic() - start < timeout:
        button = _find(Atspi.Role.PUSH_BUTTON, labels)
        if button is not None:
            found = found or time.monotonic() - start
            if labels == LABELS:
                check = _find(Atspi.Role.CHECK_BOX, ("interaction",))
                # Once only: AT-SPI's cached state may lag, and a second toggle unchecks.
                if check is not None and not toggled and "checked" not in _states(check):
                    _do(check, "toggle")
                    toggled = True
            if "sensitive" in _states(button):
                _do(button, "click")
                return found, button.get_name().split(" ")[-1]
        time.sleep(0.05)
    raise TimeoutError(f"no usable {'/'.join(labels)} button within {timeout}s; tree:\n{dump()}")
