#!/usr/bin/env python3
"""The end-to-end install benchmark, as a player waits for it: the real
QuellmarkSetup.exe under Wine with its window on the display, Install pressed
with a real click, the package fetched from the local package host through
the CONNECT proxy, until the final box is up. In the same run, the native
way: curl through the same proxy, then `unzip -q -o`. And the setup's
download alone beside a bare WinInet loop in the same prefix.

    timed_install.py BUILD_DIR WORK_DIR HOST_ENV PACKAGE_URL_PATH NAME=ZIP [NAME=ZIP ...]

Run by bench/bench-setup.sh, which builds, makes the packages, starts the
host and the display. Prints one block per package and a summary table.
With QUELLMARK_BENCH_CUTS=N, the host breaks the first N bodies it sends to
the setup (not to curl or the loop) after a fifth of the package each, and
the bytes it served to the setup are printed beside the package's size.
With QUELLMARK_BENCH_SPLIT=BUILD_DIR, the setup of that build (one made with
QUELLMARK_PHASE_CLOCK) installs once more, and where its time went is printed
phase by phase.
"""
import glob
import os
import shutil
import subprocess
import sys
import threading
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
TOOLS = os.path.join(HERE, "..", "tools")
sys.path.insert(0, os.path.join(HERE, "..", "tests", "tools"))
import gui_driver as gui  # noqa: E402
# The extraction benchmark's sampler of a process's peak memory.
import make_bench_package as _bench_package  # noqa: E402
peak_rss_kib = _bench_package.peak_of

INSTALL_BUTTON = (515, 593)
INSTALL_FOLDER = "Games/The Annals of Quellmark"


def read_env(path):
    values = {}
    with open(path) as f:
        for line in f:
            key, _, value = line.strip().partition("=")
            if key:
                values[key] = value
    return values


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def visible_boxes():
    """How many visible top-level windows carry the setup's caption: the
    window itself, and the final box once it is up."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                            "^%s$" % gui.BOX_CAPTION], capture_output=True, text=True)
    return len(found.stdout.split())


def setup_pid():
    found = subprocess.run(["pgrep", "-f", r"QuellmarkSetup\.exe"], capture_output=True, text=True)
    pids = [int(p) for p in found.stdout.split()]
    return max(pids) if pids else None


class Watch:
    """Samples, every few milliseconds from the click on: when the package
    in the temp folder reached its full size and when it was deleted again
    (the extraction is over), and the setup's peak memory."""

    def __init__(self, temp_dir, package_size):
        self.temp_dir, self.package_size = temp_dir, package_size
        self.downloaded_at = None
        self.extracted_at = None
        self.seen = False
        self.earlier = set()
        self.earlier = set(self.package_files())
        self.peak_kib = 0
        self.stop = False
        self.thread = threading.Thread(target=self.run, daemon=True)

    def package_files(self):
        """This run's package: one that an earlier run kept is not it."""
        found = (glob.glob(os.path.join(self.temp_dir, "QuellmarkFull.zip")) +
                 glob.glob(os.path.join(self.temp_dir, "Quellmark-*", "QuellmarkFull.zip")))
        return [path for path in found if path not in self.earlier]

    def run(self):
        pid = setup_pid()
        while not self.stop:
            if pid is None:
                pid = setup_pid()
            else:
                self.peak_kib = max(self.peak_kib, peak_rss_kib(pid))
            files = self.package_files()
            if files:
                self.seen = True
            if self.downloaded_at is None:
                for path in files:
                    try:
                        if os.path.getsize(path) >= self.package_size:
                            self.downloaded_at = time.monotonic()
                    except OSError:
                        pass
            # An extraction that ends with the last block can delete the
            # package before a sample saw it whole.
            if self.extracted_at is None and self.seen and not files:
                self.extracted_at = time.monotonic()
                self.downloaded_at = self.downloaded_at or self.extracted_at
            time.sleep(0.005)


def settle():
    """Each timed run starts with nothing of the runs before it still waiting
    to be written: a run that has to wait for another's gigabyte to reach
    the disk would be charged for it."""
    os.sync()
    time.sleep(1)


def timed(command, **kwargs):
    settle()
    start = time.monotonic()
    subprocess.run(command, check=True, **kwargs)
    return time.monotonic() - start


