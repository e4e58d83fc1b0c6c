#!/usr/bin/env python3
"""The real updater.exe under Wine over a game folder that someone else has
prepared, in the ways Wine can show: Wine gives a Win32 program no sight of a
Unix symbolic link to a file (attributes, FILE_FLAG_OPEN_REPARSE_POINT and
DeleteFileA all reach what it points to), but it does show pipes, hard links,
dangling links and what the updater does to a link it replaces by a move.

  tmp_hard_link      <target>.tmp is a hard link to the first target, and a
                     later entry is damaged: the target keeps its old bytes.
  tmp_dangling_link  <target>.tmp is a link to a missing file elsewhere: the
                     update fails cleanly and creates nothing there.
  linked_target      a target is a link to a read-only file elsewhere: the move
                     replaces the link; that file keeps its bytes and mode.
  hash_list_pipe     KXQ.hvl is a pipe: the update fails before anything in
                     the folder changes."""

import os
import stat
import sys

from e2e import check_box, check_box_count, check_exit, run_scenarios, scenario_arguments

UPDATE_DAMAGED = -2147483647
UPDATE_FAILED = -2147483644


def regular_files(folder):
    """Every regular file under `folder` with its bytes; links and pipes are
    left out (opening a pipe would wait)."""
    result = {}
    for base, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(base, name)
            if stat.S_ISREG(os.lstat(path).st_mode):
                with open(path, "rb") as f:
                    result[os.path.relpath(path, folder)] = f.read()
    return result


def changed(before, after):
    """Relative paths added, removed or changed between two listings."""
    return sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p))


def outside_file(ctx, name, data, mode):
    folder = os.path.join(ctx.work, "outside")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, name)
    if os.path.lexists(path):
        os.chmod(path, 0o644)
        os.remove(path)
    if data is not None:
        with open(path, "wb") as f:
            f.write(data)
        os.chmod(path, mode)
    return path


def run_failing(ctx, c, payload, message, code):
    r = ctx.run(payload, ["box=yes", "box=ok"])
    check_box(c, r, 2, message, "warning", "1")
    check_box_count(c, r, 2)
    check_exit(c, r, code)


def tmp_hard_link(ctx, c):
    def damage_last(data):
        data[-1] ^= 0xFF  # the last entry's last byte
    payload = ctx.variant("mismatch", damage_last)
    ctx.reset_game()
    first = os.path.join(ctx.game, "Archive", "data01000.arc")  # staged before the damaged entry
    os.link(first, first + ".tmp")
    before = regular_files(ctx.game)
    run_failing(ctx, c, payload, "UPDATE_DAMAGED", UPDATE_DAMAGED)
    after = regular_files(ctx.game)
    name = os.path.join("Archive", "data01000.arc")
    c.true("the first target keeps its old bytes", after.get(name) == before[name])
    c.equal("files changed", changed(before, after), [name + ".tmp"])


def tmp_dangling_link(ctx, c):
    ctx.reset_game()
    missing = outside_file(ctx, "created", None, 0)
    os.symlink(missing, os.path.join(ctx.game, "Archive", "data01001.arc.tmp"))
    before = regular_files(ctx.game)
    run_failing(ctx, c, ctx.payloads["good"], "UPDATE_FAILED", UPDATE_FAILED)
    c.true("nothing created where the link points", not os.path.lexists(missing))
    c.equal("files changed", changed(before, regular_files(ctx.game)), [])


def linked_target(ctx, c):
    ctx.reset_game()
    old = ctx.template["system.arc"]
    target = outside_file(ctx, "system.arc", old, 0o444)
    os.remove(os.path.join(ctx.game, "system.arc"))
    os.symlink(target, os.path.join(ctx.game, "system.arc"))
    r = ctx.run(ctx.payloads["good"], ["box=yes", "box=ok"])
    check_box(c, r, 2, "UPDATE_COMPLETED", "information", "1")
    check_exit(c, r, 0)
    installed = os.path.join(ctx.game, "system.arc")
    c.true("the link was replaced by the new file", stat.S_ISREG(os.lstat(installed).st_mode))
    with open(installed, "rb") as f:
        c.true("system.arc holds the new bytes", f.read() == regular_files(ctx.source)["system.arc"])
    with open(target, "rb") as f:
        c.true("the outside file keeps its bytes", f.read() == old)
    c.equal("the outside file keeps its mode", oct(stat.S_IMODE(os.stat(target).st_mode)), oct(0o444))


def hash_list_pipe(ctx, c):
    ctx.reset_game()
    hvl = os.path.join(ctx.game, "KXQ.hvl")
    os.remove(hvl)
    os.mkfifo(hvl)
    before = regular_files(ctx.game)
    run_failing(ctx, c, ctx.payloads["good"], "UPDATE_FAILED", UPDATE_FAILED)
    c.equal("files changed", changed(before, regular_files(ctx.game)), [])
    c.true("KXQ.hvl is still the pipe", stat.S_ISFIFO(os.lstat(hvl).st_mode))


SCENARIOS = [tmp_hard_link, tmp_dangling_link, linked_target, hash_list_pipe]


def main():
    args = scenario_arguments(__doc__)
    if args is None:
        return 77
    return run_scenarios(args, 2, SCENARIOS)


if __name__ == "__main__":
    sys.exit(main())
