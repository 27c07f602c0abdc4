#!/usr/bin/env python3
"""Writes the sample rom folder for examples/sample-ds.qdat.

  scripts/make-sample-roms.py OUT

OUT is emptied of what an earlier run wrote and filled again; the result is
the same byte for byte on every run. It holds:

  - loose .nds dumps of 64 KiB, at the top and in nested sub-folders;
  - "Collections/Two Dumps.zip", a stored zip holding two dumps, one of them
    in a folder inside the zip;
  - one bad dump: the SMT v1.0 pattern at offset 0x7E00;
  - the image shared by releases 0017 and 0040 (one file marks both);
  - a file that matches no mask ("notes.txt") and a .nds file whose CRC no
    release has;
  - every other release missing.

Each dump is the line "VEXMOOR SAMPLE DUMP <id>\\n" repeated to 64 KiB, whose
last four bytes are chosen so that the file's CRC-32 is the one the dat lists
for the release (the dat's CRCs were taken from shorter images of the same
line; the scan compares CRCs only).
"""
import os
import shutil
import sys
import zipfile
import zlib

DUMP_SIZE = 64 * 1024
SMT_BADDUMP = bytes.fromhex(
    "40409FE522065FE32C2094353C2094857A7F8FE2857E8732007087227" "70F8FE2"
    "24409FE524509FE5003090E5054024E0043023E00350A0E1043080E4042052E2"
    "F8FFFF1A17FF2FE100FE7F02F22FC8EC4145213F")
ZIP_TIME = (2026, 12, 1, 12, 0, 0)

# Where each present release lies: (index, path in OUT). Paths ending in
# ".zip:MEMBER" are members of that zip.
LAYOUT = [
    ("0001", "Lanternfish Harbour.nds"),
    ("0002", "USA/Copper Comet Rally.nds"),
    ("0005", "USA/Velvet Orbit Puzzle Club.nds"),
    ("0010", "USA/Farming/Ironreed Farmstead.nds"),
    ("0004", "Europe/Quillwind Academy.nds"),
    ("0016", "Europe/Umberfield Chess Academy.nds"),
    ("0020", "Europe/Older/Skyhook Cargo Pilots.nds"),
    ("0024", "Europe/Older/Racing/Gravelmoth Racing League.nds"),
    ("0017", "Japan/Fernlight Picture Diary.nds"),
    ("0003", "Collections/Two Dumps.zip:Mossback Tortoise Tales.nds"),
    ("0008", "Collections/Two Dumps.zip:Puzzles/Ninefold Lantern.nds"),
]
BAD_DUMP = ("0009", "Europe/Pocket Observatory.nds")


def read_dat_crcs(dat_text_path):
    crcs = {}
    in_data = False
    with open(dat_text_path, "rb") as dat:
        for raw in dat.read().decode("cp1252").splitlines():
            line = raw.strip()
            if line.upper() == "[DAT]":
                in_data = True
            elif in_data and line:
                fields = line.split("|")
                crcs[fields[0]] = int(fields[1], 16)
    return crcs


def force_crc(body, wanted):
    """body + 4 bytes whose CRC-32 is `wanted`. CRC-32 is affine in the last
    four bytes, so they follow from a 32 x 32 linear system over GF(2)."""
    start = zlib.crc32(body)

    def crc_of(value):
        return zlib.crc32(value.to_bytes(4, "little"), start)

    base = crc_of(0)
    columns = [crc_of(1 << bit) ^ base for bit in range(32)]
    rows = [(columns[bit], 1 << bit) for bit in range(32)]  # (image, preimage)
    basis = {}
    for image, pre in rows:
        for top in sorted(basis, reverse=True):
            if image >> top & 1:
                image ^= basis[top][0]
                pre ^= basis[top][1]
        if image:
            basis[image.bit_length() - 1] = (image, pre)
    target, value = wanted ^ base, 0
    for top in sorted(basis, reverse=True):
        if target >> top & 1:
            target ^= basis[top][0]
            value ^= basis[top][1]
    assert target == 0
    data = body + value.to_bytes(4, "little")
    assert zlib.crc32(data) == wanted
    return data


def dump_image(dump_id, crc, bad=False):
    line = ("VEXMOOR SAMPLE DUMP %s\n" % dump_id).encode("ascii")
    body = bytearray((line * (DUMP_SIZE // len(line) + 1))[:DUMP_SIZE - 4])
    if bad:
        block = SMT_BADDUMP + bytes(512 - len(SMT_BADDUMP))
        body[0x7E00:0x7E00 + 512] = block
    return force_crc(bytes(body), crc)


def write(out, relative, data):
    path = os.path.join(out, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as target:
        target.write(data)


def main():
    if len(sys.argv) != 2 or sys.argv[1].startswith("-"):
        sys.exit("usage: make-sample-roms.py OUT")
    out = sys.argv[1]
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    crcs = read_dat_crcs(os.path.join(root, "examples", "sample-ds.txt"))
    if os.path.isdir(out):
        shutil.rmtree(out)
    zips = {}
    for index, relative in LAYOUT:
        image = dump_image(index, crcs[index])
        if ".zip:" in relative:
            archive, member = relative.split(":", 1)
            zips.setdefault(archive, []).append((member, image))
        else:
            write(out, relative, image)
    for archive, members in zips.items():
        os.makedirs(os.path.dirname(os.path.join(out, archive)), exist_ok=True)
        with zipfile.ZipFile(os.path.join(out, archive), "w", zipfile.ZIP_STORED) as target:
            for member, image in members:
                info = zipfile.ZipInfo(member, ZIP_TIME)
                info.external_attr = 0o644 << 16
                target.writestr(info, image)
    index, relative = BAD_DUMP
    write(out, relative, dump_image(index, crcs[index], bad=True))
    write(out, "Homebrew/Unlisted Demo.nds", dump_image("HOMEBREW", 0x0BADF00D))
    write(out, "notes.txt", b"Sample rom folder for examples/sample-ds.qdat.\r\n")


if __name__ == "__main__":
    main()
