#!/usr/bin/env python3
"""Fails when a source file includes against the layering of the program.

Dependencies run one way:
    platform, crc32, codec -> catalogue -> scan -> reports, encoder, updater -> cli, shell
A file may include its own folder and any folder on a lower level; folders
on one level do not include each other (codec may use platform and crc32,
which sit below it). The CRC-32 of bytes in memory (scan/crc32/) is the
ground floor: it includes nothing of the program, and every layer may use
it; scan/CRC32.h is its face for the scan, with the checksum of files. The
little-endian loaders of every format reader are codec/Coding.h. purge/ stands alone: it includes nothing of the auditor. The
core (everything but shell/, purge/, platform/qt/ and the window files
named form*) includes no Qt header.

    scripts/check-layering.py [SOURCE_ROOT]
"""
import pathlib
import re
import sys

LEVELS = {
    "platform": 0,
    "crc32": 0,
    "codec": 1,
    "catalogue": 2,
    "scan": 3,
    "reports": 4,
    "encoder": 4,
    "updater": 4,
    "cli": 5,
    "shell": 5,
}
# purge/ and platform/qt/ are checked apart below.

# Folders that sit on a level of their own rather than their top folder's.
PLACES = {
    "scan/crc32/": "crc32",
}

# The includes the design needs against the order, each with its reason.
EXCEPTIONS = {
    # The update list is published from the keys file the encoder writes.
    ("updater/UpdatePublish.cpp", "encoder/UpdateKeys.h"),
}

SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc", ".c"}
PROJECT_INCLUDE = re.compile(r'^\s*#\s*include\s+"([A-Za-z0-9_]+)/([^"]+)"', re.M)
QT_INCLUDE = re.compile(r"^\s*#\s*include\s+<(Q[A-Za-z0-9_]*(?:/[^>]*)?)>", re.M)


def place_of(relative: pathlib.PurePosixPath) -> str:
    """The level a file sits on: its top folder, or the place PLACES gives it."""
    for prefix, place in PLACES.items():
        if relative.as_posix().startswith(prefix):
            return place
    return relative.parts[0]


def layer_of(relative: pathlib.PurePosixPath) -> str:
    """The layer a file belongs to: its top folder, with the Qt layer apart."""
    top = place_of(relative)
    if top == "platform" and len(relative.parts) > 2 and relative.parts[1] == "qt":
        return "platform/qt"
    if relative.name.startswith("form"):
        return "window"  # a window file of the Qt layer, beside its subsystem
    return top


def allowed(layer: str, target: str, target_path: str) -> bool:
    if layer == "purge":
        return target == "purge"
    if target_path.startswith("platform/qt/"):
        return layer in ("platform/qt", "shell", "window")
    if layer in ("platform/qt", "window"):
        return target in LEVELS  # the Qt layer sits beside the shell
    if layer not in LEVELS or target not in LEVELS:
        return True  # tests, bench, fuzz and the like may include anything
    return target == layer or LEVELS[target] < LEVELS[layer] or (
        layer == "codec" and target in ("platform", "crc32"))


def is_core(layer: str) -> bool:
    return layer in LEVELS and layer != "shell"


def check(root: pathlib.Path) -> list:
    problems = []
    folders = list(LEVELS) + ["purge"]
    for folder in folders:
        base = root / folder
        if not base.is_dir():
            continue
        for path in sorted(base.rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
                continue
            relative = pathlib.PurePosixPath(path.relative_to(root).as_posix())
            layer = layer_of(relative)
            text = path.read_text(encoding="utf-8", errors="replace")
            for match in PROJECT_INCLUDE.finditer(text):
                target_path = f"{match.group(1)}/{match.group(2)}"
                target = place_of(pathlib.PurePosixPath(target_path))
                if (str(relative), target_path) in EXCEPTIONS:
                    continue
                if not allowed(layer, target, target_path):
                    problems.append(f"{relative}: includes {target_path} against the layering")
            if is_core(layer):
                for match in QT_INCLUDE.finditer(text):
                    problems.append(f"{relative}: the core includes the Qt header <{match.group(1)}>")
    return problems


def main() -> int:
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    problems = check(root.resolve())
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} include(s) against the layering; the order and its exceptions "
              "are in scripts/check-layering.py")
        return 1
    print("layering: every include runs down the order")
    return 0


if __name__ == "__main__":
    sys.exit(main())
