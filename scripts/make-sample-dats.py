#!/usr/bin/env python3
"""Writes the invented sample dats in examples/ and, on request, the dumps
they describe.

  scripts/make-sample-dats.py                 examples/sample-ds.txt, sample-rc.dat
  scripts/make-sample-dats.py --dumps DIR     also one DIR/<name>.nds per dump

Every dump is 4096 bytes: the line "VEXMOOR SAMPLE DUMP <id>\\n" repeated and
cut at 4096 bytes, so anyone can rebuild a dump from its id alone. The
container examples/sample-ds.qdat is sample-ds.txt encoded with the dat
encoder, stamped with the TIMESTAMP value below.
"""
import argparse
import os
import zlib

TIMESTAMP = "46357.5"  # 1 December 2026, 12:00 UTC
DUMP_SIZE = 4096

# (index, name, country, dump id). Release 0040 is a re-release of 0017 on
# the same cartridge image: two entries, one CRC.
RELEASES = [
    ("0001", "Lanternfish Harbour", "E", "0001"),
    ("0002", "Copper Comet Rally", "U", "0002"),
    ("0003", "Mossback Tortoise Tales", "J", "0003"),
    ("0004", "Quillwind Academy", "E", "0004"),
    ("0005", "Velvet Orbit Puzzle Club", "U", "0005"),
    ("0006", "Brambleknot Detectives", "F", "0006"),
    ("0007", "Saltmarsh Sprint", "G", "0007"),
    ("0008", "Ninefold Lantern", "J", "0008"),
    ("0009", "Pocket Observatory", "E", "0009"),
    ("0010", "Ironreed Farmstead", "U", "0010"),
    ("0011", "Cinderpaw Rescue Squad", "I", "0011"),
    ("0012", "Glasswing Kite Cup", "N", "0012"),
    ("0013", "Harrowgate Mysteries", "S", "0013"),
    ("0014", "Tidepool Tinkerers", "K", "0014"),
    ("0015", "Snowlark Express", "A", "0015"),
    ("0016", "Umberfield Chess Academy", "E", "0016"),
    ("0017", "Fernlight Picture Diary", "J", "0017"),
    ("0018", "Marrow Street Bakery", "U", "0018"),
    ("0019", "Dovetail Carpentry Club", "G", "0019"),
    ("0020", "Skyhook Cargo Pilots", "E", "0020"),
    ("0021", "Whistlecrag Mountain Post", "F", "0021"),
    ("0022", "Ottergrove Word Garden", "U", "0022"),
    ("0023", "Starling Signal Fire", "C", "0023"),
    ("0024", "Gravelmoth Racing League", "E", "0024"),
    ("0025", "Pebbleton Music Box", "J", "0025"),
    ("0026", "Lichen Lab Junior", "I", "0026"),
    ("0027", "Bellwether Ranch Days", "U", "0027"),
    ("0028", "Quartzlight Caverns", "S", "0028"),
    ("0029", "Hollowmere Ghost Tour", "E", "0029"),
    ("0030", "Ribbonfall Gymnastics", "N", "0030"),
    ("0031", "Tinderbox Chefs", "U", "0031"),
    ("0032", "Marigold Map Makers", "G", "0032"),
    ("0033", "Sable Heron Sudoku", "J", "0033"),
    ("0034", "Cobble Lane Crossing", "E", "0034"),
    ("0035", "Driftwood Raft Builders", "A", "0035"),
    ("0036", "Kettlebrook Fishing Derby", "K", "0036"),
    ("0037", "Paperwhale Origami", "J", "0037"),
    ("0038", "Thornback Knight Trials", "F", "0038"),
    ("0039", "Moonpetal Flower Shop", "U", "0039"),
    ("0040", "Fernlight Picture Diary (Rev A)", "E", "0017"),
]

# Rom Center sample: (parent, description, rom name, dump id).
ROM_CENTER = [
    ("lantern", "Lanternfish Harbour (Europe)", "lantern.nds", "0001"),
    ("comet", "Copper Comet Rally (USA)", "comet.nds", "0002"),
    ("mossback", "Mossback Tortoise Tales (Japan)", "mossback.nds", "0003"),
    ("bramble", "Brambleknot D\xe9tectives (France)", "bramble.nds", "0006"),
    ("glasswing", "Glasswing Kite Cup (Netherlands)", "glasswing.nds", "0012"),
    ("fernlite", "Fernlight Picture Diary (Japan)", "fernlite.nds", "0017"),
]


def dump_bytes(dump_id):
    line = ("VEXMOOR SAMPLE DUMP %s\n" % dump_id).encode("ascii")
    return (line * (DUMP_SIZE // len(line) + 1))[:DUMP_SIZE]


def crc_text(dump_id):
    return "%08X" % (zlib.crc32(dump_bytes(dump_id)) & 0xFFFFFFFF)


def native_dat():
    lines = [
        "; An invented catalogue for trying Vexmoor out.",
        "[INFO]",
        "NAME=Vexmoor Sample DS",
        "SYSTEM=Nintendo DS",
        "VERSION=1.0",
        "MASK=*.nds",
        "FIELDS=INDEX|CRC32|NAME|COUNTRY",
        "SORT=Name",
        "EXT=nds",
        "TIMESTAMP=" + TIMESTAMP,
        "[DAT]",
    ]
    lines += ["%s|%s|%s|%s" % (i, crc_text(d), n, c) for i, n, c, d in RELEASES]
    return "".join(line + "\r\n" for line in lines)


def rom_center_dat():
    lines = [
        "[CREDITS]",
        "author=Vexmoor developers",
        "comment=An invented catalogue for trying Vexmoor out",
        "[DAT]",
        "version=2.00",
        "plugin=arcade.dll",
        "[EMULATOR]",
        "refname=vexsample",
        "version=Vexmoor Sample RC",
        "[GAMES]",
    ]
    for parent, description, rom, dump_id in ROM_CENTER:
        fields = [parent, description, parent, description, rom, crc_text(dump_id), str(DUMP_SIZE), "", ""]
        lines.append("\xac" + "\xac".join(fields) + "\xac")
    return "".join(line + "\r\n" for line in lines).encode("cp1252")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dumps", help="folder to write the sample dumps into")
    args = parser.parse_args()
    examples = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples")
    with open(os.path.join(examples, "sample-ds.txt"), "wb") as out:
        out.write(native_dat().encode("cp1252"))
    with open(os.path.join(examples, "sample-rc.dat"), "wb") as out:
        out.write(rom_center_dat())
    if args.dumps:
        os.makedirs(args.dumps, exist_ok=True)
        for index, name, _, dump_id in RELEASES:
            if dump_id == index:
                with open(os.path.join(args.dumps, "%s - %s.nds" % (index, name)), "wb") as out:
                    out.write(dump_bytes(dump_id))


if __name__ == "__main__":
    main()
