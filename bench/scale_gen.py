#!/usr/bin/env python3
"""Writes the inputs of bench/scale.sh into a folder (kept between runs):

  scale_gen.py dats DIR N     N-entry dats in every format the loaders read:
                              native.qdat (plain native text), romcenter.dat,
                              logiqx.xml, clrmamepro.dat, offlinelist.xml
  scale_gen.py files DIR N    DIR/files/ with N small dumps "Release <i>.nds"
                              and DIR/files.qdat naming every one of them
  scale_gen.py deep DIR N     DIR/deep/ nested N folders deep (longer than the
                              system's path limit for N = 300), a dump in the
                              deepest folder and one half-way, and DIR/deep.qdat
  scale_gen.py names DIR      DIR/names/ with dumps whose names are not valid
                              UTF-8 and dumps whose names are 255 bytes long,
                              and DIR/names.qdat naming them

Every dump's bytes are "VEXMOOR SCALE DUMP <tag>\\n" repeated to 256 bytes, so
its CRC follows from its tag. A generator leaves an existing output alone.
"""
import os
import sys
import zlib

DUMP_SIZE = 256
REGIONS = ["USA", "Europe", "Japan", "France", "Germany", "Spain"]


def dump_bytes(tag):
    line = b"VEXMOOR SCALE DUMP " + tag + b"\n"
    return (line * (DUMP_SIZE // len(line) + 1))[:DUMP_SIZE]


def crc_of(data):
    return "%08X" % (zlib.crc32(data) & 0xFFFFFFFF)


def native_text(entries):
    """entries: (name bytes, CRC text); a plain native dat for loose *.nds."""
    lines = [b"[INFO]", b"NAME=Scale bench", b"SYSTEM=Nintendo DS", b"MASK=*.nds", b"[DAT]"]
    for i, (name, crc) in enumerate(entries, 1):
        lines.append(b"%05d|%s|%s" % (i, crc.encode(), name))
    return b"\r\n".join(lines) + b"\r\n"


def write_new(path, data):
    if os.path.exists(path):
        return
    with open(path + ".part", "wb") as out:
        out.write(data)
    os.replace(path + ".part", path)


def dats(folder, count):
    names = ["Release %d (%s)" % (i, REGIONS[i % 6]) for i in range(1, count + 1)]
    crcs = [crc_of(b"dat entry %d" % i) for i in range(1, count + 1)]
    rows = list(zip(names, crcs))
    write_new(os.path.join(folder, "native.qdat"),
              native_text([(n.encode(), c) for n, c in rows]))
    rc = ["[CREDITS]", "author=Scale bench", "[DAT]", "version=2.50", "[GAMES]"]
    rc += ["\xac%s\xac%s\xac%s\xac%s\xac%s.nds\xac%s\xac67108864\xac\xac\xac" % (n, n, n, n, n, c)
           for n, c in rows]
    write_new(os.path.join(folder, "romcenter.dat"), ("\r\n".join(rc) + "\r\n").encode("cp1252"))
    xml = ['<?xml version="1.0"?>', "<datafile>", "\t<header>", "\t\t<name>Scale bench</name>",
           "\t\t<description>Nintendo DS</description>", "\t\t<version>1</version>", "\t</header>"]
    for n, c in rows:
        xml.append('\t<game name="%s">\n\t\t<description>%s</description>\n\t\t<rom name="%s.nds" '
                   'size="67108864" crc="%s"/>\n\t</game>' % (n, n, n, c.lower()))
    xml.append("</datafile>")
    write_new(os.path.join(folder, "logiqx.xml"), ("\n".join(xml) + "\n").encode())
    cmp = ['clrmamepro (\n\tname "Scale bench"\n\tdescription "Nintendo DS"\n\tversion 1\n)']
    for n, c in rows:
        cmp.append('game (\n\tname "%s"\n\tdescription "%s"\n\trom ( name "%s.nds" size 67108864 '
                   'crc %s )\n)' % (n, n, n, c.lower()))
    write_new(os.path.join(folder, "clrmamepro.dat"), ("\n\n".join(cmp) + "\n").encode())
    ol = ['<?xml version="1.0" encoding="UTF-8"?>', "<dat>", "\t<configuration>",
          "\t\t<datName>Scale bench</datName>", "\t\t<datVersion>1</datVersion>",
          "\t\t<system>Nintendo DS</system>", "\t</configuration>", "\t<games>"]
    for i, (n, c) in enumerate(rows, 1):
        ol.append("\t\t<game>\n\t\t\t<releaseNumber>%d</releaseNumber>\n\t\t\t<title>%s</title>\n"
                  "\t\t\t<romSize>67108864</romSize>\n\t\t\t<location>%d</location>\n"
                  '\t\t\t<files><romCRC extension=".nds">%s</romCRC></files>\n\t\t</game>'
                  % (i, n, i % 23, c))
    ol += ["\t</games>", "</dat>"]
    write_new(os.path.join(folder, "offlinelist.xml"), ("\n".join(ol) + "\n").encode())


def files(folder, count):
    root = os.path.join(folder, "files")
    dat = os.path.join(folder, "files.qdat")
    if os.path.exists(dat):
        return
    os.makedirs(root, exist_ok=True)
    entries = []
    for i in range(1, count + 1):
        data = dump_bytes(b"%d" % i)
        name = b"Release %d" % i
        with open(os.path.join(root.encode(), name + b".nds"), "wb") as out:
            out.write(data)
        entries.append((name, crc_of(data)))
    write_new(dat, native_text(entries))


def deep(folder, depth):
    dat = os.path.join(folder, "deep.qdat")
    if os.path.exists(dat):
        return
    os.makedirs(os.path.join(folder, "deep"), exist_ok=True)
    # Created relative to an open folder: the full path outgrows PATH_MAX.
    fd = os.open(os.path.join(folder, "deep"), os.O_RDONLY | os.O_DIRECTORY)
    entries = []
    for level in range(1, depth + 1):
        name = "nested-folder-%03d" % level
        try:
            os.mkdir(name, dir_fd=fd)
        except FileExistsError:
            pass
        inner = os.open(name, os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = inner
        if level in (depth // 2, depth):
            tag = b"deep %d" % level
            data = dump_bytes(tag)
            out = os.open("Level %d.nds" % level, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644,
                          dir_fd=fd)
            os.write(out, data)
            os.close(out)
            entries.append((b"Level %d" % level, crc_of(data)))
    os.close(fd)
    write_new(dat, native_text(entries))


def names(folder):
    root = os.path.join(folder, "names")
    dat = os.path.join(folder, "names.qdat")
    if os.path.exists(dat):
        return
    os.makedirs(root, exist_ok=True)
    stems = [
        b"Latin-1 \xe9t\xe9",           # a lone 0xE9: not UTF-8
        b"Stray continuation \x80\x81",  # continuation bytes with no lead
        b"Cut short \xe2\x82",           # a three-byte sequence cut short
        b"Overlong \xc0\xaf",            # an overlong slash
        b"Surrogate \xed\xa0\x80",       # an encoded surrogate
        b"\xff\xfe Byte order bytes",
    ]
    # 255 bytes is the longest name a folder entry holds: ASCII, and UTF-8
    # cut so the name ends in a whole character.
    stems.append(b"L" * (255 - 4))
    stems.append(("\u00e9" * 125).encode() + b"x")  # 251 bytes + ".nds"
    entries = []
    for i, stem in enumerate(stems):
        data = dump_bytes(b"name %d" % i)
        with open(os.path.join(root.encode(), stem + b".nds"), "wb") as out:
            out.write(data)
        # The dat names the dump as its file is named; the catalogue's text
        # is single-byte, so the bytes go through as they are.
        entries.append((stem, crc_of(data)))
    write_new(dat, native_text(entries))


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    what, folder = sys.argv[1], sys.argv[2]
    os.makedirs(folder, exist_ok=True)
    if what == "dats":
        dats(folder, int(sys.argv[3]))
    elif what == "files":
        files(folder, int(sys.argv[3]))
    elif what == "deep":
        deep(folder, int(sys.argv[3]))
    elif what == "names":
        names(folder)
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
