#!/usr/bin/env python3
"""The whole setup as a person runs it, driven by real clicks and keys: the
setup as it ships (CTest hands in the build's QuellmarkSetup.exe as
tests/setup/signing_test.py signed it) downloads a generated package from the
local package host through the local proxy (for the production host name,
with a CA that only this test's Wine prefix trusts), extracts it, records it,
and is removed again by the uninstall command of its registry entry, while a
second copy started meanwhile changes nothing. Then what a standard user
could plant for the elevated setup (links, made from outside: a Unix
symbolic link in drive_c is a reparse point to Wine's programs) or swap
while the package downloads, a reinstall
before the restart, two installs side by side, and failure paths: an unsafe
entry, a host that never answers (and a Cancel while it is silent), a body
that stalls, one that breaks and is picked up where it stopped, and a package
replaced on the host after a break.

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
import time
import unittest
import urllib.parse
import zipfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOLS = os.path.join(ROOT, "tools")
HELPERS = os.path.join(ROOT, "tests", "tools")
sys.path.insert(0, HELPERS)
import gui_driver as gui  # noqa: E402

SETUP_EXE = PROBE_EXE = PREFIX_TOOL = BASE_URL = WORK = None
INSTALL_BUTTON = (515, 593)
MINIMIZE_BUTTON = (814, 104)
# The installing page's detail row, its first line and the rest (design coordinates).
DETAIL_FIRST_LINE = (310, 430, 730, 450)
DETAIL_BELOW = (310, 452, 730, 500)
# Each network wait is limited to 30 s; a stall must end well within this.
STALL_LIMIT_SECONDS = 90
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


def remove_deep(path):
    """A folder tree deeper than any path the system takes: walked one
    relative step at a time, never by its full path."""
    if not os.path.isdir(path):
        return
    back = os.getcwd()
    os.chdir(path)
    depth = 0
    try:
        while True:
            folders = []
            for entry in os.scandir("."):
                if entry.is_dir(follow_symlinks=False):
                    folders.append(entry.name)
                else:
                    os.remove(entry.name)
            if folders:
                os.chdir(folders[0])
                depth += 1
                continue
            if depth == 0:
                break
            name = os.path.basename(os.getcwd()) if len(os.getcwd()) < 4000 else None
            os.chdir("..")
            depth -= 1
            if name is None:
                name = next(e.name for e in os.scandir(".") if e.is_dir(follow_symlinks=False))
            os.rmdir(name)
    finally:
        os.chdir(back)
    os.rmdir(path)


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
    """tests/tools/package-host.sh, its chatter in a log: it starts Wine programs,
    and nothing of Wine's may hold this test's output open."""
    with open(os.path.join(WORK, "package-host.out"), "ab") as log:
        return subprocess.run([os.path.join(HELPERS, "package-host.sh")] + list(args),
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


def change_entry_keeping_its_crcs_right(package, name):
    """Flips a byte inside the entry's data, as one who can replace the file
    on the host would, and writes the CRC-32 of what it then holds into both
    of its headers, so only a check of the publisher's signature finds it."""
    with zipfile.ZipFile(package) as archive:
        info = archive.getinfo(name)
    with open(package, "r+b") as f:
        data = bytearray(f.read())
    header = info.header_offset
    start = header + 30 + int.from_bytes(data[header + 26:header + 28], "little") + \
        int.from_bytes(data[header + 28:header + 30], "little")
    data[start + info.compress_size - 10] ^= 0x5A  # in a deflated entry: a stored block's bytes
    raw = bytes(data[start:start + info.compress_size])
    content = raw if info.compress_type == zipfile.ZIP_STORED else zlib.decompress(raw, -15)
    crc = zlib.crc32(content).to_bytes(4, "little")
    data[header + 14:header + 18] = crc
    directory = data.find(b"PK\x01\x02", start + info.compress_size)
    while int.from_bytes(data[directory + 42:directory + 46], "little") != header:
        directory = data.find(b"PK\x01\x02", directory + 4)
        assert directory > 0, name
    data[directory + 16:directory + 20] = crc
    with open(package, "wb") as f:
        f.write(data)


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
        started = package_host("start", cls.state, "--base-url", BASE_URL,
                               "--prefix-tool", PREFIX_TOOL, "--max-seconds", "1200")
        if started.returncode != 0:
            with open(os.path.join(WORK, "package-host.out"), errors="replace") as log:
                raise RuntimeError("the package host did not start:\n" + log.read()[-3000:])
        code, out = wine("cmd", "/c", "echo", "%TEMP%")
        cls.temp = out.strip()
        assert code == 0 and re.match(r"^C:\\", cls.temp), cls.temp

    @classmethod
    def tearDownClass(cls):
        package_host("stop", cls.state)
        end_every_program_of_the_prefix()

    def setUp(self):
        for path in (FOLDER, FOLDER + " moved", SECOND_FOLDER, OUTSIDE, VICTIM, "C:\\Elsewhere",
                     "C:\\Downloaded"):
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
        self.misbehave("")

    def misbehave(self, prefixes):
        """Makes the host misbehave, for the setup's fixed URL, as the path
        prefixes say (see package_server.py); "" makes it serve normally."""
        path = os.path.join(self.state, "prefix")
        if prefixes:
            with open(path, "w") as f:
                f.write(prefixes + "\n")
        elif os.path.exists(path):
            os.remove(path)

    def start_stalled_install(self, prefixes, folder=None):
        """The setup against a host misbehaving as prefixes say, started with
        Enter (after the folder is typed, if given): (run, start time)."""
        self.make_package()
        self.misbehave(prefixes)
        setup = self.start(SETUP_EXE)
        self.assertTrue(setup.wait_for_window(), "the setup window did not appear")
        if folder:
            setup.retype(folder)
        setup.key("Return")
        return setup, time.time()

    def package_in_temp(self):
        return [os.path.join(top, f) for top, _, files in os.walk(in_prefix("C:\\users"))
                for f in files if f == "QuellmarkFull.zip"]

    def make_package(self, *options):
        subprocess.run([sys.executable, os.path.join(HELPERS, "make_sample_package.py"), self.package]
                       + list(options), check=True)
        with zipfile.ZipFile(self.package) as package:
            return [(e.filename, package.read(e)) for e in package.infolist() if not e.is_dir()]

    def package_requests(self):
        """The host's log of requests for the package, after the one for its
        signature, which comes first."""
        with open(os.path.join(self.state, "host.log")) as log:
            requests = [line.rstrip("\n").split("\t") for line in log]
        self.assertTrue(requests and requests[0][3].endswith(".zip.sig"), requests[:1])
        return [r for r in requests if not r[3].endswith(".sig")]

    def start(self, exe, *args):
        run = gui.Setup(exe, PROBE_EXE, os.path.join(TOOLS, "wine-run.sh"), args)
        self.runs.append(run)
        return run

    def install_by_clicks(self, folder=None, second_copy=False, proposed=FOLDER):
        """Install (into folder, typed in, when given), then OK on the final
        box: (box text, exit code). The ready page must propose the folder
        proposed. With second_copy, another copy is started first, while the
        window is minimized: it must bring the window back and leave without
        a trace."""
        setup = self.start(SETUP_EXE)
        self.assertTrue(setup.wait_for_window(), "the setup window did not appear")
        self.assertEqual(setup.probe("text", "1004"), proposed)
        if folder:
            self.assertIsNotNone(setup.probe("settext", "1004", folder))
            self.assertEqual(setup.probe("text", "1004"), folder)
        if second_copy:
            setup.click(*MINIMIZE_BUTTON)
            time.sleep(0.5)
            self.assertEqual(setup.probe("state"), "minimized")
            self.assertEqual(self.start(SETUP_EXE).wait_exit(60), 0)
            time.sleep(0.5)
            self.assertEqual(setup.probe("state"), "normal")
            self.assertEqual(setup.probe("front"), "1")
            self.assertIsNone(setup.probe("box", gui.BOX_CAPTION))
            self.assertFalse(os.path.exists(in_prefix(FOLDER)), "the second copy made the folder")
            with open(os.path.join(self.state, "host.log")) as log:
                self.assertEqual(log.read(), "", "the second copy downloaded")
        setup.click(*INSTALL_BUTTON)
        text, ok = setup.wait_for_box(timeout=300)
        self.assertIsNotNone(text, "no final box appeared")
        gui.screenshot(os.path.join(WORK, "final-%s.png" % self._testMethodName))
        gui.click(*ok)
        return text, setup.wait_exit(60)

    def uninstall_by_clicks(self, program=None, while_asked=None):
        """The uninstall command of the registry entry (or program with
        "/uninstall"), answered Yes, then OK. while_asked(program) runs while
        the confirmation box is up."""
        if program is None:
            program, args = split_command(registry_values()["UninstallString"])
            self.assertEqual(args, ["/uninstall"])
        uninstall = self.start(program, "/uninstall")
        text, yes = uninstall.wait_for_box("Quellmark Uninstall", 120)
        self.assertEqual(text, "Remove The Annals of Quellmark from this computer?")
        if while_asked:
            while_asked(program)
            text, yes = uninstall.wait_for_box("Quellmark Uninstall", 30)
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
        open(os.path.join(self.state, "host.log"), "w").close()
        text, code = self.install_by_clicks(second_copy=True)
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

        def second_uninstall(program):
            # One uninstall at a time too: a second one leaves at once,
            # removing nothing.
            self.assertEqual(self.start(program, "/uninstall").wait_exit(60), 0)
            self.assertTrue(os.path.exists(os.path.join(folder, "installed-files.txt")))

        self.uninstall_by_clicks(while_asked=second_uninstall)

        self.assertEqual(read(OUTSIDE + "\\victim.txt"), b"keep me")
        self.assert_removed(files, FOLDER)
        self.assertFalse(os.path.exists(os.path.join(folder, "bin")))
        self.assertFalse(os.path.exists(os.path.join(folder, "data")))
        self.assertEqual(shortcuts(), [])
        self.assertEqual(registry_values(), {})

    def test_an_unsafe_entry_stops_the_download_and_the_part_received_is_kept(self):
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
            # Found while the package arrives, halfway through: the download
            # stops within a checked chunk of it, and what came before stays.
            with open(in_prefix(kept), "rb") as kept_file, open(self.package, "rb") as served:
                received, whole = kept_file.read(), served.read()
                self.assertTrue(0 < len(received) < len(whole), len(received))
                self.assertEqual(received, whole[:len(received)])
            kept_packages.append(kept)
        self.assertNotEqual(kept_packages[0], kept_packages[1], "two runs, one package folder")
        self.assert_the_old_package_path_was_not_followed()
        for kept in kept_packages:
            remove(in_prefix(kept.rpartition("\\")[0]))
        self.assertFalse(os.path.exists(in_prefix("C:\\Games\\outside-the-install-folder.txt")))
        folder = in_prefix(FOLDER)
        self.assertTrue(os.path.exists(os.path.join(folder, *files[0][0].split("/"))),
                        "the entries before the unsafe one were not written")
        # The list names what the runs wrote, and nothing of the unsafe entry.
        names = [name for name, _ in files]
        written = {name.replace("/", "\\") for name in names[:names.index(
            "../outside-the-install-folder.txt")]}
        with open(os.path.join(folder, "installed-files.txt"), "rb") as lines:
            self.assertEqual(set(lines.read().decode().split("\r\n")) - {""}, written)
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

    def test_a_link_as_the_install_folder_itself_is_refused(self):
        self.make_package()
        os.makedirs(in_prefix("C:\\Elsewhere\\Quellmark"))
        plant_link(FOLDER, "C:\\Elsewhere\\Quellmark")
        self.assertEqual(self.install_by_clicks(),
                         ("The install folder contains a link to another location: " + FOLDER, 1))
        self.assertEqual(os.listdir(in_prefix("C:\\Elsewhere\\Quellmark")), [])
        self.assertEqual(registry_values(), {})

    def install_swapping_during_the_download(self, swap, exe=None):
        """Install by clicks from exe (the setup by default) against a slow
        host; swap() runs once the install folder is made, while the package
        is still arriving. (box text, exit code)."""
        self.misbehave("/_slow/40/")
        setup = self.start(exe or SETUP_EXE)
        self.assertTrue(setup.wait_for_window(), "the setup window did not appear")
        setup.click(*INSTALL_BUTTON)
        deadline = time.time() + 60
        while not os.path.isdir(in_prefix(FOLDER)) and time.time() < deadline:
            time.sleep(0.05)
        swap()
        text, ok = setup.wait_for_box(timeout=300)
        self.assertIsNotNone(text, "no final box appeared")
        gui.click(*ok)
        return text, setup.wait_exit(60)

    def test_the_install_folder_swapped_for_a_link_during_the_download_is_not_written_through(self):
        # Another program moves the empty install folder away and puts a link
        # in its place. Windows refuses the move while the setup holds the
        # folder; Wine lets a Unix program do it, and then the folders the
        # setup makes below its handle lie elsewhere than its path says: the
        # setup stops at the first, and nothing goes through the link.
        self.make_package()
        os.makedirs(in_prefix(OUTSIDE))
        moved = FOLDER + " moved"

        def swap():
            os.rename(in_prefix(FOLDER), in_prefix(moved))
            plant_link(FOLDER, OUTSIDE)
        text, code = self.install_swapping_during_the_download(swap)
        self.assertEqual(code, 1)
        message, _, kept = text.partition(KEPT_SUFFIX)
        self.assertEqual(message, "The install folder contains a link to another location: " +
                         FOLDER + "\\bin")
        self.assertEqual(os.listdir(in_prefix(OUTSIDE)), [])
        remove(in_prefix(kept.rpartition("\\")[0]))
        self.assertEqual(registry_values(), {})

    def test_the_setup_file_replaced_during_the_download_is_not_the_uninstaller(self):
        files = self.make_package()
        started_from = "C:\\Downloaded\\QuellmarkSetup.exe"
        with open(SETUP_EXE, "rb") as setup:
            setup_bytes = setup.read()
        write(started_from, setup_bytes)

        def swap():
            os.rename(in_prefix(started_from), in_prefix(started_from + ".old"))
            write(started_from, b"MZ another program")
        self.assertEqual(self.install_swapping_during_the_download(swap, in_prefix(started_from)),
                         (SUCCESS, 0))
        self.assertEqual(read(FOLDER + "\\QuellmarkUninstall.exe"), setup_bytes)
        self.uninstall_by_clicks()
        self.assert_removed(files, FOLDER)

    def test_the_setup_file_replaced_as_soon_as_it_is_mapped_is_never_registered(self):
        # The system has mapped the setup, which has not run a line yet, when
        # another program takes its file's name: the file the setup opens by
        # its path is not the image that runs, so nothing names it.
        self.make_package()
        started_from = "C:\\Downloaded\\QuellmarkSetup.exe"
        with open(SETUP_EXE, "rb") as setup:
            write(started_from, setup.read())
        with open(PROBE_EXE, "rb") as other:
            write("C:\\Downloaded\\other.exe", other.read())
        setup = self.start(PROBE_EXE, "start-swapped", started_from, "C:\\Downloaded\\other.exe")
        self.assertTrue(setup.wait_for_window(), "the setup window did not appear")
        setup.click(*INSTALL_BUTTON)
        text, ok = setup.wait_for_box(timeout=300)
        gui.click(*ok)
        self.assertEqual(setup.wait_exit(60), 0)
        self.assertEqual(text, SUCCESS + "\n\nThe uninstall information could not be written "
                         "completely. To remove the game, delete its folder.")
        self.assertEqual(registry_values(), {})
        self.assertFalse(os.path.exists(in_prefix(FOLDER + "\\QuellmarkUninstall.exe")))
        for shortcut in shortcuts():
            os.remove(shortcut)

    def test_the_records_names_planted_by_a_user_are_replaced_or_stop_the_install(self):
        # The install folder is open to every user before the install (an
        # earlier one was removed): a read-only uninstaller and list planted
        # there are replaced, and during the download no program writes or
        # deletes them, as Windows refuses while the setup holds them.
        files = self.make_package()
        for name in ("QuellmarkUninstall.exe", "installed-files.txt"):
            write(FOLDER + "\\" + name, b"planted\r\n")
            os.chmod(in_prefix(FOLDER + "\\" + name), 0o444)

        def plant():
            for command in ("echo planted> \"%s\\installed-files.txt\"" % FOLDER,
                            "del /f \"%s\\QuellmarkUninstall.exe\"" % FOLDER):
                wine("cmd", "/c", command)
        self.assertEqual(self.install_swapping_during_the_download(plant), (SUCCESS, 0))
        with open(SETUP_EXE, "rb") as setup:
            self.assertEqual(read(FOLDER + "\\QuellmarkUninstall.exe"), setup.read())
        self.assertEqual([line for line in read(FOLDER + "\\installed-files.txt").decode().split("\r\n")
                          if line], [name.replace("/", "\\") for name, _ in files])
        self.uninstall_by_clicks()
        self.assert_removed(files, FOLDER)

        # After the restart, a folder of the uninstaller's name cannot be
        # replaced: the install stops before the download and names it.
        self.assertEqual(wine("wineboot", "-r")[0], 0)
        os.makedirs(in_prefix(FOLDER + "\\QuellmarkUninstall.exe"))
        open(os.path.join(self.state, "host.log"), "w").close()
        self.assertEqual(self.install_by_clicks(), (
            "The install folder holds a file that the setup cannot replace: " + FOLDER +
            "\\QuellmarkUninstall.exe", 1))
        with open(os.path.join(self.state, "host.log")) as log:
            self.assertNotIn("QuellmarkFull.zip", log.read())
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
        self.assertEqual(self.install_by_clicks(SECOND_FOLDER), (SUCCESS, 0))
        # The second setup finds the first install; the person installs elsewhere anyway.
        self.assertEqual(self.install_by_clicks(FOLDER, proposed=SECOND_FOLDER), (SUCCESS, 0))

        self.uninstall_by_clicks(SECOND_FOLDER + "\\QuellmarkUninstall.exe")
        self.assert_removed(files, SECOND_FOLDER)
        self.assertEqual(registry_values().get("InstallLocation"), FOLDER)
        self.assertEqual(len(shortcuts()), 2)
        self.assert_installed(files, FOLDER)

        self.uninstall_by_clicks()
        self.assert_removed(files, FOLDER)
        self.assertEqual(registry_values(), {})
        self.assertEqual(shortcuts(), [])

    def test_a_reinstall_from_a_smaller_package_leaves_no_game_file_after_the_uninstall(self):
        files = self.make_package()
        self.assertEqual(self.install_by_clicks(), (SUCCESS, 0))
        write(FOLDER + "\\data\\saves\\world.sav", b"the player's own")
        # One file of the first install is already gone again.
        gone = files[-1][0].replace("/", "\\")
        os.remove(in_prefix(FOLDER + "\\" + gone))
        smaller = self.make_package("--files", "200")
        self.assertEqual(self.install_by_clicks(), (SUCCESS, 0))

        with open(in_prefix(FOLDER + "\\installed-files.txt"), "rb") as lines:
            manifest = lines.read().decode().split("\r\n")
        new_lines = [name.replace("/", "\\") for name, _ in smaller]
        self.assertEqual(manifest[:len(new_lines)], new_lines)
        self.assertEqual(sorted(manifest[len(new_lines):]),
                         sorted({name.replace("/", "\\") for name, _ in files} - set(new_lines)
                                - {gone} | {""}))

        self.uninstall_by_clicks()
        self.assert_removed(files + smaller, FOLDER)
        self.assertEqual(read(FOLDER + "\\data\\saves\\world.sav"), b"the player's own")

    def test_an_entry_below_20000_folders_ends_with_a_message(self):
        files = self.make_package("--files", "20", "--deep", "20000")
        self.addCleanup(remove_deep, in_prefix(FOLDER))
        text, code = self.install_by_clicks()
        self.assertEqual(code, 1)
        message, suffix, kept = text.partition(KEPT_SUFFIX)
        if kept:
            remove(in_prefix(kept.rpartition("\\")[0]))
        self.assertEqual(message, "The package contains an unsafe path: " + "d\\" * 130 + "...")
        self.assertEqual(suffix, KEPT_SUFFIX)
        self.assert_installed(files[:10], FOLDER)
        self.assertFalse(os.path.exists(in_prefix(FOLDER + "\\d")))

    def test_a_temporary_folder_named_in_cyrillic_installs(self):
        # The code page has no form for these letters: the folder is only
        # reached in UTF-16.
        files = self.make_package("--files", "50")
        temp = self.temp + "\\Временная папка"
        os.makedirs(in_prefix(temp))
        self.addCleanup(remove, in_prefix(temp))
        for name in ("TEMP", "TMP"):
            code, out = wine("reg", "query", "HKCU\\Environment", "/v", name)
            kind, before = out.split(name, 1)[1].split(None, 1) if code == 0 else ("", "")
            if code == 0:
                self.addCleanup(wine, "reg", "add", "HKCU\\Environment", "/v", name, "/t", kind,
                                "/d", before.strip(), "/f")
            else:
                self.addCleanup(wine, "reg", "delete", "HKCU\\Environment", "/v", name, "/f")
            code, _ = wine("reg", "add", "HKCU\\Environment", "/v", name, "/t", "REG_SZ",
                           "/d", temp, "/f")
            self.assertEqual(code, 0)
        self.assertEqual(self.install_by_clicks(), (SUCCESS, 0))
        self.assert_installed(files, FOLDER)
        self.assertEqual(os.listdir(in_prefix(temp)), [], "the package was not deleted")
        self.uninstall_by_clicks()
        self.assert_removed(files, FOLDER)

    def test_a_run_killed_part_way_then_a_smaller_package_leaves_nothing_after_the_uninstall(self):
        files = self.make_package("--files", "3000")
        self.misbehave("/_slow/20/")
        setup = self.start(SETUP_EXE)
        self.assertTrue(setup.wait_for_window(), "the setup window did not appear")
        setup.click(*INSTALL_BUTTON)
        folder = in_prefix(FOLDER)
        made = lambda: [os.path.relpath(os.path.join(top, f), folder).replace("/", "\\")
                        for top, _, names in os.walk(folder) for f in names]
        deadline = time.time() + 120
        while len(made()) < 400 and time.time() < deadline:
            time.sleep(0.05)
        setup.kill()
        self.misbehave("")
        # The killed run's package stays in the temporary folder.
        for package in self.package_folders() - self.package_folders_before:
            self.addCleanup(remove, in_prefix(package))
        on_disk = set(made())
        self.assertTrue(400 <= len(on_disk) < len(files), len(on_disk))
        with open(os.path.join(folder, "installed-files.txt"), "rb") as lines:
            listed = set(lines.read().decode().split("\r\n"))
        # The records, taken before the download, are not listed themselves.
        self.assertEqual(on_disk - listed, {"installed-files.txt", "QuellmarkUninstall.exe"})

        write(FOLDER + "\\data\\saves\\world.sav", b"the player's own")
        self.make_package("--files", "200")
        self.assertEqual(self.install_by_clicks(), (SUCCESS, 0))
        self.uninstall_by_clicks()
        # The uninstaller goes at the next restart.
        self.assertEqual(sorted(made()), ["QuellmarkUninstall.exe", "data\\saves\\world.sav"])

    def test_a_reinstall_while_the_game_runs_replaces_nothing(self):
        files = self.make_package("--files", "100")
        self.assertEqual(self.install_by_clicks(), (SUCCESS, 0))
        listed = read(FOLDER + "\\installed-files.txt")
        newer = self.make_package("--files", "150")
        client = FOLDER + "\\bin\\client\\Qm_client.exe"
        marker = os.path.join(WORK, "game-running")
        open(marker, "w").close()
        self.addCleanup(lambda: os.path.exists(marker) and os.remove(marker))
        game = subprocess.Popen([os.path.join(TOOLS, "wine-run.sh"), PROBE_EXE, "hold", client,
                                 "Z:" + marker.replace("/", "\\")],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)
        self.assertEqual(game.stdout.readline().strip(), b"held")
        self.assertEqual(self.install_by_clicks(),
                         ("The game is still running. Close it, then press Install again.\n" +
                          client, 1))
        self.assertEqual(read(FOLDER + "\\installed-files.txt"), listed)
        for name in {name for name, _ in newer} - {name for name, _ in files}:
            self.assertFalse(os.path.exists(in_prefix(FOLDER + "\\" + name.replace("/", "\\"))),
                             name)
        self.assertEqual(self.package_folders(), self.package_folders_before)
        os.remove(marker)
        self.assertEqual(game.wait(30), 0)

        self.uninstall_by_clicks()
        self.assert_removed(files + newer, FOLDER)

    def test_a_host_that_never_answers_fails_within_the_limit(self):
        # A folder too long for the detail line: while the request waits it
        # stays on one line, its middle cut, its last folder shown.
        folder = FOLDER + "\\" + "\\".join(["Saved Worlds of the Northern Reaches"] * 3) + \
            "\\Last Folder"
        self.addCleanup(shutil.rmtree, in_prefix(FOLDER), True)
        setup, started = self.start_stalled_install("/_silent/", folder)
        time.sleep(3)
        screen = gui.screenshot(os.path.join(WORK, "waiting-for-the-host.png"))
        first = screen.count(gui.CREAM, *self.window_rect(setup, DETAIL_FIRST_LINE))
        below = screen.count(gui.CREAM, *self.window_rect(setup, DETAIL_BELOW))
        self.assertGreater(first, 100, "the folder is not in the detail line")
        self.assertEqual(below, 0, "the folder wraps below the detail line")
        text, ok = setup.wait_for_box(timeout=STALL_LIMIT_SECONDS)
        self.assertLess(time.time() - started, STALL_LIMIT_SECONDS)
        self.assertEqual(text, "Could not open the download URL.")
        gui.click(*ok)
        self.assertEqual(setup.wait_exit(60), 1)

    def test_a_body_that_stalls_fails_within_the_limit_and_is_kept(self):
        setup, started = self.start_stalled_install("/_stall/500000/")
        text, ok = setup.wait_for_box(timeout=STALL_LIMIT_SECONDS)
        self.assertLess(time.time() - started, STALL_LIMIT_SECONDS)
        self.assertEqual(text, "The download failed.")
        kept = self.package_in_temp()
        self.assertEqual(len(kept), 1, "the partial package was not kept")
        with open(kept[0], "rb") as partial, open(self.package, "rb") as served:
            received = partial.read()
            self.assertTrue(0 < len(received) <= 500000, len(received))
            self.assertEqual(received, served.read(len(received)))
        gui.click(*ok)
        self.assertEqual(setup.wait_exit(60), 1)
        for kept in self.package_in_temp():
            os.remove(kept)

    def test_a_cancel_during_a_stalled_body_is_not_lost(self):
        setup, started = self.start_stalled_install("/_stall/500000/")
        time.sleep(5)  # the body has stopped; the read waits
        setup.key("Escape")
        text, _ = setup.wait_for_box(timeout=STALL_LIMIT_SECONDS)
        self.assertIsNone(text, "a box appeared after the cancel")
        self.assertLess(time.time() - started, STALL_LIMIT_SECONDS)
        self.assertEqual(setup.wait_exit(10), 1)
        self.assertEqual(self.package_in_temp(), [], "the cancelled download was kept")

    def test_a_cancel_while_the_host_is_silent_ends_at_once(self):
        setup, _ = self.start_stalled_install("/_silent/")
        time.sleep(3)  # the request waits for an answer that never comes
        pressed = time.time()
        setup.key("Escape")
        text, _ = setup.wait_for_box(timeout=10)
        self.assertIsNone(text, "a box appeared after the cancel")
        self.assertEqual(setup.wait_exit(STALL_LIMIT_SECONDS), 1)
        # Not held until the 30 s limit runs out.
        self.assertLess(time.time() - pressed, 15)
        self.assertEqual(self.package_in_temp(), [], "the cancelled download was kept")

    def test_a_body_broken_once_is_resumed_and_installs(self):
        files = self.make_package()
        self.misbehave("/_cuts/1/")
        open(os.path.join(self.state, "host.log"), "w").close()
        self.assertEqual(self.install_by_clicks(), (SUCCESS, 0))
        self.assert_installed(files, FOLDER)
        requests = self.package_requests()
        # The directory's tail, the body, the rest of the body.
        self.assertEqual(len(requests), 3)
        self.assertTrue(re.fullmatch(r"bytes=[0-9]+-", requests[0][5]), requests[0])
        self.assertEqual(requests[1][5], "bytes=0-")
        self.assertTrue(re.fullmatch(r"bytes=[1-9][0-9]*-", requests[2][5]), requests[2])
        for request in requests[1:]:
            self.assertTrue(request[6].startswith('"'), "the range named no ETag")
        self.assertEqual(self.package_in_temp(), [])
        self.uninstall_by_clicks()
        self.assert_removed(files, FOLDER)

    def test_a_package_replaced_after_a_break_is_fetched_anew(self):
        replacement = self.package + ".new"
        self.addCleanup(lambda: os.path.exists(replacement) and os.remove(replacement))
        subprocess.run([sys.executable, os.path.join(HELPERS, "make_sample_package.py"), replacement,
                        "--files", "250"], check=True)
        with zipfile.ZipFile(replacement) as package:
            files = [(e.filename, package.read(e)) for e in package.infolist() if not e.is_dir()]
        bodies = os.path.join(self.state, "bodies.log")
        open(bodies, "w").close()
        setup, started = self.start_stalled_install("/_cuts/1/")
        # The directory's tail came, then the first body was cut; the setup
        # notices, waits a second and asks for the rest of a package that is
        # no longer there.
        while len(open(bodies).readlines()) < 2 and time.time() - started < STALL_LIMIT_SECONDS:
            time.sleep(0.05)
        with zipfile.ZipFile(self.package) as package:
            older_only = {e.filename for e in package.infolist() if not e.is_dir()} - \
                {name for name, _ in files}
        self.assertTrue(older_only)
        os.replace(replacement, self.package)
        text, ok = setup.wait_for_box(timeout=300)
        self.assertEqual(text, SUCCESS)
        gui.click(*ok)
        self.assertEqual(setup.wait_exit(60), 0)
        self.assert_installed(files, FOLDER)
        for name in older_only:
            self.assertFalse(os.path.exists(in_prefix(FOLDER + "\\" + name.replace("/", "\\"))),
                             name)
        self.uninstall_by_clicks()
        self.assert_removed(files, FOLDER)

    def test_a_package_that_is_not_the_publishers_is_refused_before_its_bytes_are_used(self):
        signature = self.package + ".sig"
        self.addCleanup(remove, signature)
        client, stored, last = "bin/client/Qm_client.exe", "data/maps/ashfen/tile_000.map", \
            "README.txt"
        # (what, entry changed after signing or None, host misbehaviour,
        # whether a part of the package arrives before the refusal). A changed entry's CRC-32 is in the directory,
        # which the tail holds: its chunk is refused before the body.
        cases = [("a deflated entry", client, "", False),
                 ("a stored entry", stored, "", False),
                 ("an entry in the directory's tail", last, "", False),
                 ("a byte changed on the way", None, "/_tamper/500000/", True)]
        for what, entry, prefixes, received in cases:
            with self.subTest(what):
                self.misbehave(prefixes)
                files = self.make_package()
                subprocess.run([os.path.join(TOOLS, "sign-package.sh"), self.package],
                               check=True, stderr=subprocess.DEVNULL)
                if entry:
                    change_entry_keeping_its_crcs_right(self.package, entry)
                text, code = self.install_by_clicks()
                message, suffix, kept = text.partition(KEPT_SUFFIX)
                self.assertEqual((message, code),
                                 ("The package could not be verified as the publisher's.", 1))
                self.assertEqual(bool(kept), received)
                if kept:
                    remove(in_prefix(kept.rpartition("\\")[0]))
                # Nothing of a chunk that did not match was written.
                for name, _ in files:
                    self.assertFalse(os.path.exists(in_prefix(FOLDER + "\\" +
                                                              name.replace("/", "\\"))), name)
                self.assertEqual(registry_values(), {})
                self.assertEqual(self.package_folders(), self.package_folders_before)

    def test_entries_out_of_offset_order_fall_back_and_install(self):
        files = self.make_package("--reversed")
        self.assertEqual(self.install_by_clicks(), (SUCCESS, 0))
        self.assert_installed(files, FOLDER)
        with open(in_prefix(FOLDER + "\\installed-files.txt"), "rb") as lines:
            self.assertEqual([line for line in lines.read().decode().splitlines() if line],
                             [name.replace("/", "\\") for name, _ in files])
        self.uninstall_by_clicks()
        self.assert_removed(files, FOLDER)

    def test_a_drive_too_small_is_refused_before_the_body(self):
        # D: of the setup's own prefix, on a drive that no other test reads.
        drive = os.path.join(os.path.dirname(os.path.abspath(WORK)), "small-drive-f")
        if not os.path.ismount(drive):
            self.skipTest("needs the small drive that tests/tools/small-drive.sh mounts (as root)")
        link = os.path.join(prefix(), "dosdevices", "d:")
        remove(link)
        os.symlink(drive, link)
        self.addCleanup(remove, link)
        self.addCleanup(remove, os.path.join(drive, "Quellmark"))
        # Its files need more than the 20 MB drive holds.
        self.make_package("--files", "4500")
        open(os.path.join(self.state, "host.log"), "w").close()
        text, code = self.install_by_clicks("D:\\Quellmark")
        message, suffix, kept = text.partition(KEPT_SUFFIX)
        if kept:
            remove(in_prefix(kept.rpartition("\\")[0]))
        self.assertEqual(code, 1)
        self.assertTrue(message.startswith(
            "There is not enough free disk space to install Quellmark.\n\nNeeded: "), message)
        self.assertEqual(suffix, KEPT_SUFFIX)
        requests = self.package_requests()
        # The tail, then the rest of a directory larger than the tail; no body.
        self.assertEqual(len(requests), 2, requests)
        self.assertTrue(re.fullmatch(r"bytes=[0-9]+-", requests[0][5]), requests[0])
        self.assertTrue(re.fullmatch(r"bytes=[0-9]+-[1-9][0-9]*", requests[1][5]), requests[1])
        self.assertTrue(requests[1][6].startswith('"'), "the range named no ETag")
        self.assertEqual(registry_values(), {})

    @staticmethod
    def window_rect(setup, rect):
        return (setup.left + rect[0], setup.top + rect[1], setup.left + rect[2],
                setup.top + rect[3])


def main():
    global SETUP_EXE, PROBE_EXE, PREFIX_TOOL, BASE_URL, WORK
    SETUP_EXE, PROBE_EXE, PREFIX_TOOL, BASE_URL, WORK = sys.argv[1:6]
    os.makedirs(WORK, exist_ok=True)
    unittest.main(argv=[sys.argv[0], "-v"] + sys.argv[6:])


if __name__ == "__main__":
    main()