def native(env, url, package, scratch):
    """curl through the proxy, then unzip: seconds for each."""
    os.makedirs(scratch, exist_ok=True)
    fetched = os.path.join(scratch, "QuellmarkFull.zip")
    out = os.path.join(scratch, "out")
    curl = timed(["curl", "-sS", "--fail", "--proxy", env["PROXY"], "--cacert", env["CA"],
                  "-o", fetched, url])
    if os.path.getsize(fetched) != os.path.getsize(package):
        raise SystemExit("curl fetched a different size")
    unzip = timed(["unzip", "-q", "-o", fetched, "-d", out])
    shutil.rmtree(scratch)
    return curl, unzip


def bare_loop(build, url, scratch):
    os.makedirs(scratch, exist_ok=True)
    settle()
    code, out = gui.run_wine(os.path.join(TOOLS, "wine-run.sh"),
                             [os.path.join(build, "bench", "wininet_loop.exe"), url,
                              windows_path(os.path.join(scratch, "loop.out"))])
    shutil.rmtree(scratch)
    fields = dict(f.split("=", 1) for f in out.split() if "=" in f)
    if code != 0 or "seconds" not in fields:
        raise SystemExit("wininet_loop failed: %r" % out)
    return float(fields["seconds"])


def file_floor(build, infos, scratch, handles=False):
    """Wine's own cost of creating these files, with nothing else around it;
    with handles, made the setup's way, relative to open folder handles."""
    os.makedirs(scratch, exist_ok=True)
    listing = os.path.join(scratch, "files.txt")
    with open(listing, "w") as f:
        for info in infos:
            if not info.is_dir():
                f.write("%d %s\n" % (info.file_size, info.filename.replace("/", "\\")))
    settle()
    code, out = gui.run_wine(os.path.join(TOOLS, "wine-run.sh"),
                             [os.path.join(build, "bench", "file_floor.exe"),
                              windows_path(listing), windows_path(os.path.join(scratch, "out"))] +
                             (["handles"] if handles else []))
    shutil.rmtree(scratch)
    fields = dict(f.split("=", 1) for f in out.split() if "=" in f)
    if code != 0 or "seconds" not in fields:
        raise SystemExit("file_floor failed: %r" % out)
    return float(fields["seconds"])


def last_request(work, agent, since=None):
    """(tunnel opened, GET received) in epoch seconds for the newest request
    of this agent, or with since its first request from then on, from the
    proxy's and the host's logs."""
    with open(os.path.join(work, "host", "host.log")) as f:
        gets = [line.rstrip("\n").split("\t") for line in f]
        gets = [get for get in gets if get[4:5] == [agent]]
    if since is not None:
        gets = [get for get in gets if float(get[0]) >= since][:1]
    if not gets:
        return None, None
    got, client = float(gets[-1][0]), gets[-1][1]
    # Ports come round again: the tunnel is the last one from that port
    # opened before the request.
    opened = None
    with open(os.path.join(work, "host", "proxy.log")) as f:
        for line in f:
            fields = line.split("\t")
            if len(fields) > 4 and fields[4] == client and float(fields[0]) <= got:
                opened = float(fields[0])
    return opened, got


def bytes_served_since(work, since):
    """The body bytes the host sent from the epoch time since on."""
    total = 0
    with open(os.path.join(work, "host", "bodies.log")) as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) == 4 and float(fields[0]) >= since:
                total += int(fields[3])
    return total


def last_body_end_since(work, since):
    """When the host ended the last body it sent from the epoch time since
    on (epoch seconds), or None."""
    last = None
    with open(os.path.join(work, "host", "bodies.log")) as f:
        for line in f:
            fields = line.rstrip("\n").split("\t")
            if len(fields) == 4 and float(fields[0]) >= since:
                last = float(fields[0])
    return last


