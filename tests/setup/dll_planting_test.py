#!/usr/bin/env python3
"""No DLL planted beside the setup is ever loaded.

A copy of the unchanged QuellmarkSetup.exe sits in a "Downloads" folder
together with fake DLLs that leave a marker file when they are loaded. Wine is
told to prefer native DLLs of those names, which makes it search the
program's folder first, as Windows does for any DLL that is not a KnownDLL.
Then both modes run far enough to use WinInet, the common controls and the
shell: an install by clicks from the local package host, and "/uninstall"
answered No. No marker may appear.

Usage: dll_planting_test.py SETUP_EXE PLANTED_DIR PROBE_EXE PREFIX_TOOL BASE_URL WORK_DIR
"""
import glob
import os
import shutil
import subprocess
import sys
import unittest
import urllib.parse

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOLS = os.path.join(ROOT, "tools")
HELPERS = os.path.join(ROOT, "tests", "tools")
sys.path.insert(0, HELPERS)
import gui_driver as gui  # noqa: E402

SETUP_EXE = PLANTED_DIR = PROBE_EXE = PREFIX_TOOL = BASE_URL = WORK = None
INSTALL_BUTTON = (515, 593)
SUCCESS = "Quellmark was installed successfully."


def prefix():
    return os.path.join(WORK, "wineprefix")


def quiet_run(args, **kwargs):
    """Runs a helper with its chatter in a log: it may start Wine programs, and
    nothing of Wine's may hold this test's output open."""
    with open(os.path.join(WORK, "helpers.out"), "ab") as log:
        return subprocess.run(args, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                              timeout=300, **kwargs)


def end_every_program_of_the_prefix():
    quiet_run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix()))


class PlantedDlls(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.environ["QUELLMARK_WINEPREFIX"] = prefix()
        end_every_program_of_the_prefix()
        gui.run_wine(os.path.join(TOOLS, "wine-run.sh"), ["cmd", "/c", "exit", "0"])
        cls.state = os.path.join(WORK, "host")
        path = urllib.parse.urlsplit(BASE_URL).path.strip("/")
        cls.package = os.path.join(cls.state, "root", *path.split("/"), "QuellmarkFull.zip")
        os.makedirs(os.path.dirname(cls.package), exist_ok=True)
        quiet_run([sys.executable, os.path.join(HELPERS, "make_sample_package.py"), cls.package],
                  check=True)
        quiet_run([os.path.join(HELPERS, "package-host.sh"), "start", cls.state, "--base-url",
                   BASE_URL, "--prefix-tool", PREFIX_TOOL, "--max-seconds", "900"], check=True)

        # The folder a browser downloads into, with the planted DLLs beside the setup.
        cls.downloads = os.path.join(WORK, "Downloads")
        shutil.rmtree(cls.downloads, ignore_errors=True)
        os.makedirs(cls.downloads)
        cls.setup = os.path.join(cls.downloads, "QuellmarkSetup.exe")
        shutil.copy(SETUP_EXE, cls.setup)
        cls.planted = sorted(os.path.basename(p) for p in glob.glob(os.path.join(PLANTED_DIR, "*.dll")))
        for dll in cls.planted:
            shutil.copy(os.path.join(PLANTED_DIR, dll), cls.downloads)
        names = ",".join(os.path.splitext(dll)[0] for dll in cls.planted)
        cls.env = {"WINEDLLOVERRIDES": "mscoree,mshtml=;%s=n,b" % names}

    @classmethod
    def tearDownClass(cls):
        quiet_run([os.path.join(HELPERS, "package-host.sh"), "stop", cls.state])
        end_every_program_of_the_prefix()

    def setUp(self):
        self.runs = []

    def tearDown(self):
        for run in self.runs:
            run.kill()

    def start(self, *args):
        run = gui.Setup(self.setup, PROBE_EXE, os.path.join(TOOLS, "wine-run.sh"), args, self.env)
        self.runs.append(run)
        return run

    def assert_nothing_planted_was_loaded(self):
        markers = sorted(os.path.basename(p) for p in glob.glob(os.path.join(self.downloads, "*.loaded")))
        self.assertEqual(markers, [], "the setup loaded DLLs from its own folder")

    def test_install_loads_no_planted_dll(self):
        self.assertGreaterEqual(len(self.planted), 10)
        setup = self.start()
        self.assertTrue(setup.wait_for_window(), "the setup window did not appear")
        setup.click(*INSTALL_BUTTON)
        text, ok = setup.wait_for_box(timeout=180)
        if text is None:  # a planted DLL that took the process down says more
            self.assert_nothing_planted_was_loaded()
        self.assertEqual(text, SUCCESS)
        gui.click(*ok)
        self.assertEqual(setup.wait_exit(60), 0)
        self.assert_nothing_planted_was_loaded()

    def test_uninstall_answered_no_loads_no_planted_dll(self):
        uninstall = self.start("/uninstall")
        text, yes = uninstall.wait_for_box("Quellmark Uninstall", 120)
        self.assertEqual(text, "Remove The Annals of Quellmark from this computer?")
        # Without a window manager, Xvfb hands keys to the window under the
        # pointer.
        gui.move(*yes)
        gui.xdotool("key", "n")  # the box's keyboard answer for No
        self.assertEqual(uninstall.wait_exit(60), 0)
        self.assertTrue(os.path.exists(self.setup))
        self.assert_nothing_planted_was_loaded()


def main():
    global SETUP_EXE, PLANTED_DIR, PROBE_EXE, PREFIX_TOOL, BASE_URL, WORK
    SETUP_EXE, PLANTED_DIR, PROBE_EXE, PREFIX_TOOL, BASE_URL, WORK = sys.argv[1:7]
    os.makedirs(WORK, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[7:])


if __name__ == "__main__":
    main()
