#!/usr/bin/env python3
"""A small window that offers what a file manager offers when a person drags
files from it: their file:// URIs as text/uri-list, or plain text.

    drag_source.py [--fill] uris FILE...   one or more local files (or folders)
    drag_source.py [--fill] text TEXT      a piece of text, as dragged from an editor

The window sits at the screen's top left, 120 x 60 pixels: a test presses the
mouse at (60, 30), moves it onto the target window and releases it there.
Where a window cannot place itself (on Wayland), --fill maximizes it instead,
so that a press anywhere beside the target window starts the drag. The
window prints "ready" once it is shown, and "dropped: <action>" or
"not dropped" when a drag ends, so the test knows what the target answered.
"""
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402


def main():
    args = sys.argv[1:]
    fill = args[:1] == ["--fill"]
    if fill:
        args = args[1:]
    kind, items = (args[0], args[1:]) if args else ("", [])
    if kind not in ("uris", "text") or not items:
        sys.exit(__doc__)

    window = Gtk.Window(title="Drag source")
    window.set_decorated(False)
    window.set_default_size(120, 60)
    window.move(0, 0)
    if fill:
        window.maximize()
    # One dark colour, whether it has the keyboard or not, so that a window
    # placed on top of it can be found on the screen as what differs.
    style = Gtk.CssProvider()
    style.load_from_data(b"window { background: #203040; }")
    Gtk.StyleContext.add_provider_for_screen(
        Gdk.Screen.get_default(), style, Gtk.STYLE_PROVIDER_PRIORITY_APPLICATION
    )
    box = Gtk.EventBox()
    window.add(box)

    targets = Gtk.TargetList.new([])
    if kind == "uris":
        targets.add_uri_targets(0)
    else:
        targets.add_text_targets(0)
    box.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY)
    box.drag_source_set_target_list(targets)

    def give(_widget, _context, data, _info, _time):
        if kind == "uris":
            data.set_uris([GLib.filename_to_uri(item, None) for item in items])
        else:
            data.set_text(items[0], -1)

    def ended(_widget, context):
        action = context.get_selected_action()
        print(f"dropped: {action.value_nicks[0]}" if action else "not dropped", flush=True)

    def failed(_widget, _context, result):
        print(f"not dropped: {result.value_nick}", flush=True)
        return False

    box.connect("drag-data-get", give)
    box.connect("drag-end", ended)
    box.connect("drag-failed", failed)
    window.connect("destroy", Gtk.main_quit)
    window.connect("map-event", lambda *_: print("ready", flush=True))
    window.show_all()
    Gtk.main()


if __name__ == "__main__":
    main()
