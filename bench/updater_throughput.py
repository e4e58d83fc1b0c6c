#!/usr/bin/env python3
"""Update throughput of the real updater.exe under Wine against a plain copy
by a Win32 program under Wine (plain_copy.exe: 1 MiB reads and writes into
.tmp files, then renames), ~250 MiB in 21 files, same filesystem, warm cache,
warm Wine server, same run, best of a few rounds. Once with flushing (the
updater always flushes its staged files; the copy runs with --flush) and once
without (both, and the Wine server, under eatmydata, so fsync is a no-op).
Prints each ratio; asserts nothing.

The test driver reports no timings, so the updater's figure is the best
driver run that answers Yes and then OK on the completion box, minus the best
driver run of the same patch answered No: Wine's start, the driver, the
updater's own start and the confirmation box cancel out. The plain copy's
figure is likewise its best run minus the best run of the same program that
only prints its usage (Wine's start and the process start cancel out).
Also printed: how much of the updater's figure does not grow with the data
(a 1 MiB patch answered Yes minus the run answered No: the progress dialog and
the completion box).

  bench/updater_throughput.py [--native DIR] [--win32 DIR] [--work DIR]
Wine prefix: $UPDATER_WINEPREFIX (default build/wine/prefix); rounds:
$APPLY_ROUNDS (default 5)."""

import argparse
import os
import shutil
import struct
import subprocess
import sys
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from wine_session import DEVNULL, WineSession, build_patch, write_file  # noqa: E402

TOTAL_BYTES = 20 * (12 << 20) + (10 << 20)  # 262,144,000 bytes
GOALS = {False: 1.5, True: 1.25}  # ratio goal without and with flushing
DRIVER_SECONDS = 300


def make_fixtures(work, patchtool, stub):
    """The patch's new files, the patch, and an installation with an empty
    version-2 hash list and a one-line uninstall list."""
    src, game, copy = (os.path.join(work, n) for n in ("src", "game", "copy"))
    for folder in (src, game, copy):
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
    for i in range(1, 22):
        size = (12 << 20) if i <= 20 else (10 << 20)
        write_file(os.path.join(src, "data%02d.arc" % i), os.urandom(size))
    write_file(os.path.join(game, "KXQ.hvl"), b"WQX_V2__" + struct.pack("<II", 0, 0))
    write_file(os.path.join(game, "uninst.lst"), b"game.exe\n")
    patch = os.path.join(work, "update.exe")
    build_patch(patchtool, stub, src, patch)
    small_src, small = os.path.join(work, "src-small"), os.path.join(work, "small.exe")
    shutil.rmtree(small_src, ignore_errors=True)
    write_file(os.path.join(small_src, "small.arc"), os.urandom(1 << 20))
    build_patch(patchtool, stub, small_src, small)
    files = sorted(os.path.join(src, n) for n in os.listdir(src))
    return game, copy, (patch, small), files


class Bench:
    def __init__(self, session, driver, patches, plain_copy):
        self.session = session
        self.driver = driver
        self.patch, self.small = patches
        self.plain_copy = plain_copy
        self.eat = False

    def server_restart(self, eat):
        """A warm server (and its background processes) with or without
        eatmydata; returns False when eatmydata cannot reach 32-bit Wine."""
        self.eat = eat
        self.session.server_down()
        log = os.path.join(self.session.work, "server.log")
        with open(log, "wb") as err:
            subprocess.run(self._wrap(["wineserver", "-p"]), env=self.session.env, stdin=DEVNULL,
                           stdout=DEVNULL, stderr=err)
        subprocess.run(self._wrap(["wine", "cmd", "/c", "exit"]), env=self.session.env, stdin=DEVNULL,
                       stdout=DEVNULL, stderr=DEVNULL, timeout=60)
        with open(log, "rb") as f:
            return b"libeatmydata" not in f.read()

    def _wrap(self, cmd):
        return (["eatmydata"] if self.eat else []) + cmd

    def timed(self, args, want):
        """Seconds of one `wine ARGS` run after a sync; fails unless it exits `want`."""
        os.sync()
        t0 = time.perf_counter()
        code = subprocess.run(self._wrap(["wine"] + args), env=self.session.env, stdin=DEVNULL,
                              stdout=DEVNULL, stderr=DEVNULL, timeout=DRIVER_SECONDS + 30).returncode
        seconds = time.perf_counter() - t0
        if code != want:
            raise RuntimeError("wine %s exited %d, not %d" % (" ".join(args[:2]), code, want))
        return seconds

    def driven(self, patch, actions, exit_code):
        """One driver run of `patch`; the updater must end with `exit_code`."""
        out = os.path.join(self.session.work, "report.txt")
        w = self.session.winpath
        # The driver's icon check (a paint wait and pixel comparisons) would
        # count against the updater: the completion box waits for its answer.
        seconds = self.timed([w(self.driver), w(out), str(DRIVER_SECONDS), w(patch), "--no-icon"] + actions, 0)
        with open(out, "rb") as f:
            lines = f.read().decode("ascii", "replace").splitlines()
        report = dict(line.partition("=")[::2] for line in lines)
        if report.get("exit") != str(exit_code) or "timeout" in report:
            raise RuntimeError("updater ended %r, not %d" % (report.get("exit"), exit_code))
        return seconds

    def round(self, flush, copy_args):
        """One timed run of each of the five; returns their seconds."""
        pc = self.session.winpath(self.plain_copy)
        return (self.driven(self.patch, ["box=yes", "box=ok"], 0),
                self.driven(self.patch, ["box=no"], -3),
                self.driven(self.small, ["box=yes", "box=ok"], 0),
                self.timed([pc] + (["--flush"] if flush else []) + copy_args, 0),
                self.timed([pc], 2))


