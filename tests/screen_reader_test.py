# SPDX-License-Identifier: GPL-3.0-or-later
"""The editor read through AT-SPI, as a screen reader reads it.

Run by scripts/screen-reader-check.sh inside a private X server and D-Bus session:
    screen_reader_test.py path/to/qob-editor
Every wait is for an event or a state, bounded; nothing is retried.
"""
import collections
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

WAIT = 10.0  # seconds, for any one event

ROLES = (["dial"] * 8 + ["slider"] * 9 + ["push button"] * 8 + ["slider"]
         + ["push button"] * 5 + ["dial"] + ["push button"] * 7)
PAINTED_KEYS = ["SHIFT", "MIDI", "SAVE AS", "OPEN", "SEND", "MIDI DEVICE", "EXIT"]
TRANSPORT = ["Transport: " + k for k in ("REW", "FF", "STOP", "PLAY", "REC")]


def names(bank):
    first = 1 if bank == 1 else 9
    numbered = lambda word: ["%s %d" % (word, n) for n in range(first, first + 8)]
    return (numbered("V Pot ") + numbered("Fader ") + ["Fader Master"] + numbered("Button ")
            + ["Breath Control"] + TRANSPORT + ["Wheel"] + PAINTED_KEYS)


failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def pump(seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        GLib.MainContext.default().iteration(False)
        time.sleep(0.005)


def wait_for(condition, what):
    end = time.monotonic() + WAIT
    while time.monotonic() < end:
        GLib.MainContext.default().iteration(False)
        value = condition()
        if value:
            return value
        time.sleep(0.005)
    check(False, "in %.0f s: %s" % (WAIT, what))
    raise SystemExit(1)


events = collections.deque()


def on_event(event):
    try:
        events.append((event.type, event.source.name, event.detail1))
    except Exception:  # the source may be gone already
        pass


def wait_event(kind, name, what):
    """Waits for `kind` from the object named `name`; for focus, the gain of it."""
    def seen():
        while events:
            event = events.popleft()
            if event[0].startswith(kind) and event[1] == name and (
                    kind != "object:state-changed:focused" or event[2] == 1):
                return True
        return False
    wait_for(seen, what)
    print("ok   " + what, flush=True)


def find(root, predicate, depth=6):
    if predicate(root):
        return root
    if depth == 0:
        return None
    for child in root:
        if child is not None:
            found = find(child, predicate, depth - 1)
            if found is not None:
                return found
    return None


def key(window, *keys):
    subprocess.run(["xdotool", "key", "--window", window, "--clearmodifiers"] + list(keys),
                   check=True)


def centre(extents):
    return extents.x + extents.width // 2, extents.y + extents.height // 2


def main():
    editor = sys.argv[1]
    for kind in ("object:state-changed:focused", "object:property-change:accessible-name",
                 "object:property-change:accessible-description"):
        pyatspi.Registry.registerEventListener(on_event, kind)
    pump(0.5)  # the bridge sends only what someone is known to listen for
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    proc = subprocess.Popen([editor], env=env)
    try:
        run(proc)
    finally:
        proc.terminate()
        proc.wait(timeout=10)
    print("%d failed" % len(failures) if failures else "all passed")
    return 1 if failures else 0


def open_dialog(app, window_id):
    """Enter on Fader 2, and the dialog it opens once it has the keyboard."""
    key(window_id, "Return")
    dialog = wait_for(lambda: find(app, lambda o: o.name == "Element Assign : Fader  2", 1),
                      "Enter opens Element Assign for Fader 2")
    # Keys go to the window with the X focus: the dialog's only once a control of it is focused.
    wait_for(lambda: find(dialog, lambda o: o.getState().contains(pyatspi.STATE_FOCUSED)),
             "a focused control in the dialog")
    return dialog


def run(proc):
    desktop = pyatspi.Registry.getDesktop(0)
    app = wait_for(lambda: next((a for a in desktop if a is not None
                                 and a.get_process_id() == proc.pid), None),
                   "the editor on the AT-SPI bus")
    main_window = wait_for(lambda: find(app, lambda o: o.getRoleName() == "frame", 1),
                           "the main window in the tree")
    surface = wait_for(lambda: find(main_window, lambda o: o.name == "Control surface", 1),
                       "the surface in the tree")
    window_id = wait_for(
        lambda: subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(proc.pid)],
                               capture_output=True, text=True).stdout.split(),
        "the main window on the X server")[-1]
    subprocess.run(["xdotool", "windowactivate", "--sync", window_id], check=True)
    wait_event("object:state-changed:focused", "V Pot  1", "focus on V Pot 1 at start")

    children = list(surface)
    check([c.name for c in children] == names(1), "39 regions named as the panel names them")
    check([c.getRoleName() for c in children] == ROLES, "roles dial, slider and push button")
    frame = main_window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    inside, hits = True, True
    for child in children:
        box = child.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        inside &= (box.width > 0 and box.x >= frame.x and box.y >= frame.y
                   and box.x + box.width <= frame.x + frame.width
                   and box.y + box.height <= frame.y + frame.height)
        x, y = centre(box)
        hit = surface.queryComponent().getAccessibleAtPoint(x, y, pyatspi.DESKTOP_COORDS)
        hits &= hit is not None and hit.name == child.name
    check(inside, "every region's extents inside the window")
    check(hits, "a hit test at each region's centre gives that region")

    # The arrows and Tab from V Pot 1, each answered by a focus event on the neighbour.
    for keys, expected in [("Right", "V Pot  2"), ("Down", "Fader  2"), ("Down", "Button  2"),
                           ("Up", "Fader  2"), ("Left", "Fader  1"), ("End", "EXIT"),
                           ("Tab", "V Pot  1"), ("shift+Tab", "EXIT"), ("Home", "V Pot  1"),
                           ("Right", "V Pot  2"), ("Down", "Fader  2")]:
        key(window_id, keys)
        wait_event("object:state-changed:focused", expected, "%s gives %s" % (keys, expected))

    # Enter opens Element Assign for the region in focus; every field has a name.
    dialog = open_dialog(app, window_id)
    fields = []
    find(dialog, lambda o: fields.append(o) if o.getRoleName() in (
        "text", "combo box", "check box", "radio button", "push button") else False)
    unnamed = [f.getRoleName() for f in fields if not f.name.strip()]
    check(len(fields) >= 16 and not unnamed, "all %d fields of the dialog have names%s" % (
        len(fields), ": unnamed " + ", ".join(unnamed) if unnamed else ""))
    key(window_id, "Escape")
    wait_event("object:state-changed:focused", "Fader  2", "Esc gives the focus back to Fader 2")

    # An OK that changes the assignment changes the region's description.
    fader = children[9]
    before = fader.description
    dialog = open_dialog(app, window_id)
    data2 = wait_for(lambda: find(dialog, lambda o: o.name == "Data 2"), "the Data 2 field")
    data2.queryEditableText().setTextContents("42")
    key(window_id, "Return")
    wait_event("object:property-change:accessible-description", "Fader  2",
               "a description change for Fader 2 after OK")
    after = fader.description
    check(after != before and ", 42" in after, "the description follows OK: %r" % after)
    wait_event("object:state-changed:focused", "Fader  2", "focus back on Fader 2 after OK")

    # SHIFT by its press action: the names become bank 2's, and the key reads as checked.
    shift = children[names(1).index("SHIFT")]
    shift.queryAction().doAction(0)
    wait_event("object:property-change:accessible-name", "V Pot  9", "V Pot 9 after SHIFT")
    check([c.name for c in surface] == names(2), "bank 2's names after SHIFT")
    check(shift.getState().contains(pyatspi.STATE_CHECKED), "SHIFT reads as checked when lit")


if __name__ == "__main__":
    sys.exit(main())
