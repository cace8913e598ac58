#!/usr/bin/env python3
"""Writes a sample game package, QuellmarkFull.zip, for trying the setup out
and for its end-to-end tests: the client bin/client/Qm_client.exe and a few
hundred data files in nested folders, stored and deflated, the same bytes on
every run.

    make_sample_package.py OUTPUT.zip [--files N] [--unsafe] [--reversed] [--deep N]

--unsafe adds an entry that climbs out of the install folder
("../outside-the-install-folder.txt") halfway through the package, which the
setup must refuse. --reversed lists the entries in the directory in the
reverse order of their bytes, which an extraction that follows the download
cannot follow. --deep N adds, halfway through, one file below a chain of N
folders of one letter each. Standard library only.
"""
import argparse
import random
import zipfile

CLIENT = "bin/client/Qm_client.exe"
UNSAFE = "../outside-the-install-folder.txt"
REGIONS = ["ashfen", "brightmoor", "coldharbor", "duskvale", "emberreach", "frostmere"]


def client_bytes(rng):
    # Not a program anyone runs: the setup only points its shortcuts at it.
    return b"MZ" + bytes(rng.getrandbits(8) for _ in range(4094))


def data_file(rng, index):
    """(name, bytes, method): a mix of compressible text and random blobs."""
    region = REGIONS[index % len(REGIONS)]
    if index % 3 == 0:
        name = "data/maps/%s/tile_%03d.map" % (region, index)
        body = bytes(rng.getrandbits(8) for _ in range(rng.randrange(200, 6000)))
        return name, body, zipfile.ZIP_STORED
    if index % 3 == 1:
        name = "data/lore/%s/chronicle_%03d.txt" % (region, index)
        line = "In the year %d the wardens of %s kept the annals by candlelight.\n" % (
            400 + index, region.title())
        return name, (line * rng.randrange(5, 80)).encode(), zipfile.ZIP_DEFLATED
    name = "data/sound/%s/ambience_%03d.ogg" % (region, index)
    body = bytes(rng.getrandbits(8) for _ in range(rng.randrange(1000, 20000)))
    return name, body, zipfile.ZIP_DEFLATED


def write_package(path, files, unsafe, reversed_directory=False, deep=0):
    rng = random.Random(1234)
    with zipfile.ZipFile(path, "w") as package:
        def add(name, body, method=zipfile.ZIP_STORED):
            entry = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 12, 0, 0))
            entry.compress_type = method
            package.writestr(entry, body)
        add("bin/", b"")
        add("bin/client/", b"")
        add(CLIENT, client_bytes(rng), zipfile.ZIP_DEFLATED)
        add("bin/client/client.cfg", b"realm=quellmark\nlanguage=en\n")
        for index in range(files):
            if unsafe and index == files // 2:
                add(UNSAFE, b"must never be written\n")
            if deep and index == files // 2:
                add("d/" * deep + "deep.txt", b"at the bottom\n")
            add(*data_file(rng, index))
        add("README.txt", b"The Annals of Quellmark - sample client package.\n")
        if reversed_directory:
            package.filelist.reverse()  # the directory is written from this list


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output")
    parser.add_argument("--files", type=int, default=300)
    parser.add_argument("--unsafe", action="store_true")
    parser.add_argument("--reversed", action="store_true")
    parser.add_argument("--deep", type=int, default=0)
    args = parser.parse_args()
    write_package(args.output, args.files, args.unsafe, args.reversed, args.deep)


if __name__ == "__main__":
    main()