def measure(bench, flush, copy_args, rounds):
    """Best of `rounds` (after one warm-up) of the updater and the copy, each
    net of its baseline."""
    bench.round(flush, copy_args)
    best = [min(column) for column in zip(*(bench.round(flush, copy_args) for _ in range(rounds)))]
    update, declined, _, copy, usage = best
    return update - declined, copy - usage, best


def report(label, flush, update, copy, best):
    ratio = update / copy
    print("  %-18s updater %6.3f s (%6.1f MB/s)  plain copy %6.3f s  ratio %.2f  (goal <= %.2f)"
          % (label, update, TOTAL_BYTES / update / 1e6, copy, ratio, GOALS[flush]))
    print("  %-18s (driver runs: Yes %.3f s, No %.3f s; copy run %.3f s, usage run %.3f s;"
          % ("", best[0], best[1], best[3], best[4]))
    print("  %-18s  of the updater's figure, %.3f s is fixed: a 1 MiB patch answered Yes minus No)"
          % ("", best[2] - best[1]))


def run(args, session, rounds):
    patchtool = os.path.join(args.native, "tools", "patchtool", "patchtool")
    updater = os.path.join(args.win32, "updater.exe")
    driver = os.path.join(args.win32, "tests", "e2e", "e2e_driver.exe")
    plain_copy = os.path.join(args.win32, "bench", "plain_copy.exe")
    for path in (patchtool, updater, driver, plain_copy):
        if not os.path.isfile(path):
            print("(not built: %s)" % path)
            return 0
    game, copy, patches, files = make_fixtures(args.work, patchtool, updater)
    copy_args = [session.winpath(copy)] + [session.winpath(f) for f in files]
    bench = Bench(session, driver, patches, plain_copy)
    session.start()
    session.set_install_folder(game)
    print("updater.exe and plain_copy.exe under Wine, 250 MiB in 21 files (best of %d, warm cache):" % rounds)
    print("  updater: driver run answering Yes, then OK, minus the same run answering No;")
    print("  plain copy: its run minus a run that only prints its usage")
    if not bench.server_restart(eat=True):
        print("  without flushing:  (skipped: eatmydata cannot load into 32-bit Wine; install libeatmydata1:i386)")
    else:
        report("without flushing:", False, *measure(bench, False, copy_args, rounds))
    bench.server_restart(eat=False)
    report("with flushing:", True, *measure(bench, True, copy_args, rounds))
    return 0


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--native", default=os.path.join(ROOT, "build", "native"))
    p.add_argument("--win32", default=os.path.join(ROOT, "build", "win32"))
    p.add_argument("--work", default=os.path.join(ROOT, "build", "bench-updater"))
    args = p.parse_args()
    rounds = int(os.environ.get("APPLY_ROUNDS", "5"))
    os.makedirs(args.work, exist_ok=True)
    prefix = os.environ.get("UPDATER_WINEPREFIX", os.path.join(ROOT, "build", "wine", "prefix"))
    session = WineSession(ROOT, prefix, args.work)
    try:
        return run(args, session, rounds)
    finally:
        # No warm server left behind: nothing runs under Wine after the benchmark.
        session.server_down()
        if session.xvfb is not None:
            session.xvfb.terminate()
            session.xvfb.wait()
        shutil.rmtree(args.work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
