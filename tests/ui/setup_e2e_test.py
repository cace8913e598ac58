#!/usr/bin/env python3
"""The whole setup as a person runs it, driven by real clicks: the setup as
it ships (CTest hands in the build's QuellmarkSetup.exe as
tests/setup/signing_test.py signed it) downloads a generated package from the
local package host through the local proxy (for the production host name,
with a CA that only this test's Wine prefix trusts), extracts it, records it,
and is removed again by the uninstall command of its registry entry. Then
what a standard user could plant for the elevated setup (links, made from
outside: a Unix symbolic link in drive_c is a reparse point to Wine's
programs), a reinstall before the restart, two installs side by side, and one
failure path.

Usage: setup_e2e_test.py SETUP_EXE PROBE_EXE PREFIX_TOOL BASE_URL WORK_DIR [Test.name ...]

The test has a Wine prefix of its own (WORK_DIR/wineprefix), so the proxy and
the trusted CA never reach the other tests, and it ends every program of that
prefix when it is done.
"""
import os
import re
import shutil
import subprocess
import sys
import unittest
import urllib.parse
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOLS = os.path.join(ROOT, "tools")
sys.path.insert(0, TOOLS)
import gui_driver as gui  # noqa: E402

SETUP_EXE = PROBE_EXE = PREFIX_TOOL = BASE_URL = WORK = None
INSTALL_BUTTON = (515, 593)
FOLDER = "C:\\Games\\The Annals of Quellmark"
SECOND_FOLDER = "C:\\Quellmark2"
OUTSIDE = "C:\\outside"
VICTIM = "C:\\windows\\victim.dat"
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\The Annals of Quellmark"
SHORTCUT = "The Annals of Quellmark.lnk"
SUCCESS = "Quellmark was installed successfully."
KEPT_SUFFIX = "\n\nThe downloaded zip was kept here for inspection:\n"


def prefix():
    return os.path.join(WORK, "wineprefix")


def in_prefix(windows_path):
    return os.path.join(prefix(), "drive_c", *windows_path[3:].split("\\"))


def wine(*args):
    return gui.run_wine(os.path.join(TOOLS, "wine-run.sh"), args)


def remove(path):
    """A file, a link or a folder tree, whichever is there; a link goes
    alone, never what it points to."""
    if os.path.islink(path) or os.path.isfile(path):
        os.remove(path)
    elif os.path.isdir(path):
        shutil.rmtree(path)


def plant_link(windows_path, target_windows_path):
    os.makedirs(os.path.dirname(in_prefix(windows_path)), exist_ok=True)
    os.symlink(in_prefix(target_windows_path), in_prefix(windows_path))


def write(windows_path, data):
    os.makedirs(os.path.dirname(in_prefix(windows_path)), exist_ok=True)
    with open(in_prefix(windows_path), "wb") as f:
        f.write(data)


def read(windows_path):
    with open(in_prefix(windows_path), "rb") as f:
        return f.read()


def registry_values():
    """The uninstall entry's values by name; empty when the key is missing."""
    code, out = wine("reg", "query", UNINSTALL_KEY)
    values = {}
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[1].startswith("REG_"):
            values[parts[0]] = parts[2]
    return values if code == 0 else {}


def package_host(*args):
    """tools/package-host.sh, its chatter in a log: it starts Wine programs,
    and nothing of Wine's may hold this test's output open."""
    with open(os.path.join(WORK, "package-host.out"), "ab") as log:
        return subprocess.run([os.path.join(TOOLS, "package-host.sh")] + list(args),
                              stdin=subprocess.DEVNULL, stdout=log, stderr=log, timeout=300)


def end_every_program_of_the_prefix():
    subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix()),
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60)


def shortcuts():
    found = []
    for top, _, files in os.walk(os.path.join(prefix(), "drive_c")):
        found += [os.path.join(top, f) for f in files if f == SHORTCUT]
    return found


def split_command(command):
    """A command line's program (quoted or not) and the rest."""
    if command.startswith('"'):
        program, _, rest = command[1:].partition('"')
    else:
        program, _, rest = command.partition(" ")
    return program, rest.split()


class SetupEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.environ["QUELLMARK_WINEPREFIX"] = prefix()
        end_every_program_of_the_prefix()  # left over from an interrupted run
        wine("cmd", "/c", "exit", "0")  # made if new, services started away from our pipes
        cls.state = os.path.join(WORK, "host")
        path = urllib.parse.urlsplit(BASE_URL).path.strip("/")
        cls.package = os.path.join(cls.state, "root", *path.split("/"), "QuellmarkFull.zip")
        os.makedirs(os.path.dirname(cls.package), exist_ok=True)
        package_host("start", cls.state, "--base-url", BASE_URL, "--prefix-tool", PREFIX_TOOL,
                     "--max-seconds", "1200").check_returncode()
        code, out = wine("cmd", "/c", "echo", "%TEMP%")
        cls.temp = out.strip()
        assert code == 0 and re.match(r"^C:\\", cls.temp), cls.temp

    @classmethod
    def tearDownClass(cls):
        package_host("stop", cls.state)
        end_every_program_of_the_prefix()

    def setUp(self):
        for path in (FOLDER, SECOND_FOLDER, OUTSIDE, VICTIM, "C:\\Elsewhere"):
            remove(in_prefix(path))
        remove(in_prefix(self.temp + "\\QuellmarkFull.zip"))
        self.package_folders_before = self.package_folders()
        self.runs = []

    def package_folders(self):
        """The package folders in the temporary folder, by Windows path."""
        return {self.temp + "\\" + name for name in os.listdir(in_prefix(self.temp))
                if name.startswith("Quellmark-")}

    def plant_link_at_the_old_package_path(self):
        write(VICTIM, b"victim")
        plant_link(self.temp + "\\QuellmarkFull.zip", VICTIM)

    def assert_the_old_package_path_was_not_followed(self):
        self.assertEqual(read(VICTIM), b"victim")
        self.assertEqual(os.readlink(in_prefix(self.temp + "\\QuellmarkFull.zip")),
                         in_prefix(VICTIM))

    def tearDown(self):
        gui.xdotool("mouseup", 1)
        for run in self.runs:
            run.kill()

    def make_package(self, *options):
        subprocess.run([sys.executable, os.path.join(TOOLS, "make_sample_package.py"), self.package]
                       + list(options), check=True)
        with zipfile.ZipFile(self.package) as package:
            return [(e.filename, package.read(e)) for e in package.infolist() if not e.is_dir()]

    def start(self, exe, *args):
        run = gui.Setup(exe, PROBE_EXE, os.path.join(TOOLS, "wine-run.sh"), args)
        self.runs.append(run)
        return run

    def install_by_clicks(self, folder=None):
        """Install (into folder, typed in, when given), then OK on the final
        box: (box text, exit code)."""
        setup = self.start(SETUP_EXE)
        self.assertTrue(setup.wait_for_window(), "the setup window did not appear")
        self.assertEqual(setup.probe("text", "1004"), FOLDER)
        if folder:
            self.assertIsNotNone(setup.probe("settext", "1004", folder))
            self.assertEqual(setup.probe("text", "1004"), folder)
        setup.click(*INSTALL_BUTTON)
        text, ok = setup.wait_for_box(timeout=300)
        self.assertIsNotNone(text, "no final box appeared")
        gui.screenshot(os.path.join(WORK, "final-%s.png" % self._testMethodName))
        gui.click(*ok)
        return text, setup.wait_exit(60)

    def uninstall_by_clicks(self, program=None):
        """The uninstall command of the registry entry (or program with
        "/uninstall"), answered Yes, then OK."""
        if program is None:
            program, args = split_command(registry_values()["UninstallString"])
            self.assertEqual(args, ["/uninstall"])
        uninstall = self.start(program, "/uninstall")
        text, yes = uninstall.wait_for_box("Quellmark Uninstall", 120)
        self.assertEqual(text, "Remove The Annals of Quellmark from this computer?")
        gui.click(*yes)
        text, ok = uninstall.wait_for_box("Quellmark Uninstall", 120)
        self.assertEqual(text, "The Annals of Quellmark was removed.")
        gui.click(*ok)
        self.assertEqual(uninstall.wait_exit(60), 0)

    def assert_installed(self, files, folder):
        for name, body in files:
            self.assertEqual(read(folder + "\\" + name.replace("/", "\\")), body, name)

    def assert_removed(self, files, folder):
        for name, _ in files:
            self.assertFalse(os.path.exists(in_prefix(folder + "\\" + name.replace("/", "\\"))),
                             name)
        self.assertFalse(os.path.exists(in_prefix(folder + "\\installed-files.txt")))

    def test_install_by_clicks_then_uninstall_from_the_registry_entry(self):
        files = self.make_package()
        self.assertGreater(len(files), 300)
        self.plant_link_at_the_old_package_path()
        text, code = self.install_by_clicks()
        self.assertEqual(text, SUCCESS)
        self.assertEqual(code, 0)

        with open(os.path.join(self.state, "host.log")) as log:
            requests = log.read()
        self.assertIn("GET\t/" + urllib.parse.urlsplit(BASE_URL).path.strip("/"), requests)
        self.assertIn("QuellmarkFull.zip\tQuellmarkSetup", requests)
        with open(os.path.join(self.state, "proxy.log")) as log:
            tunnels = log.read().strip()
        self.assertTrue(tunnels,
                        "the download did not go through the proxy")

        folder = in_prefix(FOLDER)
        for name, body in files:
            path = os.path.join(folder, *name.split("/"))
            with open(path, "rb") as extracted:
                self.assertEqual(extracted.read(), body, name)
        with open(os.path.join(folder, "installed-files.txt"), "rb") as lines:
            manifest = lines.read().decode()
        self.assertEqual([line for line in manifest.splitlines() if line],
                         [name.replace("/", "\\") for name, _ in files])
        # Byte for byte, so a signed setup leaves a signed uninstaller.
        with open(os.path.join(folder, "QuellmarkUninstall.exe"), "rb") as copy, \
                open(SETUP_EXE, "rb") as original:
            self.assertEqual(copy.read(), original.read())
        self.assertEqual(len(shortcuts()), 2)
        values = registry_values()
        self.assertEqual(values.get("InstallLocation"), FOLDER)
        self.assertEqual(values.get("DisplayIcon"), FOLDER + "\\bin\\client\\Qm_client.exe")
        self.assertEqual(self.package_folders(), self.package_folders_before,
                         "the downloaded package was not deleted")
        self.assert_the_old_package_path_was_not_followed()

        # A standard user turns a folder of the install into a link to a
        # folder elsewhere and lists a file in it.
        write(OUTSIDE + "\\victim.txt", b"keep me")
        plant_link(FOLDER + "\\planted", OUTSIDE)
        with open(os.path.join(folder, "installed-files.txt"), "ab") as lines:
            lines.write(b"planted\\victim.txt\r\n")
        self.uninstall_by_clicks()

        self.assertEqual(read(OUTSIDE + "\\victim.txt"), b"keep me")
        self.assert_removed(files, FOLDER)
        self.assertFalse(os.path.exists(os.path.join(folder, "bin")))
        self.assertFalse(os.path.exists(os.path.join(folder, "data")))
        self.assertEqual(shortcuts(), [])
        self.assertEqual(registry_values(), {})

    def test_a_package_with_an_unsafe_entry_fails_and_is_kept(self):
        files = self.make_package("--unsafe")
        self.plant_link_at_the_old_package_path()
        kept_packages = []
        for _ in range(2):
            text, code = self.install_by_clicks()
            self.assertEqual(code, 1)
            message, suffix, kept = text.partition(KEPT_SUFFIX)
            self.assertEqual(message, "The package contains an unsafe path: "
                             "..\\outside-the-install-folder.txt")
            self.assertEqual(suffix, KEPT_SUFFIX)
            self.assertRegex(kept, "^" + re.escape(self.temp) +
                             r"\\Quellmark-[0-9A-F]{16}\\QuellmarkFull\.zip$")
            with open(in_prefix(kept), "rb") as kept_file, open(self.package, "rb") as served:
                self.assertEqual(kept_file.read(), served.read())
            kept_packages.append(kept)
        self.assertNotEqual(kept_packages[0], kept_packages[1], "two runs, one package folder")
        self.assert_the_old_package_path_was_not_followed()
        for kept in kept_packages:
            remove(in_prefix(kept.rpartition("\\")[0]))
        self.assertFalse(os.path.exists(in_prefix("C:\\Games\\outside-the-install-folder.txt")))
        folder = in_prefix(FOLDER)
        self.assertTrue(os.path.exists(os.path.join(folder, *files[0][0].split("/"))),
                        "the entries before the unsafe one were not written")
        self.assertFalse(os.path.exists(os.path.join(folder, "installed-files.txt")))
        self.assertEqual(registry_values(), {})

    def test_a_link_below_the_install_folder_is_not_written_through(self):
        self.make_package()
        os.makedirs(in_prefix(OUTSIDE))
        plant_link(FOLDER + "\\bin", OUTSIDE)
        text, code = self.install_by_clicks()
        self.assertEqual(code, 1)
        message, suffix, kept = text.partition(KEPT_SUFFIX)
        self.assertEqual(message, "The install folder contains a link to another location: " +
                         FOLDER + "\\bin")
        self.assertEqual(os.listdir(in_prefix(OUTSIDE)), [])
        remove(in_prefix(kept.rpartition("\\")[0]))
        self.assertEqual(registry_values(), {})

    def test_a_link_as_the_install_folder_itself_installs_and_uninstalls(self):
        files = self.make_package()
        os.makedirs(in_prefix("C:\\Elsewhere\\Quellmark"))
        plant_link(FOLDER, "C:\\Elsewhere\\Quellmark")
        text, code = self.install_by_clicks()
        self.assertEqual((text, code), (SUCCESS, 0))
        self.assert_installed(files, "C:\\Elsewhere\\Quellmark")

        self.uninstall_by_clicks()
        self.assert_removed(files, "C:\\Elsewhere\\Quellmark")
        self.assertEqual(registry_values(), {})

    def test_a_reinstall_before_the_restart_keeps_its_uninstaller(self):
        files = self.make_package()
        self.assertEqual(self.install_by_clicks(), (SUCCESS, 0))
        self.uninstall_by_clicks()
        self.assertEqual(self.install_by_clicks(), (SUCCESS, 0))
        code, _ = wine("wineboot", "-r")
        self.assertEqual(code, 0)
        self.assertTrue(os.path.exists(in_prefix(FOLDER + "\\QuellmarkUninstall.exe")),
                        "the restart deleted the new uninstaller")

        self.uninstall_by_clicks()
        self.assert_removed(files, FOLDER)
        self.assertEqual(registry_values(), {})
        self.assertEqual(shortcuts(), [])

    def test_two_installs_each_uninstaller_removes_only_its_own(self):
        files = self.make_package()
        self.assertEqual(self.install_by_clicks(), (SUCCESS, 0))
        self.assertEqual(self.install_by_clicks(SECOND_FOLDER), (SUCCESS, 0))

        self.uninstall_by_clicks(FOLDER + "\\QuellmarkUninstall.exe")
        self.assert_removed(files, FOLDER)
        self.assertEqual(registry_values().get("InstallLocation"), SECOND_FOLDER)
        self.assertEqual(len(shortcuts()), 2)
        self.assert_installed(files, SECOND_FOLDER)

        self.uninstall_by_clicks()
        self.assert_removed(files, SECOND_FOLDER)
        self.assertEqual(registry_values(), {})
        self.assertEqual(shortcuts(), [])


def main():
    global SETUP_EXE, PROBE_EXE, PREFIX_TOOL, BASE_URL, WORK
    SETUP_EXE, PROBE_EXE, PREFIX_TOOL, BASE_URL, WORK = sys.argv[1:6]
    os.makedirs(WORK, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[6:])


if __name__ == "__main__":
    main()
