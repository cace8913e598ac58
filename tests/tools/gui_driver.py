"""Drives the real QuellmarkSetup.exe under Wine the way a person does: real
mouse and keyboard input through xdotool, screenshots through ImageMagick's
import, and window_probe.exe to read what a screenshot cannot (a control's
text, whether it is visible, which one has the focus, where a message box's
button is).

Standard library only. Needs DISPLAY, and WINEPREFIX or the build tree's
prefix."""
import os
import re
import struct
import subprocess
import tempfile
import time

CREAM = (255, 248, 226)
FIELD_BROWN = (111, 80, 45)
KEY = (255, 0, 255)
FOCUS_GOLD = (246, 214, 138)  # the focus mark under a button's caption
BOX_CAPTION = "Quellmark Setup"


class Image:
    """An RGB image: a screenshot or a 24-bit BMP."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def count(self, colour, left, top, right, bottom):
        """How many pixels of exactly this colour lie in the rectangle."""
        wanted = bytes(colour)
        found = 0
        for y in range(top, bottom):
            row = self.rgb[(y * self.width + left) * 3:(y * self.width + right) * 3]
            found += sum(1 for i in range(0, len(row), 3) if row[i:i + 3] == wanted)
        return found

    @staticmethod
    def from_bmp(path):
        with open(path, "rb") as f:
            data = f.read()
        offset = struct.unpack_from("<I", data, 10)[0]
        width, height = struct.unpack_from("<ii", data, 18)
        bits = struct.unpack_from("<H", data, 28)[0]
        assert bits == 24, path
        stride = (width * 3 + 3) & ~3
        rgb = bytearray()
        rows = range(height - 1, -1, -1) if height > 0 else range(-height)
        for y in rows:
            row = data[offset + y * stride:offset + y * stride + width * 3]
            for x in range(0, len(row), 3):
                rgb += bytes((row[x + 2], row[x + 1], row[x]))
        return Image(width, abs(height), bytes(rgb))


def screenshot(save_as=None):
    """The whole screen as a person sees it; also written as PNG to save_as."""
    ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                         check=True, capture_output=True, timeout=60).stdout
    # P6\n<w> <h>\n<max>\n<data>
    parts = ppm.split(b"\n", 3)
    width, height = (int(v) for v in parts[1].split())
    image = Image(width, height, parts[3][:width * height * 3])
    if save_as:
        os.makedirs(os.path.dirname(save_as), exist_ok=True)
        subprocess.run(["convert", "ppm:-", save_as], input=ppm, check=True)
    return image


def run_wine(wine_run, args, env=None, timeout=300):
    """Runs a program under Wine: (exit code, standard output). Nothing that
    Wine starts in the background may inherit a pipe of ours (its services
    would hold it open long after the program ended), so the output goes
    through a file and the other streams go nowhere."""
    with tempfile.TemporaryFile() as out:
        try:
            code = subprocess.run([wine_run] + [str(a) for a in args], env=env,
                                  stdin=subprocess.DEVNULL, stdout=out,
                                  stderr=subprocess.DEVNULL, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            code = None
        out.seek(0)
        return code, out.read().decode("utf-8", "replace")


def save_png(image, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    ppm = b"P6\n%d %d\n255\n" % (image.width, image.height) + image.rgb
    subprocess.run(["convert", "ppm:-", path], input=ppm, check=True)


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=60)


def move(x, y):
    xdotool("mousemove", x, y)
    time.sleep(0.15)


def click(x, y):
    xdotool("mousemove", x, y)
    time.sleep(0.15)
    xdotool("click", 1)


def key(*names):
    """Presses keys one after another, by xdotool's names: Tab, shift+Tab,
    Return, Escape, BackSpace, alt+F4."""
    for name in names:
        xdotool("key", name)
        time.sleep(0.25)


def type_text(text):
    """Types text into whatever has the keyboard focus."""
    if text:
        xdotool("type", "--delay", 25, text)
        time.sleep(0.25)


class Setup:
    """One run of QuellmarkSetup.exe under Wine."""

    def __init__(self, exe, probe, wine_run, args=(), env=None):
        self.probe_exe, self.wine_run = probe, wine_run
        self.image = re.split(r"[\\/]", exe)[-1]
        self.env = dict(os.environ, **(env or {}))
        self.process = subprocess.Popen([wine_run, exe] + list(args), env=self.env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        self.left = self.top = None

    def probe(self, *args):
        """window_probe's answer, or None when the window or control is not there."""
        code, out = run_wine(self.wine_run, [self.probe_exe] + list(args), self.env, 30)
        return out.rstrip("\r\n") if code == 0 else None

    def wait_for_window(self, timeout=60):
        end = time.time() + timeout
        while time.time() < end:
            rect = self.probe("rect")
            if rect:
                self.left, self.top = (int(v) for v in rect.split()[:2])
                time.sleep(0.8)  # the first paint
                return True
            if self.process.poll() is not None:
                return False
            time.sleep(0.3)
        return False

    def at(self, x, y):
        """Screen position of a point of the window (design coordinates)."""
        return self.left + x, self.top + y

    def click(self, x, y):
        click(*self.at(x, y))

    def move(self, x, y):
        move(*self.at(x, y))

    def point_at(self):
        """Puts the pointer over the window's middle. Without a window manager
        the display hands keys to the window under the pointer, and Wine then
        to the focus of the window in front; over the bare screen they are
        lost. (On Windows the keys reach the window in front wherever the
        pointer is.)"""
        right, bottom = (int(v) for v in self.probe("rect").split()[2:])
        move((self.left + right) // 2, (self.top + bottom) // 2)

    def key(self, *names):
        self.point_at()
        key(*names)

    def type_text(self, text):
        self.point_at()
        type_text(text)

    def retype(self, text):
        """Replaces the text of the field that has the focus, as a person
        would: select it all from its end, delete it, type the new one."""
        self.key("End", "shift+Home", "BackSpace")
        type_text(text)

    def wait_for_box(self, caption=BOX_CAPTION, timeout=120):
        """(text, (x, y) of its OK or Yes button) once the box is up."""
        end = time.time() + timeout
        while time.time() < end:
            answer = self.probe("box", caption)
            if answer:
                text, _, where = answer.rpartition("|")
                x, y = (int(v) for v in where.split())
                time.sleep(0.5)
                return text.replace("\r\n", "\n"), (x, y)
            if self.process.poll() is not None:
                return None, None
            time.sleep(0.3)
        return None, None

    def wait_for_box_gone(self, caption=BOX_CAPTION, timeout=30):
        """True once no box of that caption is up any more."""
        end = time.time() + timeout
        while time.time() < end:
            if self.probe("box", caption) is None:
                return True
            time.sleep(0.3)
        return False

    def wait_exit(self, timeout=60):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def kill(self):
        """Ends a run that a failed test left behind: its program by name."""
        if self.process.poll() is None:
            run_wine(self.wine_run, ["taskkill", "/f", "/im", self.image], self.env, 30)
            self.wait_exit(20)
