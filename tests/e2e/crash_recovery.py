#!/usr/bin/env python3
"""The real updater.exe under Wine, stopped or refused the hard way:

  kill        every Wine process ended outright (wineserver -k) while the
              update stages, while it moves files and while it rewrites the
              lists; each time every game file is wholly old or wholly new,
              KXQ.hvl and uninst.lst are whole, and a second run completes
              the update (patchtool verify passes).
  readonly    the installation folder on a read-only file system: the update
              fails with its message and exit code and changes nothing.
  unprivileged
              the Windows faults test run as an ordinary user, for whom Wine
              enforces the read-only attribute (root bypasses it)."""

import argparse
import os
import shutil
import subprocess
import sys
import time

from wine_session import DEVNULL, WineSession, build_patch, make_game, make_source, snapshot, wine_unusable

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TARGETS = ["system.arc", "Archive/data01000.arc", "Archive/data01001.arc", "Archive/empty.arc"]
UPDATE_FAILED = -2147483644
SKIP = 77


class Context:
    def __init__(self, args):
        self.args = args
        self.work = args.work
        self.template_dir = os.path.join(args.work, "game-template")
        self.game = os.path.join(args.work, "game")
        self.source = os.path.join(args.work, "source")
        self.patch = os.path.join(args.work, "patch.exe")
        self.failures = []

    def prepare(self, big_mib):
        make_game(self.template_dir, self.args.patchtool)
        make_source(self.source, big_mib)
        build_patch(self.args.patchtool, self.args.updater, self.source, self.patch)
        self.old = snapshot(self.template_dir)
        self.new = snapshot(self.source)

    def reset_game(self, where=None):
        where = where or self.game
        shutil.rmtree(where, ignore_errors=True)
        shutil.copytree(self.template_dir, where)

    def expect(self, what, condition):
        if not condition:
            self.failures.append(what)


def start_driver(session, ctx, out, actions, seconds=60):
    if os.path.exists(out):
        os.remove(out)
    argv = ["wine", session.winpath(ctx.args.driver), session.winpath(out), str(seconds),
            session.winpath(ctx.patch)] + actions
    return subprocess.Popen(argv, env=session.env, stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL)


def read_report(out):
    report = {}
    if os.path.exists(out):
        with open(out, "rb") as f:
            for line in f.read().decode("ascii", "replace").splitlines():
                key, _, value = line.partition("=")
                report[key] = value
    return report


def complete_run(session, ctx, out):
    """Runs the update to its end, answering Yes and then OK."""
    proc = start_driver(session, ctx, out, ["box=yes", "box=ok"])
    proc.wait(timeout=120)
    session.server_down()
    return read_report(out)


# ---------------------------------------------------------------- kill

def size_of(path):
    try:
        return os.path.getsize(path)
    except OSError:
        return -1


def moment_predicates(ctx, done):
    """Folder states to wait for before killing, in the order a run passes them."""
    game = ctx.game
    big = os.path.join(game, "Archive", "data01000.arc")
    big_new = len(ctx.new["Archive/data01000.arc"])

    def file_is(rel, data):
        path = os.path.join(game, rel)
        return size_of(path) == len(data) and open(path, "rb").read() == data

    return [
        ("staging begun", lambda: size_of(os.path.join(game, "system.arc.tmp")) >= 0),
        ("big file half staged", lambda: size_of(big + ".tmp") >= big_new // 2),
        ("big file staged", lambda: size_of(os.path.join(game, "Archive", "data01001.arc.tmp")) >= 0),
        ("first move done", lambda: file_is("system.arc", ctx.new["system.arc"])),
        ("big file moved", lambda: size_of(big) == big_new),
        ("hash list rewritten", lambda: file_is("KXQ.hvl", done["KXQ.hvl"])),
    ]


def check_whole(ctx, done, label):
    after = snapshot(ctx.game)
    for rel in TARGETS:
        key = rel.replace("/", os.sep)
        got = after.get(key)
        ctx.expect("%s: %s torn" % (label, rel), got == ctx.new[key] or got == ctx.old.get(key))
    for rel in ("KXQ.hvl", "uninst.lst"):
        got = after.get(rel)
        ctx.expect("%s: %s neither old nor new" % (label, rel), got in (ctx.old[rel], done[rel]))
    return sum(after.get(rel.replace("/", os.sep)) == ctx.new[rel.replace("/", os.sep)] for rel in TARGETS)


def group_kill(session, ctx):
    out = os.path.join(ctx.work, "report.txt")
    ctx.reset_game()
    session.set_install_folder(ctx.game)
    r = complete_run(session, ctx, out)
    ctx.expect("clean run exit 0 (got %r)" % r.get("exit"), r.get("exit") == "0")
    done = snapshot(ctx.game)
    for label, reached in moment_predicates(ctx, done):
        ctx.reset_game()
        session.server_up()
        proc = start_driver(session, ctx, out, ["box=yes", "box=ok"])
        end = time.time() + 60
        while not reached() and proc.poll() is None and time.time() < end:
            time.sleep(0.002)
        # Ends every Wine process at once: no handler, no clean-up runs.
        session.server_down()
        proc.wait(timeout=60)
        fresh = check_whole(ctx, done, label)
        print("  killed at %-22s %d of %d files new" % (label, fresh, len(TARGETS)))
        r = complete_run(session, ctx, out)
        ctx.expect("%s: rerun exit 0 (got %r)" % (label, r.get("exit")), r.get("exit") == "0")
        verify = subprocess.run([ctx.args.patchtool, "verify", ctx.game], capture_output=True)
        ctx.expect("%s: patchtool verify after the rerun" % label, verify.returncode == 0)
        after = snapshot(ctx.game)
        leftovers = [p for p in after if p.endswith((".tmp", ".new", ".prev"))]
        ctx.expect("%s: left behind after the rerun: %r" % (label, leftovers), not leftovers)
        ctx.expect("%s: rerun ends where a clean run ends" % label, after == done)


# ---------------------------------------------------------------- read-only folder

def group_readonly(session, ctx):
    mount_point = os.path.join(ctx.work, "rofs")
    os.makedirs(mount_point, exist_ok=True)
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64m", "tmpfs", mount_point],
                      stderr=DEVNULL).returncode != 0:
        print("SKIP: cannot mount a tmpfs here (needs root)")
        return SKIP
    try:
        game = os.path.join(mount_point, "game")
        ctx.reset_game(game)
        subprocess.run(["mount", "-o", "remount,ro", mount_point], check=True)
        before = snapshot(game)
        session.set_install_folder(game)
        session.server_down()
        r = complete_run(session, ctx, os.path.join(ctx.work, "report.txt"))
        print("  read-only folder: exit %s, boxes %s" % (r.get("exit"), [r.get("box.%d.icon" % n) for n in (1, 2)]))
        ctx.expect("exit code %r" % r.get("exit"), r.get("exit") == str(UPDATE_FAILED))
        ctx.expect("second box is a warning", r.get("box.2.icon") == "warning")
        ctx.expect("folder unchanged", snapshot(game) == before)
    finally:
        subprocess.run(["umount", "-l", mount_point], stderr=DEVNULL)
    return 0