def setup_run(build, work, prefix, temp_dir, package_size, entry_count, setup_build=None,
              env=None):
    """One install by clicks, of setup_build's setup if given: (seconds to
    the final box, download seconds, peak memory in KiB)."""
    shutil.rmtree(os.path.join(prefix, "drive_c", INSTALL_FOLDER), ignore_errors=True)
    setup = gui.Setup(os.path.join(setup_build or build, "QuellmarkSetup.exe"),
                      os.path.join(build, "tests", "tools", "window_probe.exe"),
                      os.path.join(TOOLS, "wine-run.sh"), env=env)
    try:
        if not setup.wait_for_window():
            raise SystemExit("the setup window did not appear")
        settle()
        watch = Watch(temp_dir, package_size)
        watch.thread.start()
        gui.move(*setup.at(*INSTALL_BUTTON))
        clicked = time.monotonic()
        clicked_epoch = time.time()
        gui.xdotool("click", 1)
        while visible_boxes() < 2:
            if setup.process.poll() is not None:
                raise SystemExit("the setup ended without a box")
            if time.monotonic() - clicked > 1800:
                raise SystemExit("no final box after 30 minutes")
            time.sleep(0.01)
        boxed = time.monotonic()
        watch.stop = True
        watch.thread.join()
        text, ok = setup.wait_for_box(timeout=60)
        if text is None or "successfully" not in text:
            raise SystemExit("the install did not succeed: %r" % text)
        gui.click(*ok)
        setup.wait_exit(60)
        installed = sum(len(files) for _, _, files in
                        os.walk(os.path.join(prefix, "drive_c", INSTALL_FOLDER)))
        # Every entry, the manifest and the uninstaller.
        if installed != entry_count + 2:
            raise SystemExit("%d files installed, %d expected" % (installed, entry_count + 2))
        # The host's log of bodies says when the last byte went out; the
        # package file's size is the fallback.
        body_end = last_body_end_since(work, clicked_epoch)
        downloaded_at = (clicked + body_end - clicked_epoch) if body_end else watch.downloaded_at
        download = (downloaded_at - clicked) if downloaded_at else float("nan")
        extraction = ((watch.extracted_at - downloaded_at)
                      if downloaded_at and watch.extracted_at else float("nan"))
        records = (boxed - watch.extracted_at) if watch.extracted_at else float("nan")
        opened, got = last_request(work, "QuellmarkSetup", clicked_epoch)
        phases = (opened - clicked_epoch, got - opened) if opened and got else (float("nan"),) * 2
        return boxed - clicked, download, extraction, records, watch.peak_kib, phases
    finally:
        setup.kill()


PHASE_FILE = "quellmark-phases.txt"


def phase_split(build, work, prefix, temp_dir, size, entries, split_build):
    """One install by the phase-timing build: its click-to-box seconds and
    its phases as (name, seconds), in the order it wrote them."""
    written = os.path.join(prefix, "drive_c", PHASE_FILE)
    if os.path.exists(written):
        os.remove(written)
    total = setup_run(build, work, prefix, temp_dir, size, entries, split_build,
                      env={"QUELLMARK_PHASE_FILE": "C:\\" + PHASE_FILE})[0]
    with open(written) as f:
        phases = [(name, float(seconds)) for name, seconds in (line.split() for line in f)]
    return total, phases


def print_split(total, phases):
    timed = dict(phases).pop("total")
    covered = sum(seconds for name, seconds in phases if name != "total")
    print("  where the time went (the phase-timing build, %.2f s click to box; %.2f s "
          "from the start of the install):" % (total, timed))
    for name, seconds in phases:
        if name != "total":
            print("    %-10s %6.2f s  %5.1f%%" % (name, seconds, 100 * seconds / timed))
    print("    %-10s %6.2f s  %5.1f%%  (the setup's own work between the phases)" %
          ("other", timed - covered, 100 * (timed - covered) / timed))


