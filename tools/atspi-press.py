#!/usr/bin/python3
"""Works a running program's window through the accessibility bus, as a screen reader would.

Usage: atspi-press.py PID BUTTON            press the push button named BUTTON
       atspi-press.py PID save PATH         type PATH into the open "Save As" dialog and save
Exits 1 with the reason when the program, the button or the dialog does not show up in 20 s.
"""
import sys
import time

import pyatspi


def find(root, test):
    return pyatspi.findDescendant(root, test)


def wait_for(what, probe):
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        try:
            found = probe()
        except Exception:  # the tree changes while it is walked: look again
            found = None
        if found is not None:
            return found
        time.sleep(0.1)
    sys.exit(f"atspi-press: no {what} within 20 s")


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    return next((app for app in desktop if app and app.get_process_id() == pid), None)


def press(node):
    # A button that opens a modal dialog answers only when the dialog closes: the press has
    # happened all the same, so a late answer is no failure.
    try:
        node.queryAction().doAction(0)
    except Exception:
        pass


def main():
    pid, verb = int(sys.argv[1]), sys.argv[2]
    app = wait_for(f"program with process id {pid}", lambda: application(pid))
    if verb != "save":
        button = wait_for(f"button {verb}", lambda: find(
            app, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == verb))
        press(button)
        return
    dialog = wait_for("Save As dialog", lambda: next(
        (w for w in app if w and w.name == "Save As"), None))
    name_box = wait_for("file name box", lambda: find(
        dialog, lambda n: n.getRole() == pyatspi.ROLE_TEXT and n.name == "File name:"))
    name_box.queryEditableText().setTextContents(sys.argv[3])
    save = wait_for("Save button", lambda: find(
        dialog, lambda n: n.getRole() == pyatspi.ROLE_PUSH_BUTTON and n.name == "Save"))
    press(save)


main()