# ---------------------------------------------------------------- unprivileged

def group_unprivileged(session, ctx):
    user = "nobody"
    home = os.path.abspath(os.path.join(ctx.work, "unprivileged"))
    shutil.rmtree(home, ignore_errors=True)
    os.makedirs(os.path.join(home, "tmp"))
    prefix = os.path.join(home, "prefix")
    session.server_down()
    subprocess.run(["cp", "-a", session.prefix, prefix], check=True)
    test = os.path.join(home, "windows_faults_test.exe")
    shutil.copy(ctx.args.faults_test, test)
    subprocess.run(["chown", "-R", user, home], check=True)
    env = ["PATH=/usr/bin:/bin", "HOME=" + home, "TMPDIR=" + os.path.join(home, "tmp"),
           "WINEPREFIX=" + prefix, "WINEARCH=win32", "LC_ALL=ja_JP.UTF-8", "WINEDEBUG=-all",
           "WINEDLLOVERRIDES=mscoree,mshtml="]
    as_user = ["runuser", "-u", user, "--", "env", "-i"] + env
    if subprocess.run(as_user + ["true"], stderr=DEVNULL).returncode != 0:
        print("SKIP: cannot run as user %s here" % user)
        return SKIP
    try:
        run = subprocess.run(as_user + ["wine", test, "--gtest_filter=WindowsFaults.*"],
                             stdin=DEVNULL, capture_output=True, timeout=300)
    finally:
        subprocess.run(as_user + ["wineserver", "-k"], stderr=DEVNULL)
        shutil.rmtree(home, ignore_errors=True)  # the prefix copy is large
    text = run.stdout.decode("utf-8", "replace")
    print(text[-3000:] + run.stderr.decode("utf-8", "replace")[-2000:])
    ctx.expect("faults test passes as %s" % user, run.returncode == 0 and "[  PASSED  ] 2 tests" in text)
    ctx.expect("nothing skipped as %s" % user, "SKIPPED" not in text)
    return 0


GROUPS = {"kill": (24, group_kill), "readonly": (2, group_readonly), "unprivileged": (0, group_unprivileged)}


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--group", choices=sorted(GROUPS), required=True)
    for name in ("updater", "driver", "patchtool", "work"):
        p.add_argument("--" + name, required=True)
    p.add_argument("--faults-test", help="windows_faults_test.exe, for the unprivileged group")
    args = p.parse_args()
    if not os.access(args.patchtool, os.X_OK):
        print("SKIP: native patchtool %s not found; build the native tree first" % args.patchtool)
        return SKIP
    why = wine_unusable(ROOT)
    if why:
        print("SKIP: " + why)
        return SKIP
    os.makedirs(args.work, exist_ok=True)
    prefix = os.environ.get("UPDATER_WINEPREFIX", os.path.join(ROOT, "build", "wine", "prefix"))
    session = WineSession(ROOT, prefix, args.work)
    ctx = Context(args)
    big_mib, group = GROUPS[args.group]
    if big_mib:
        ctx.prepare(big_mib)
    session.start()
    try:
        status = group(session, ctx)
    finally:
        session.stop()
    for f in ctx.failures:
        print("FAILED: " + f)
    if ctx.failures:
        return 1
    return status or 0


if __name__ == "__main__":
    sys.exit(main())
