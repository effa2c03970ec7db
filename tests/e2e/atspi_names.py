#!/usr/bin/env python3
"""Reads the running Koravel window over AT-SPI, as a screen reader does, and
checks what each control is called: the window a frame named by its caption,
the lists named by their settings with the chosen item as their text, the path
box, the buttons and the shown picture by their names.

    atspi_names.py PID    (the program's process, already on the a11y bus)
Exits 0 when every name is right, 1 with the differences otherwise.
"""
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

WANTED = [  # role, name, text (the chosen item) or None
    ("combo box", "Region", "USA"),
    ("combo box", "Swirl colour", "default swirl"),
    ("combo box", "Broadcast standard", "NTSC"),
    ("combo box", "Language", "English"),
    ("text", "Flash image path", ""),
    ("push button", "Select", None),
    ("push button", "Patch", None),
]


def application(pid, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            try:
                if app is not None and app.get_process_id() == pid and app.get_child_count() > 0:
                    return app
            except gi.repository.GLib.Error:
                pass
        time.sleep(0.2)
    return None


def role_of(node):
    # AT-SPI 2.50 and later (Debian 13) spell a push button's role "button".
    name = node.get_role_name()
    return "push button" if name == "button" else name


def descendants(node):
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is None:
            continue
        yield child
        if role_of(child) != "combo box":  # its drop-down list is not read here
            yield from descendants(child)


def shown_text(node):
    if "Text" not in node.get_interfaces():
        return None
    return Atspi.Text.get_text(node, 0, -1)


def main():
    pid = int(sys.argv[1])
    app = application(pid, 20)
    if app is None:
        print("FAIL: the program never appeared on the accessibility bus")
        return 1
    windows = [app.get_child_at_index(i) for i in range(app.get_child_count())]
    said = [(role_of(w), w.get_name()) for w in windows]
    print("window:", said)
    problems = []
    frames = [w for w in windows if (role_of(w), w.get_name()) in
              (("frame", "Koravel v0.3"), ("dialog", "Koravel v0.3"))]
    if not frames:
        problems.append(f"no frame named 'Koravel v0.3' among {said}")
        frames = windows[:1]
    controls = [(role_of(c), c.get_name(), shown_text(c))
                for c in descendants(frames[0]) if c.get_state_set().contains(Atspi.StateType.SHOWING)]
    for role, name, text in controls:
        print(f"  {role}: {name!r}" + ("" if text is None else f", text {text!r}"))
    for role, name, text in WANTED:
        found = [c for c in controls if c[0] == role and c[1] == name]
        if not found:
            problems.append(f"no {role} named {name!r}")
        elif text is not None and found[0][2] != text:
            problems.append(f"the {role} {name!r} reads {found[0][2]!r}, expected {text!r}")
    pictures = [c for c in controls if c[1] == "Swirl preview"]
    if len(pictures) != 1:
        problems.append(f"{len(pictures)} shown pictures named 'Swirl preview', expected one")
    for problem in problems:
        print("FAIL:", problem)
    if not problems:
        print("PASS: the window, its lists, the path box, the buttons and the picture are named")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
