#!/usr/bin/env python3
"""The setup window as a person sees and uses it: the real QuellmarkSetup.exe
under Wine on the test display, real mouse and keyboard input, checked on
screenshots.

Usage: setup_window_gui_test.py SETUP_EXE PROBE_EXE RESOURCES_DIR WORK_DIR [Test.name ...]

Screenshots land in WORK_DIR. The setup runs in the Wine prefix
WORK_DIR/wineprefix, which no other test points at a package host: the
install that the installing-page case starts can only fail.
"""
import os
import shutil
import subprocess
import sys
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "tools"))
import gui_driver as gui  # noqa: E402

SETUP_EXE = PROBE_EXE = RESOURCES = OUT_DIR = None
WINE_RUN = os.path.join(ROOT, "tools", "wine-run.sh")
PREFIX = None
PROPOSED = "C:\\Games\\The Annals of Quellmark"

# Design rectangles (left, top, right, bottom) of the window.
PANEL = (300, 230, 740, 540)
BUTTON_ROW = (448, 578, 730, 608)
INSTALL = (448, 578, 582, 608)
CANCEL = (596, 578, 730, 608)
BROWSE = (632, 387, 730, 417)
FOLDER = (310, 390, 620, 414)
PROGRESS = (310, 508, 730, 526)
MINIMIZE = (793, 92, 835, 116)
CLOSE = (839, 92, 881, 116)
READY_TEXTS = {
    "title": (310, 242, 730, 288),
    "description": (310, 300, 730, 370),
    "folder label": (310, 365, 730, 388),
    "headline": (310, 432, 730, 464),
    "detail": (310, 462, 730, 502),
}
EXAMPLE = "such as C:\\Games\\The Annals of Quellmark."
INSTALLING_TEXTS = {
    "title": (310, 242, 730, 288),
    "description": (310, 300, 730, 370),
    "headline": (310, 390, 730, 430),
    "detail": (310, 430, 730, 500),
}


def mark_zone(rect):
    """Where a button's focus mark goes: under its caption, off the face's
    rim and ornaments."""
    return rect[0] + 28, rect[1] + 20, rect[2] - 28, rect[3] - 3


