#!/usr/bin/env python3
"""Ends `vexmoor rebuild --move` with SIGKILL at random moments, many times,
and checks after each kill that no release was lost: each is still at its
source with its original bytes, or complete at its target. The run is then
started again and must finish the move: every release at its target, every
source it may remove gone, nothing else touched.

The set: loose dumps, a zip of two releases, a zip of a release and a text
file (never removed), a 7z (when `7z` is installed) and a trimmed dump;
every other run writes zips instead of loose files, every third pads the
trimmed dump.

    bench/rebuild_kill.py [BUILD_FOLDER] [--runs N] [--seed S]
"""
import argparse
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zipfile
import zlib

MiB = 1 << 20


def crc(data):
    return zlib.crc32(data) & 0xFFFFFFFF


def make_set(root, rng):
    """Writes the sources under root/roms.orig and the dat; returns the releases."""
    src = os.path.join(root, "roms.orig")
    os.makedirs(os.path.join(src, "sub"))
    releases = []

    def release(name, data, source, trimmed_to=None):
        releases.append({"name": name, "data": data, "source": source,
                         "dump": data[:trimmed_to] if trimmed_to else data})
        return releases[-1]["dump"]

    for i in range(6):
        data = rng.randbytes(rng.randint(MiB // 2, 2 * MiB))
        path = os.path.join(src, "sub" if i % 2 else "", "dump%d.nds" % i)
        open(path, "wb").write(release("Loose %d" % i, data, path))
    image = rng.randbytes(700 * 1024) + b"\x5a" + b"\xff" * (MiB - 700 * 1024 - 1)
    path = os.path.join(src, "trimmed.nds")
    open(path, "wb").write(release("Trimmed", image, path, 700 * 1024 + 1))
    pair = os.path.join(src, "pair.zip")
    with zipfile.ZipFile(pair, "w", zipfile.ZIP_DEFLATED) as z:
        for name in ("Pair A", "Pair B"):
            z.writestr(name + ".nds", release(name, rng.randbytes(MiB), pair))
    mixed = os.path.join(src, "mixed.zip")
    with zipfile.ZipFile(mixed, "w", zipfile.ZIP_STORED) as z:
        z.writestr("game.nds", release("Mixed", rng.randbytes(MiB), mixed))
        z.writestr("readme.txt", b"not a release")
    if shutil.which("7z"):
        data = rng.randbytes(MiB)
        staging = os.path.join(root, "seven")
        os.makedirs(staging)
        open(os.path.join(staging, "s.nds"), "wb").write(data)
        seven = os.path.join(src, "s.7z")
        subprocess.run(["7z", "a", "-bd", seven, "s.nds"], cwd=staging, check=True,
                       stdout=subprocess.DEVNULL)
        release("Seven", data, seven)
    with open(os.path.join(root, "set.dat"), "w") as dat:
        dat.write('clrmamepro (\n\tname "Kill"\n)\n\n')
        for r in releases:
            dat.write('game (\n\tname "%s"\n\trom ( name "%s.nds" size %d crc %08x )\n)\n\n'
                      % (r["name"], r["name"], len(r["data"]), crc(r["data"])))
    return releases


def target_holds(path, release, zipped):
    """True when the target holds the release complete (trimmed or padded)."""
    if not os.path.exists(path):
        return False
    if zipped:
        with zipfile.ZipFile(path) as z:
            names = z.namelist()
            data = z.read(names[0]) if len(names) == 1 else b""
    else:
        data = open(path, "rb").read()
    return data in (release["data"], release["dump"])


def check(root, releases, zipped, originals, finished):
    """The problems found: a release lost, a target incomplete, a source
    removed too early or (when finished) one left that should have gone."""
    problems = []
    out = os.path.join(root, "out")
    for r in releases:
        target = os.path.join(out, r["name"] + (".zip" if zipped else ".nds"))
        at_target = target_holds(target, r, zipped)
        source = r["source"].replace("roms.orig", "roms")
        at_source = os.path.exists(source) and open(source, "rb").read() == originals[r["source"]]
        if os.path.exists(target) and not at_target:
            problems.append("incomplete target " + target)
        if not at_target and not at_source:
            problems.append("lost " + r["name"])
        if finished and not at_target:
            problems.append("not moved " + r["name"])
    if finished:
        left = [name for name in os.listdir(out) if not name.endswith((".nds", ".zip"))]
        if left:
            problems.append("temporaries left: " + ", ".join(left))
        for path in originals:
            kept = os.path.exists(path.replace("roms.orig", "roms"))
            if kept != path.endswith("mixed.zip"):
                problems.append(("left " if kept else "removed ") + path)
    return problems


def run(vexmoor, root, zipped, pad, kill_after=None):
    args = [vexmoor, "rebuild", os.path.join(root, "set.dat"), os.path.join(root, "roms"),
            os.path.join(root, "out"), "--move"] + (["--zip"] if zipped else []) + \
           (["--pad-trimmed"] if pad else [])
    env = dict(os.environ, XDG_CACHE_HOME=os.path.join(root, "cache"))
    started = time.monotonic()
    process = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if kill_after is not None:
        time.sleep(kill_after)
        process.send_signal(signal.SIGKILL)
    _, err = process.communicate()
    if kill_after is None and process.returncode != 0:
        raise SystemExit("rebuild failed: " + err.decode(errors="replace"))
    return time.monotonic() - started, process.returncode == -signal.SIGKILL


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default=os.path.join(os.path.dirname(__file__), "..", "build", "release"))
    parser.add_argument("--runs", type=int, default=300)
    parser.add_argument("--seed", type=int, default=31)
    options = parser.parse_args()
    vexmoor = os.path.join(options.build, "cli", "vexmoor")
    rng = random.Random(options.seed)
    root = tempfile.mkdtemp(prefix="vexmoor-kill-")
    try:
        releases = make_set(root, rng)
        originals = {r["source"]: open(r["source"], "rb").read() for r in releases}

        def fresh():
            for name in ("roms", "out"):
                shutil.rmtree(os.path.join(root, name), ignore_errors=True)
            shutil.copytree(os.path.join(root, "roms.orig"), os.path.join(root, "roms"))

        fresh()
        longest = max(run(vexmoor, root, zipped, False)[0] for zipped in (False, True) if fresh() is None)
        killed = failures = halfway = 0
        for i in range(options.runs):
            zipped, pad = i % 2 == 1, i % 3 == 2
            fresh()
            _, was_killed = run(vexmoor, root, zipped, pad, rng.uniform(0, longest))
            killed += was_killed
            problems = check(root, releases, zipped, originals, False)
            out = os.path.join(root, "out")
            placed = len(os.listdir(out)) if os.path.isdir(out) else 0
            halfway += was_killed and 0 < placed
            run(vexmoor, root, zipped, pad)
            problems += check(root, releases, zipped, originals, True)
            if problems:
                failures += 1
                print("run %d (zip %s, pad %s): %s" % (i, zipped, pad, "; ".join(problems)))
        print("%d runs, %d ended by SIGKILL, %d of them with the move under way, %d with a problem "
              "(a full run takes %.2f s)" % (options.runs, killed, halfway, failures, longest))
        return 1 if failures else 0
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
