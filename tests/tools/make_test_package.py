#!/usr/bin/env python3
"""Writes a small, reproducible game package and the tree it was made from.

The tree holds the client executable where the shortcuts expect it
(bin/client/Qm_client.exe), data larger than one 64 KiB block, compressible
text, an empty file and a name with spaces. The package stores the random data
and deflates the rest, with folder entries, in sorted order.

Usage: make_test_package.py --out QuellmarkFull.zip --tree DIR [--seed N]
"""
import argparse
import os
import random
import shutil
import sys
import zipfile

STORED = zipfile.ZIP_STORED
DEFLATED = zipfile.ZIP_DEFLATED


def lore(rng, size):
    words = ["Quellmark", "annals", "river", "keep", "lantern", "oath", "ember", "tide",
             "wanderer", "gate", "the", "of", "and", "under", "silver"]
    out = []
    length = 0
    while length < size:
        line = " ".join(rng.choice(words) for _ in range(12)) + ".\r\n"
        out.append(line)
        length += len(line)
    return "".join(out).encode("ascii")[:size]


def contents(seed):
    """(relative path with /, bytes, compression) for every file, sorted."""
    rng = random.Random(seed)
    files = [
        ("bin/client/Qm_client.exe", b"MZ" + rng.randbytes(200 * 1024), STORED),
        ("bin/client/readme.txt", lore(rng, 4000), DEFLATED),
        ("data/world.pak", rng.randbytes(1536 * 1024 + 17), STORED),
        ("data/text/lore.txt", lore(rng, 300 * 1024), DEFLATED),
        ("data/empty.dat", b"", STORED),
        ("The Annals of Quellmark.ini", b"[client]\r\nlanguage=en\r\n", DEFLATED),
    ]
    return sorted(files)


def folders_of(paths):
    folders = set()
    for path in paths:
        parts = path.split("/")[:-1]
        for depth in range(1, len(parts) + 1):
            folders.add("/".join(parts[:depth]) + "/")
    return sorted(folders)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True)
    parser.add_argument("--tree", required=True)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    files = contents(args.seed)
    shutil.rmtree(args.tree, ignore_errors=True)
    for path, data, _ in files:
        target = os.path.join(args.tree, *path.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as out:
            out.write(data)

    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    with zipfile.ZipFile(args.out + ".tmp", "w") as package:
        for folder in folders_of(path for path, _, _ in files):
            package.writestr(zipfile.ZipInfo(folder, (2026, 1, 1, 0, 0, 0)), b"")
        for path, data, method in files:
            info = zipfile.ZipInfo(path, (2026, 1, 1, 0, 0, 0))
            info.compress_type = method
            package.writestr(info, data)
    os.replace(args.out + ".tmp", args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