def centre(rect):
    return (rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2


def prefix_path(windows_path):
    return os.path.join(PREFIX, "drive_c", *windows_path[3:].split("\\"))


class SetupWindowTest(unittest.TestCase):
    skin = None

    @classmethod
    def setUpClass(cls):
        # Whatever an interrupted run left in the prefix ends; the prefix is
        # made (first time only) and its services started away from our pipes.
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=PREFIX),
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
        gui.run_wine(WINE_RUN, ["cmd", "/c", "exit", "0"], timeout=300)
        cls.skin = gui.Image.from_bmp(os.path.join(RESOURCES, "skin_background.bmp"))
        cls.faces = {state: gui.Image.from_bmp(os.path.join(RESOURCES, "button_%s.bmp" % state))
                     for state in ("normal", "hover", "pressed")}

    def setUp(self):
        # Nothing may be left from an earlier run, so "nothing written" means something.
        shutil.rmtree(prefix_path(PROPOSED), ignore_errors=True)
        gui.move(5, 5)
        self.background = gui.screenshot()
        self.setup = gui.Setup(SETUP_EXE, PROBE_EXE, WINE_RUN)
        self.assertTrue(self.setup.wait_for_window(), "the setup window did not appear")

    def tearDown(self):
        gui.xdotool("mouseup", 1)
        self.setup.kill()
        shutil.rmtree(prefix_path(PROPOSED), ignore_errors=True)

    # -- helpers

    def shot(self, name=None):
        return gui.screenshot(os.path.join(OUT_DIR, name) if name else None)

    def face_mismatches(self, screen, rect, state):
        """Pixels of the button's face, away from its caption, that differ from the bitmap."""
        face = self.faces[state]
        bad = 0
        for y in range(face.height):
            for x in list(range(0, 28)) + list(range(face.width - 28, face.width)):
                if screen.pixel(self.setup.left + rect[0] + x, self.setup.top + rect[1] + y) \
                        != face.pixel(x, y):
                    bad += 1
        return bad

    def differs_from_skin(self, screen, rect):
        """How many pixels of the rectangle differ from the skin under them."""
        return sum(1 for y in range(rect[1], rect[3]) for x in range(rect[0], rect[2])
                   if screen.pixel(self.setup.left + x, self.setup.top + y) != self.skin.pixel(x, y))

    def assert_ready_page_ended_cleanly(self):
        self.assertEqual(self.setup.wait_exit(), 0)
        self.assertFalse(os.path.exists(prefix_path(PROPOSED)), "the ready page wrote the folder")

    # -- what the ready page looks like

    def test_ready_page_is_shaped_and_shows_texts_field_and_buttons(self):
        screen = self.shot("ready-page.png")
        self.assertEqual((self.setup.left, self.setup.top),
                         ((screen.width - 988) // 2, (screen.height - 735) // 2))
        outside = wrong_outside = inside_plain = wrong_inside = 0
        for y in range(0, 735, 3):
            for x in range(0, 988, 3):
                sx, sy = self.setup.at(x, y)
                seen = screen.pixel(sx, sy)
                if self.skin.pixel(x, y) == gui.KEY:
                    outside += 1
                    wrong_outside += seen != self.background.pixel(sx, sy)
                elif not (PANEL[0] <= x < PANEL[2] and PANEL[1] <= y < PANEL[3]) and not (
                        BUTTON_ROW[0] <= x < BUTTON_ROW[2] and BUTTON_ROW[1] <= y < BUTTON_ROW[3]):
                    inside_plain += 1
                    wrong_inside += seen != self.skin.pixel(x, y)
        self.assertGreater(outside, 1000)
        self.assertEqual(wrong_outside, 0, "pixels outside the outline belong to the window")
        self.assertEqual(wrong_inside, 0, "the skin is not shown as drawn")
        for name, rect in READY_TEXTS.items():
            self.assertGreater(screen.count(gui.CREAM, *self.window_rect(rect)), 15, name)
        self.assertEqual(self.setup.probe("text", "1004"), PROPOSED)
        self.assertGreater(screen.count(gui.FIELD_BROWN, *self.window_rect(FOLDER)), 2000)
        self.assertGreater(screen.count(gui.CREAM, *self.window_rect(FOLDER)), 40)
        self.assertEqual(self.setup.probe("visible", "progress"), "0")
        self.assertEqual(self.differs_from_skin(screen, PROGRESS), 0)
        for rect in (INSTALL, CANCEL):
            self.assertEqual(self.face_mismatches(screen, rect, "normal"), 0)
        self.assertGreater(screen.count(gui.CREAM, *self.window_rect(BROWSE)), 20)
        self.setup.click(*centre(CANCEL))
        self.assert_ready_page_ended_cleanly()

    def window_rect(self, rect):
        return (self.setup.left + rect[0], self.setup.top + rect[1],
                self.setup.left + rect[2], self.setup.top + rect[3])

    def test_installing_page_shows_the_bar_and_only_cancel(self):
        # No package host is reachable from here: the install fails in its
        # download, and the failure box stands over the installing page.
        self.setup.click(*centre(INSTALL))
        text, ok = self.setup.wait_for_box()
        self.assertIsNotNone(text, "no final box appeared")
        screen = self.shot("installing-page.png")
        self.assertEqual(self.setup.probe("visible", "progress"), "1")
        self.assertEqual(self.setup.probe("visible", "1004"), "0")
        self.assertEqual(self.setup.probe("visible", "1003"), "0")
        self.assertEqual(self.setup.probe("visible", "1001"), "0")
        self.assertEqual(self.setup.probe("visible", "1002"), "1")
        self.assertGreater(self.differs_from_skin(screen, PROGRESS), 1000)
        for name, rect in INSTALLING_TEXTS.items():
            self.assertGreater(screen.count(gui.CREAM, *self.window_rect(rect)), 15, name)
        self.assertEqual(self.differs_from_skin(screen, INSTALL), 0, "Install is still shown")
        gui.click(*ok)
        self.assertEqual(self.setup.wait_exit(), 1)

    # -- buttons under the mouse

    def test_hover_lights_a_button_and_the_next_one_returns_it(self):
        self.setup.move(INSTALL[0] + 12, INSTALL[1] + 15)
        time.sleep(0.4)
        screen = self.shot("hover-install.png")
        self.assertEqual(self.face_mismatches(screen, INSTALL, "hover"), 0)
        self.assertEqual(self.face_mismatches(screen, CANCEL, "normal"), 0)
        self.setup.move(CANCEL[0] + 12, CANCEL[1] + 15)
        time.sleep(0.4)
        screen = self.shot()
        self.assertEqual(self.face_mismatches(screen, CANCEL, "hover"), 0)
        self.assertEqual(self.face_mismatches(screen, INSTALL, "normal"), 0)
        # the title-bar buttons: the skin alone, a lit cell under the mouse
        self.assertEqual(self.differs_from_skin(screen, CLOSE), 0)
        self.setup.move(*centre(CLOSE))
        time.sleep(0.4)
        screen = self.shot()
        self.assertGreater(self.differs_from_skin(screen, CLOSE), 100)
        self.assertEqual(self.differs_from_skin(screen, MINIMIZE), 0)
        self.setup.move(400, 650)  # off every button: all back to normal
        time.sleep(0.4)
        screen = self.shot()
        self.assertEqual(self.differs_from_skin(screen, CLOSE), 0)
        self.assertEqual(self.face_mismatches(screen, CANCEL, "normal"), 0)

    def test_a_held_button_shows_its_pressed_face(self):
        self.setup.move(CANCEL[0] + 12, CANCEL[1] + 15)
        gui.xdotool("mousedown", 1)
        time.sleep(0.4)
        screen = self.shot("pressed-cancel.png")
        self.assertEqual(self.face_mismatches(screen, CANCEL, "pressed"), 0)
        # released away from the button: no click, the page stays
        self.setup.move(400, 650)
        gui.xdotool("mouseup", 1)
        time.sleep(0.5)
        self.assertIsNone(self.setup.process.poll())
        self.setup.click(*centre(CANCEL))
        self.assert_ready_page_ended_cleanly()

    # -- moving and ending the window

    def test_dragging_the_surface_moves_the_window_under_the_cursor(self):
        grab = (180, 600)  # below the crest: plain window surface
        start = self.setup.at(*grab)
        gui.move(*start)
        gui.xdotool("mousedown", 1)
        for step in range(1, 11):
            gui.xdotool("mousemove", start[0] + 7 * step, start[1] + 4 * step)
            time.sleep(0.05)
        time.sleep(0.3)
        gui.xdotool("mouseup", 1)
        time.sleep(0.3)
        left, top = (int(v) for v in self.setup.probe("rect").split()[:2])
        self.assertEqual((left, top), (self.setup.left + 70, self.setup.top + 40))
        # after the release, moving the mouse no longer moves the window
        gui.move(start[0] + 150, start[1] + 20)
        time.sleep(0.3)
        self.assertEqual(self.setup.probe("rect").split()[:2], [str(left), str(top)])
        self.setup.left, self.setup.top = left, top
        screen = self.shot()
        self.assertEqual(self.differs_from_skin(screen, (150, 580, 210, 620)), 0)
        self.setup.click(*centre(CLOSE))
        self.assert_ready_page_ended_cleanly()

    def test_close_button_ends_the_ready_page(self):
        self.setup.click(*centre(CLOSE))
        self.assert_ready_page_ended_cleanly()

    def test_cancel_ends_the_ready_page(self):
        self.setup.click(*centre(CANCEL))
        self.assert_ready_page_ended_cleanly()

    def test_a_close_request_ends_the_ready_page(self):
        self.setup.key("alt+F4")
        self.assert_ready_page_ended_cleanly()

    # -- the keyboard

    def focus_marks(self, screen):
        return {name: screen.count(gui.FOCUS_GOLD, *self.window_rect(mark_zone(rect)))
                for name, rect in (("1003", BROWSE), ("1001", INSTALL), ("1002", CANCEL))}

    def test_the_keyboard_walks_the_four_controls_and_enter_installs(self):
        typed = "C:\\Games\\Keyed"
        self.addCleanup(shutil.rmtree, prefix_path(typed), True)
        # In front from the start, the focus in the field: typing goes there.
        self.assertEqual(self.setup.probe("front"), "1")
        self.assertEqual(self.setup.probe("focus"), "1004")
        self.setup.type_text("\\Keyed")
        self.assertEqual(self.setup.probe("text", "1004"), PROPOSED + "\\Keyed")
        self.setup.retype(typed)
        self.assertEqual(self.setup.probe("text", "1004"), typed)
        walk = ["Tab", "1003", "Tab", "1001", "Tab", "1002", "Tab", "1004",
                "shift+Tab", "1002", "shift+Tab", "1001", "shift+Tab", "1003", "shift+Tab", "1004"]
        for step, (keys, focused) in enumerate(zip(walk[::2], walk[1::2])):
            self.setup.key(keys)
            self.assertEqual(self.setup.probe("focus"), focused, "after %s, step %d" % (keys, step))
            screen = self.shot("focus-%d-%s.png" % (step, focused))
            for control, marks in self.focus_marks(screen).items():
                if control == focused:
                    self.assertGreater(marks, 20, "no focus mark on %s" % control)
                else:
                    self.assertEqual(marks, 0, "a focus mark on %s" % control)
        self.assertEqual(self.setup.probe("text", "1004"), typed)
        # Enter in the field presses Install, the default button.
        self.setup.key("Return")
        text, _ = self.setup.wait_for_box()
        self.assertEqual(text, "Could not open the download URL.")
        self.assertEqual(self.setup.probe("visible", "progress"), "1")
        self.assertTrue(os.path.isdir(prefix_path(typed)), "the install did not start")
        self.setup.key("Return")  # the box's OK
        self.assertEqual(self.setup.wait_exit(), 1)

    def test_each_folder_that_cannot_work_gets_its_box_and_the_page_stays(self):
        too_long = "C:\\Games\\" + "x" * 160
        cases = [
            ("", "No install folder was entered.", "a full folder path"),
            ("   ", "No install folder was entered.", "a full folder path"),
            ("Quellmark", '"Quellmark" is not a full folder path.', "a full folder path"),
            ("Q:\\Games\\Quellmark", "There is no drive Q: on this computer.",
             "a folder on one of its drives"),
            (too_long, "The install folder is too long: it has 169 characters, and at most 158 "
             "leave room for the game's files.", "a shorter folder path"),
            ("C:\\Games?", "A folder name cannot contain the character ?.",
             "a folder path without it"),
            # Cyrillic on a Western code page; put in whole, as no keyboard
            # layout here types it.
            ("C:\\Игры", None, None),
        ]
        for number, (typed, wrong, instead) in enumerate(cases):
            if wrong:
                self.setup.retype(typed)
            else:
                self.assertIsNotNone(self.setup.probe("settext", "1004", typed))
            if number == 2:
                self.setup.click(*centre(INSTALL))
            else:
                self.setup.key("Return")
            text, _ = self.setup.wait_for_box(timeout=30)
            if wrong:
                expected = "%s\n\nPlease enter %s, %s" % (wrong, instead, EXAMPLE)
            else:
                expected = ("This folder name holds characters that setup cannot use on this "
                            "system. Choose a folder whose name uses other characters.")
            self.assertEqual(text, expected, typed)
            if number == 3:
                self.shot("refused-folder.png")
            self.setup.key("Return")
            self.assertTrue(self.setup.wait_for_box_gone(), "the box stayed")
            # Still the ready page, the field as typed, the focus in it.
            self.assertIsNone(self.setup.process.poll(), "the window closed")
            self.assertEqual(self.setup.probe("visible", "1001"), "1")
            self.assertEqual(self.setup.probe("text", "1004"), typed)
            self.assertEqual(self.setup.probe("focus"), "1004")
        for folder in (PROPOSED, too_long):
            self.assertFalse(os.path.exists(prefix_path(folder)), folder)
        self.assertFalse(os.path.exists("Quellmark"))
        self.setup.key("Escape")
        self.assert_ready_page_ended_cleanly()

    def test_minimize_button_minimizes(self):
        self.setup.click(*centre(MINIMIZE))
        time.sleep(0.5)
        self.assertEqual(self.setup.probe("state"), "minimized")
        self.setup.probe("close")
        self.assert_ready_page_ended_cleanly()

    def test_browse_puts_the_chosen_folder_with_the_game_folder_in_the_field(self):
        self.setup.click(*centre(BROWSE))
        text, ok = self.setup.wait_for_box("Browse for Folder", 30)
        self.assertIsNotNone(ok, "the folder dialog did not open")
        gui.xdotool("type", "--delay", 60, "Documents")  # the tree's own type-ahead
        time.sleep(0.4)
        self.shot("browse-dialog.png")
        gui.click(*ok)
        time.sleep(0.8)
        folder = self.setup.probe("text", "1004")
        self.assertTrue(folder.startswith("C:\\"), folder)
        self.assertTrue(folder.endswith("\\Documents\\The Annals of Quellmark"), folder)
        self.setup.click(*centre(CANCEL))
        self.assert_ready_page_ended_cleanly()


def main():
    global SETUP_EXE, PROBE_EXE, RESOURCES, OUT_DIR, PREFIX
    SETUP_EXE, PROBE_EXE, RESOURCES, OUT_DIR = sys.argv[1:5]
    PREFIX = os.path.join(OUT_DIR, "wineprefix")
    os.environ["QUELLMARK_WINEPREFIX"] = PREFIX
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[5:])


if __name__ == "__main__":
    main()
