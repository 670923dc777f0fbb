#!/usr/bin/python3
"""Reads the running program's main window over AT-SPI, as a screen reader does, and checks it.

Checks every control's role, name and states in tab order, the sliders' values and ranges, the
label texts, the text box's contents and the lamp's description; then types "SOS" into the text
box, presses "Go !" through its accessible action, and checks that the lamp's changes reach AT-SPI
as events while the send runs and that the lamp reads "dark" after it. Prints what it measured.
Needs Debian's python3-pyatspi (hence /usr/bin/python3) and a session bus with AT-SPI on it.
    atspi_read.py
"""

import sys
import time

import pyatspi
from gi.repository import GLib

INITIAL_TEXT = "Type your text to send here and click the Go! button."
SENT_TEXT = "SOS"
# At speed 20 and gap 1 "SOS" keys 9 elements, each lit once and dark once, over 1.5 s from the
# first lit to the last dark; the accessible press clicks the button 100 ms after it is asked.
LAMP_CHANGES = 18
SEND_SPAN_S = 1.5

FOCUSABLE = {"focusable"}
# Role, name, extra states, and for a slider its value, minimum and maximum; in tab order.
CONTROLS = [
    ("push button", "Go: send the text", FOCUSABLE | {"focused"}, None),
    ("text", "Text to send", FOCUSABLE | {"editable", "multi line"}, None),
    ("slider", "Tone in hertz", FOCUSABLE, (800, 400, 1000)),
    ("slider", "Speed in words per minute", FOCUSABLE, (20, 1, 25)),
    ("frame", "Lamp", set(), None),
    ("slider", "Extra gap between characters, in dots", FOCUSABLE, (1, 1, 20)),
    ("label", "Char.gap: 1 dots", set(), None),
    ("label", "Speed: 20 WPM", set(), None),
    ("label", "Tone: 800 Hz", set(), None),
    ("push button", "About Kestrin", FOCUSABLE, None),
]


def Fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def States(accessible):
    return {pyatspi.stateToString(s) for s in accessible.getState().getStates()}


def FindWindow(seconds):
    deadline = time.monotonic() + seconds
    desktop = pyatspi.Registry.getDesktop(0)
    while time.monotonic() < deadline:
        # Asked afresh each time: the list of applications kept from an earlier answer may never
        # learn of one that registers later.
        desktop.clear_cache()
        for app in desktop:
            if app is not None and app.name == "kestrin" and app.childCount > 0:
                return app[0]
        time.sleep(0.1)
    Fail("no application named kestrin on the accessibility bus")


def CheckTree(window):
    if window.name != "Kestrin":
        Fail(f"window named {window.name!r}")
    print(f"window: {window.getRoleName()} {window.name!r}")
    children = list(window)
    if len(children) != len(CONTROLS):
        Fail(f"{len(children)} controls: {[c.name for c in children]}")
    for child, (role, name, states, value) in zip(children, CONTROLS):
        print(f"  {child.getRoleName()} {child.name!r} {child.description!r}")
        if (child.getRoleName(), child.name) != (role, name):
            Fail(f"expected {role} {name!r}, found {child.getRoleName()} {child.name!r}")
        missing = (states | {"enabled", "showing", "visible"}) - States(child)
        if missing:
            Fail(f"{name!r} lacks the states {sorted(missing)}")
        if value is not None:
            v = child.queryValue()
            found = (v.currentValue, v.minimumValue, v.maximumValue)
            if found != value:
                Fail(f"{name!r} has value, minimum, maximum {found}, not {value}")
    controls = {c.name: c for c in children}
    text = controls["Text to send"].queryText().getText(0, -1)
    if text != INITIAL_TEXT:
        Fail(f"the text box holds {text!r}")
    if controls["Lamp"].description != "dark":
        Fail(f"the lamp reads {controls['Lamp'].description!r} before a send")
    return controls


def Send(controls, on_lamp_event, seconds):
    """Presses Go with SENT_TEXT in the box and runs the event loop for SECONDS."""
    pyatspi.Registry.registerEventListener(
        on_lamp_event, "object:property-change:accessible-description")

    def press():
        if not controls["Go: send the text"].queryAction().doAction(0):
            Fail("the Go button's action was refused")
        return False

    GLib.timeout_add(0, press)
    GLib.timeout_add(int(seconds * 1000), pyatspi.Registry.stop)
    pressed = time.monotonic()
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(
        on_lamp_event, "object:property-change:accessible-description")
    return pressed


def main():
    controls = CheckTree(FindWindow(20))
    lamp = controls["Lamp"]
    editable = controls["Text to send"].queryEditableText()
    if not editable.setTextContents(SENT_TEXT):
        Fail("the text box refused its new text")

    # First send: only note when each of the lamp's events arrives.
    arrivals = []
    pressed = Send(controls,
                   lambda e: e.source == lamp and arrivals.append(time.monotonic()), 3)
    if not arrivals:
        Fail("no event of the lamp arrived")
    after = lamp.description
    first, span = arrivals[0] - pressed, arrivals[-1] - arrivals[0]
    print(f"lamp events: {len(arrivals)} for {LAMP_CHANGES} changes, the first {first * 1000:.0f} ms"
          f" after the press, spread over {span * 1000:.0f} ms (the send keys over"
          f" {SEND_SPAN_S * 1000:.0f} ms)")
    if after != "dark":
        Fail(f"the lamp reads {after!r} after the send")
    if len(arrivals) < LAMP_CHANGES:
        Fail("fewer lamp events than lamp changes")
    # Delivered while the send runs, not all at once when it ends.
    if first > 0.5 or span < SEND_SPAN_S * 0.8:
        Fail("the lamp's events did not arrive while the send ran")

    # Second send: read the description when the first event arrives, as a screen reader would.
    reads = []

    def read_on_event(e):
        if e.source == lamp and not reads:
            asked = time.monotonic()
            reads.append((lamp.description, time.monotonic() - asked))

    Send(controls, read_on_event, 3)
    if reads:
        said, waited = reads[0]
        print(f"reading the lamp on its first event: {said!r}, answered after"
              f" {waited * 1000:.0f} ms (the window thread sleeps until the send ends)")
    print("PASS")


main()