def main():
    build, work, host_env, url_path = sys.argv[1:5]
    packages = [arg.split("=", 1) for arg in sys.argv[5:]]
    env = read_env(host_env)
    prefix = os.environ["QUELLMARK_WINEPREFIX"]
    code, temp = gui.run_wine(os.path.join(TOOLS, "wine-run.sh"), ["cmd", "/c", "echo %TEMP%"])
    temp_dir = subprocess.run(["winepath", "-u", temp.strip()], capture_output=True, text=True,
                              env=dict(os.environ, WINEPREFIX=prefix)).stdout.strip()
    url = "https://%s%sQuellmarkFull.zip" % (env["HOST"], url_path)
    served = os.path.join(work, "host", "root") + url_path + "QuellmarkFull.zip"
    rows = []
    for name, package in packages:
        shutil.copyfile(package, served)
        # Signed as a release is: the setup checks every byte against it.
        subprocess.run(["bash", os.path.join(TOOLS, "sign-package.sh"), served], check=True,
                       stderr=subprocess.DEVNULL)
        size = os.path.getsize(package)
        with zipfile.ZipFile(package) as archive:
            infos = archive.infolist()
        entries = sum(1 for i in infos if not i.is_dir())
        out_bytes = sum(i.file_size for i in infos)
        curl, unzip = native(env, url, package, os.path.join(work, "native"))
        loop = bare_loop(build, url, os.path.join(work, "loop"))
        loop_opened, loop_got = last_request(work, "QuellmarkSetup")
        floor = file_floor(build, infos, os.path.join(work, "floor"))
        by_handles = file_floor(build, infos, os.path.join(work, "floor"), handles=True)
        cuts = int(os.environ.get("QUELLMARK_BENCH_CUTS", "0"))
        forced_prefix = os.path.join(work, "host", "prefix")
        if cuts:
            # Counted per version of the file: this package starts afresh.
            with open(forced_prefix, "w") as f:
                f.write("/_cuts/%d/\n" % cuts)
        started = time.time()
        try:
            total, download, extraction, records, peak, phases = setup_run(
                build, work, prefix, temp_dir, size, entries)
        finally:
            if os.path.exists(forced_prefix):
                os.remove(forced_prefix)
        served_to_setup = bytes_served_since(work, started)
        against = os.environ.get("QUELLMARK_BENCH_AGAINST")
        if against:
            against_total = setup_run(build, work, prefix, temp_dir, size, entries, against)[0]
        split_build = os.environ.get("QUELLMARK_BENCH_SPLIT")
        split = (phase_split(build, work, prefix, temp_dir, size, entries, split_build)
                 if split_build else None)
        print("package %s: %d files, %.0f MB zipped, %.0f MB out" %
              (name, entries, size / 1e6, out_bytes / 1e6))
        print("  setup, click to final box:  %7.2f s   (download %.2f s, extraction %.2f s, "
              "records and box %.2f s; peak memory %.1f MB)" %
              (total, download, extraction, records, peak / 1024))
        print("  bytes served to the setup:  %7.1f MB  (%.3f x the package; %d bodies cut)" %
              (served_to_setup / 1e6, served_to_setup / size, cuts))
        if against:
            print("  the setup of %s: %7.2f s   (this setup / that one: %.3f)" %
                  (against, against_total, total / against_total))
        print("  curl + unzip -q -o:         %7.2f s   (curl %.2f s, unzip %.2f s)" %
              (curl + unzip, curl, unzip))
        print("  ratio setup / native:       %7.2f   (setup / curl's transfer alone: %.2f)" %
              (total / (curl + unzip), total / curl))
        # The extraction runs behind the download, so the setup's download
        # phase holds the checks, the inflating and the files' creation too.
        print("  bare WinInet loop:          %7.2f s   (loop / the setup's download phase, "
              "extraction inside: %.2f)" % (loop, loop / download))
        print("  download phases: click to proxy tunnel %.2f s, tunnel to GET (TLS) %.2f s; "
              "the loop's tunnel to GET %.2f s" % (phases[0], phases[1], loop_got - loop_opened))
        print("  Wine's floor for the files: %7.2f s   (CreateFileA, WriteFile, CloseHandle "
              "alone; extraction / floor: %.2f)" % (floor, extraction / floor))
        print("  the same files by handle:   %7.2f s   (%.0f us a file more than the floor; "
              "the setup's per-file calls, without package, inflate or window)" %
              (by_handles, (by_handles - floor) * 1e6 / max(entries, 1)))
        sys.stdout.flush()
        print("  setup / (loop + CreateFileA floor): %.2f   setup / (loop + by-handle floor): %.2f" %
              (total / (loop + floor), total / (loop + by_handles)))
        if split:
            print_split(*split)
        rows.append((name, total, curl + unzip, download, loop, peak))
        # The setup's least possible time under Wine: the bare loop's download
        # and the files' creation, beside the native tools. Against curl's
        # transfer alone, as a paced line's target is set, the loop shows what
        # WinInet itself allows here before a single file is written.
        print("  Wine floor (loop + files) / native: %.2f   against curl's transfer alone: "
              "loop %.2f, loop + files by handle %.2f" %
              ((loop + floor) / (curl + unzip), loop / curl, (loop + by_handles) / curl))
    print()
    print("%-8s %9s %9s %7s %10s %9s %9s %9s" % ("package", "setup s", "native s", "ratio",
                                               "download s", "loop s", "loop/dl", "peak MB"))
    for name, total, base, download, loop, peak in rows:
        print("%-8s %9.2f %9.2f %7.2f %10.2f %9.2f %9.2f %9.1f" %
              (name, total, base, total / base, download, loop, loop / download, peak / 1024))
    return 0


if __name__ == "__main__":
    sys.exit(main())
