#!/usr/bin/env python3
"""Helpers for bench/bench-extract.sh.

  make_bench_package.py mixed OUT.zip TOTAL_MB FILES   half random (stored), half text (deflated)
  make_bench_package.py small OUT.zip FILES FOLDERS     1 to 4 KB files, half random, half text, deflated
  make_bench_package.py huge OUT.zip GIB               one stored Zip64 entry; prints its SHA-256
  make_bench_package.py size OUT.zip                   total uncompressed bytes of a package
  make_bench_package.py measure CMD...                 runs CMD; prints wall seconds and peak RSS
"""
import hashlib
import os
import random
import resource
import subprocess
import sys
import time
import zipfile

WORDS = (b"quellmark annals realm keep tower river sword shield map region quest "
         b"guild ember frost stone north south gate mana rune spell archer knight").split()


def text_block(rng, size):
    words = []
    length = 0
    while length < size:
        word = rng.choice(WORDS)
        words.append(word)
        length += len(word) + 1
        if rng.random() < 0.1:
            words.append(str(rng.randrange(100000)).encode())
    return b" ".join(words)[:size]


def mixed(out, total_mb, count):
    rng = random.Random(20261208)
    average = total_mb * 1_000_000 // count
    text_pool = text_block(rng, 4_000_000)
    with zipfile.ZipFile(out, "w") as archive:
        for index in range(count):
            size = rng.randrange(average // 4, average * 7 // 4)
            folder = "data/set%02d/" % (index % 40)
            if index % 2 == 0:
                archive.writestr(folder + "random%05d.bin" % index, os.urandom(size),
                                 compress_type=zipfile.ZIP_STORED)
            else:
                start = rng.randrange(0, len(text_pool) - 1)
                data = (text_pool[start:] + text_pool)[:size]
                while len(data) < size:
                    data += text_pool[: size - len(data)]
                archive.writestr(folder + "text%05d.txt" % index, data,
                                 compress_type=zipfile.ZIP_DEFLATED, compresslevel=6)


def small(out, count, folders):
    rng = random.Random(20261209)
    text_pool = text_block(rng, 1_000_000)
    with zipfile.ZipFile(out, "w") as archive:
        for index in range(count):
            size = rng.randrange(1024, 4097)
            name = "data/pack%03d/file%05d" % (index % folders, index)
            if index % 2 == 0:
                archive.writestr(name + ".bin", os.urandom(size), compress_type=zipfile.ZIP_DEFLATED)
            else:
                start = rng.randrange(0, len(text_pool) - size)
                archive.writestr(name + ".txt", text_pool[start:start + size],
                                 compress_type=zipfile.ZIP_DEFLATED, compresslevel=6)


def huge(out, gib):
    size = int(gib * (1 << 30))
    block = os.urandom(1 << 20)
    digest = hashlib.sha256()
    with zipfile.ZipFile(out, "w", allowZip64=True) as archive:
        info = zipfile.ZipInfo("big/huge.bin")
        info.compress_type = zipfile.ZIP_STORED
        with archive.open(info, "w", force_zip64=True) as target:
            written = 0
            counter = 0
            while written < size:
                piece = (counter.to_bytes(8, "little") + block[8:])[: size - written]
                target.write(piece)
                digest.update(piece)
                written += len(piece)
                counter += 1
    print(digest.hexdigest())


def total_size(path):
    with zipfile.ZipFile(path) as archive:
        print(sum(info.file_size for info in archive.infolist()))


def peak_of(pid):
    """VmHWM of a running process in KiB (0 once it is gone)."""
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def measure(command):
    # The peak is sampled from /proc while the command runs: getrusage's
    # figure for a child would include this interpreter's memory from before
    # the child's exec.
    start = time.monotonic()
    child = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
    peak = 0
    while child.poll() is None:
        peak = max(peak, peak_of(child.pid))
        time.sleep(0.005)
    seconds = time.monotonic() - start
    sys.stdout.write(child.stdout.read())
    print("wall_seconds=%.3f sampled_peak_rss_kib=%d exit=%d" % (seconds, peak, child.returncode))
    return child.returncode


def main():
    mode = sys.argv[1]
    if mode == "mixed":
        mixed(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    elif mode == "small":
        small(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    elif mode == "huge":
        huge(sys.argv[2], float(sys.argv[3]))
    elif mode == "size":
        total_size(sys.argv[2])
    elif mode == "measure":
        return measure(sys.argv[2:])
    return 0


if __name__ == "__main__":
    sys.exit(main())
