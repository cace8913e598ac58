#!/usr/bin/env python3
"""Runs one install the way a person would, for a machine without anyone at
the screen: starts QuellmarkSetup.exe under Wine on DISPLAY, clicks Install,
waits for the final box, clicks its OK, and leaves three screenshots
(ready-page.png, installing-page.png, final-state.png) in OUT_DIR.

    drive_setup.py SETUP_EXE PROBE_EXE OUT_DIR

Prints the install folder, the final box's text and the exit code, and exits
with the setup's exit code. Wine runs through tools/wine-run.sh, so the
prefix is QUELLMARK_WINEPREFIX's.
"""
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import gui_driver as gui  # noqa: E402

INSTALL_BUTTON = (515, 593)


def capture_installing_page(setup, path, timeout=600):
    """Keeps the last screenshot taken while the install was still running:
    one is kept only when no final box was up after it was taken."""
    end = time.time() + timeout
    time.sleep(0.2)
    while time.time() < end and setup.process.poll() is None:
        shot = gui.screenshot()
        if setup.probe("box", gui.BOX_CAPTION):
            return
        gui.save_png(shot, path)
        time.sleep(0.2)


def main():
    setup_exe, probe_exe, out_dir = sys.argv[1:4]
    os.makedirs(out_dir, exist_ok=True)
    for name in ("ready-page.png", "installing-page.png", "final-state.png"):
        if os.path.exists(os.path.join(out_dir, name)):
            os.remove(os.path.join(out_dir, name))
    setup = gui.Setup(setup_exe, probe_exe, os.path.join(HERE, "..", "..", "tools", "wine-run.sh"))
    try:
        if not setup.wait_for_window():
            print("The setup window did not appear.")
            return setup.wait_exit(30) or 1
        folder = setup.probe("text", "1004")
        gui.screenshot(os.path.join(out_dir, "ready-page.png"))
        setup.click(*INSTALL_BUTTON)
        capture_installing_page(setup, os.path.join(out_dir, "installing-page.png"))
        text, ok = setup.wait_for_box(timeout=600)
        if text is None:
            print("No final message box appeared.")
        else:
            gui.screenshot(os.path.join(out_dir, "final-state.png"))
            gui.click(*ok)
        code = setup.wait_exit(60)
        print("Install folder: %s" % folder)
        if text is not None:
            print("Final message: %s" % text.replace("\n", " / "))
        # An install quicker than a screenshot leaves no installing page.
        shots = [os.path.join(out_dir, n) for n in ("ready-page.png", "installing-page.png",
                                                    "final-state.png")]
        print("Screenshots: %s" % ", ".join(p for p in shots if os.path.exists(p)))
        return 1 if code is None else code
    finally:
        setup.kill()


if __name__ == "__main__":
    sys.exit(main())
