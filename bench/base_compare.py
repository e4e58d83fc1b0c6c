#!/usr/bin/env python3
"""Building against an earlier release at a real game's size: `patchtool build`
of a release of 2,000 and of 20,000 files against the version-2 KXQ.hvl of
the release before it, with 3 files changed (the files are small and spread
over 40 folders, so that the work per file, not the bytes, is measured).
Baseline in the same run: `patchtool checksum` of the same files, which is
what reading them costs. Times are the processor time the programs spent
(user and system): on a machine shared with other work the wall clock says
more about the others. Prints, for each size, the build, the reading and
their ratio, and the build's growth from 2,000 to 20,000 files: about 10 when
the work per file does not depend on the count (the goal: at most 12); work
per pair of files, as comparing every file with every record, grows 100-fold.
Best of $BASE_ROUNDS (default 3) rounds, warm cache; asserts nothing.

  bench/base_compare.py [--native DIR] [--work DIR]"""

import argparse
import os
import resource
import shutil
import struct
import subprocess

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
SIZES = (2000, 20000)
FOLDERS = 40
CHANGED = 3


def relative(i):
    return "Archive%02d/data%05d.arc" % (i % FOLDERS, i)


def make_release(work, patchtool, count):
    """The release folder and the hash list of the release before it, which
    had other bytes in the first CHANGED files."""
    release = os.path.join(work, "release-%d" % count)
    shutil.rmtree(release, ignore_errors=True)
    paths = []
    for i in range(count):
        path = os.path.join(release, relative(i))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(("file %05d of the earlier release\n" % i).encode())
        paths.append(path)
    sums = checksums(patchtool, paths)
    records = b"".join(relative(i).replace("/", "\\").encode().ljust(248, b"\0") + bytes.fromhex(sums[i])
                       for i in range(count))
    base = os.path.join(work, "base-%d.hvl" % count)
    with open(base, "wb") as f:
        f.write(b"WQX_V2__" + struct.pack("<II", 0, count) + records)
    for path in paths[:CHANGED]:
        with open(path, "ab") as f:
            f.write(b"changed\n")
    return release, base, paths


def checksums(patchtool, paths):
    out = []
    for start in range(0, len(paths), 1000):
        run = subprocess.run([patchtool, "checksum"] + paths[start:start + 1000], check=True,
                             capture_output=True, text=True)
        out += [line.split()[0] for line in run.stdout.splitlines()]
    return out


def cpu_seconds():
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    return used.ru_utime + used.ru_stime


def best_of(rounds, commands):
    best = None
    for _ in range(rounds + 1):  # the first round warms the cache
        start = cpu_seconds()
        for command in commands:
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        seconds = cpu_seconds() - start
        best = seconds if best is None or seconds < best else best
    return best


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--native", default=os.path.join(ROOT, "build", "native"))
    p.add_argument("--work", default=os.path.join(ROOT, "build", "bench-base"))
    a = p.parse_args()
    patchtool = os.path.join(a.native, "patchtool")
    rounds = int(os.environ.get("BASE_ROUNDS", "3"))
    os.makedirs(a.work, exist_ok=True)
    stub = os.path.join(a.work, "stub.exe")
    with open(stub, "wb") as f:
        f.write(b"\0" * 4096)  # build never runs the stub image
    builds = []
    try:
        for count in SIZES:
            release, base, paths = make_release(a.work, patchtool, count)
            out = os.path.join(a.work, "update-%d.exe" % count)
            build = best_of(rounds, [[patchtool, "build", "--base", base, "--stub", stub, "--caption", "bench",
                                      "--out", out, release]])
            read = best_of(rounds, [[patchtool, "checksum"] + paths[k:k + 1000] for k in range(0, count, 1000)])
            builds.append(build)
            print("  %6d files, %d changed: build %7.3f s, reading them %7.3f s, ratio %.2f"
                  % (count, CHANGED, build, read, build / read))
        print("  build, %d / %d files: %.2f (linear: about 10; goal: at most 12)"
              % (SIZES[1], SIZES[0], builds[1] / builds[0]))
    finally:
        shutil.rmtree(a.work, ignore_errors=True)


if __name__ == "__main__":
    main()
