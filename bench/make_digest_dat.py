#!/usr/bin/env python3
"""Writes a clrmamepro dat of the loose "*.nds" dumps below a folder, and of
the members of its zip and 7z archives whose names end in ".nds", with
size, CRC-32 and (unless --crc-only) SHA-1 of each, for the verification
benchmarks.

    make_digest_dat.py FOLDER OUT [--crc-only]
"""
import hashlib
import os
import subprocess
import sys
import zipfile
import zlib


def sums(chunks):
    crc, sha1, size = 0, hashlib.sha1(), 0
    for chunk in chunks:
        crc = zlib.crc32(chunk, crc)
        sha1.update(chunk)
        size += len(chunk)
    return size, crc, sha1.hexdigest()


def file_chunks(path):
    with open(path, "rb") as f:
        while chunk := f.read(1 << 20):
            yield chunk


def roms(folder):
    for top, _, names in sorted(os.walk(folder)):
        for name in sorted(names):
            path = os.path.join(top, name)
            if name.endswith(".nds"):
                yield name, sums(file_chunks(path))
            elif name.endswith(".zip"):
                with zipfile.ZipFile(path) as archive:
                    for info in archive.infolist():
                        if info.filename.endswith(".nds"):
                            with archive.open(info) as member:
                                yield info.filename, sums(iter(lambda: member.read(1 << 20), b""))
            elif name.endswith(".7z"):
                listing = subprocess.run(["7z", "l", "-slt", path], capture_output=True, text=True).stdout
                for block in listing.split("\n\n"):
                    fields = dict(line.split(" = ", 1) for line in block.splitlines() if " = " in line)
                    if fields.get("Path", "").endswith(".nds"):
                        data = subprocess.run(["7z", "e", "-so", path, fields["Path"]], capture_output=True).stdout
                        yield fields["Path"], sums([data])


def main():
    folder, out = sys.argv[1], sys.argv[2]
    crc_only = "--crc-only" in sys.argv[3:]
    with open(out, "w") as dat:
        dat.write('clrmamepro (\n\tname "Verify bench"\n)\n\n')
        for number, (name, (size, crc, sha1)) in enumerate(roms(folder)):
            extra = "" if crc_only else f" sha1 {sha1}"
            dat.write(f'game (\n\tname "Game {number}"\n\trom ( name "{name}" size {size} crc {crc:08x}{extra} )\n)\n\n')


if __name__ == "__main__":
    main()
