#!/usr/bin/env python3
"""patchtool.exe as a publisher on Windows runs it: build, inspect, verify and
apply (and its dry run) over a folder with Japanese names, under a build
folder deeper than 260 characters whose names code page 932 lacks, given as
Windows paths on the command line, must write the same updater and print the
same bytes as the native patchtool does with Linux paths."""

import argparse
import os
import shutil
import subprocess
import sys

from wine_session import CAPTION, DEVNULL, WineSession, checksums, snapshot, wine_unusable, write_file, write_hash_list

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DISPLAY_ARC = "表示.arc"
SETTINGS = os.path.join("セーブ", "設定")
UPDATER = "更新.exe"


def japanese_locale():
    """LOCPATH of the ja_JP.UTF-8 C library locale, without which Wine turns
    Japanese command-line arguments into garbage (scripts/ja-locale.sh)."""
    script = '. "$1/scripts/ja-locale.sh"; updater_ja_locale "$1"; printf %s "${LOCPATH:-}"'
    return subprocess.run(["bash", "-c", script, "ja-locale", ROOT], check=True, capture_output=True,
                          stdin=DEVNULL).stdout.decode()


def make_folders(work, native):
    source = os.path.join(work, "パッチ")
    write_file(os.path.join(source, DISPLAY_ARC), "新しい表示 ".encode("utf-8") * 500)
    write_file(os.path.join(source, SETTINGS), b"new settings")
    game = os.path.join(work, "game-template")
    write_file(os.path.join(game, DISPLAY_ARC), b"old display")
    os.makedirs(os.path.join(game, "セーブ"))
    old = os.path.join(game, DISPLAY_ARC)
    write_hash_list(os.path.join(game, "KXQ.hvl"), [(DISPLAY_ARC, checksums(native, [old])[old])])
    write_file(os.path.join(game, "uninst.lst"), "表示.arc\r\n".encode("cp932"))
    return source, game


def deep_folder(work):
    """A publisher's build folder as a CI machine may have it: names code page
    932 lacks, and deeper than the 260 characters of a Windows path."""
    folder = os.path.join(work, "リリース", "andré 😀", "d" * 120, "e" * 120)
    os.makedirs(folder)
    return folder


class Tools:
    def __init__(self, args, session, work):
        self.args = args
        self.session = session
        self.work = work

    def native(self, words):
        return self._run([self.args.patchtool] + words)

    def exe(self, words):
        return self._run([self.session.loader, self.session.winpath(self.args.exe)] + words, env=self.session.env)

    def _run(self, command, env=None):
        # Files, not pipes: Wine's background processes would hold a pipe open.
        out, err = os.path.join(self.work, "stdout"), os.path.join(self.work, "stderr")
        with open(out, "wb") as o, open(err, "wb") as e:
            status = subprocess.run(command, stdin=DEVNULL, stdout=o, stderr=e, env=env, timeout=120).returncode
        with open(out, "rb") as o, open(err, "rb") as e:
            return status, o.read(), e.read()


def compare(failures, what, native, exe):
    if native != exe:
        failures.append("%s:\n  native:       %r\n  patchtool.exe: %r" % (what, native, exe))


def run_checks(tools, source, template):
    work, win = tools.work, tools.session.winpath
    failures = []
    stub = tools.args.stub
    built = {}
    for who, run, path in (("native", tools.native, lambda p: p), ("exe", tools.exe, win)):
        out = os.path.join(work, who, UPDATER)
        os.makedirs(os.path.dirname(out))
        status, stdout, stderr = run(["build", "--stub", path(stub), "--caption", CAPTION, "--out", path(out),
                                      path(source)])
        built[who] = (status, stdout.replace(path(out).encode("utf-8"), b"OUT"), stderr)
        if not os.path.exists(out):
            failures.append("%s build wrote no %s" % (who, out))
    compare(failures, "build", built["native"], built["exe"])
    if os.path.exists(os.path.join(work, "exe", UPDATER)):
        with open(os.path.join(work, "native", UPDATER), "rb") as a, \
                open(os.path.join(work, "exe", UPDATER), "rb") as b:
            compare(failures, "updater bytes", a.read() == b.read(), True)

    # A Windows publisher keeps updater.exe beside patchtool.exe (as the build
    # tree has it): build finds it there without --stub.
    beside = os.path.join(work, "exe", "beside.exe")
    status, _, stderr = tools.exe(["build", "--caption", CAPTION, "--out", win(beside), win(source)])
    compare(failures, "build without --stub", (status, stderr), (0, b""))
    if os.path.exists(beside):
        with open(beside, "rb") as a, open(os.path.join(work, "native", UPDATER), "rb") as b:
            compare(failures, "updater bytes without --stub", a.read() == b.read(), True)

    updater = os.path.join(work, "exe", UPDATER)
    for words in (["inspect"], ["inspect", "--json"]):
        compare(failures, " ".join(words), tools.native(words + [updater]), tools.exe(words + [win(updater)]))

    games = {}
    for who in ("native", "exe"):
        games[who] = os.path.join(work, who, "ゲーム")
        shutil.copytree(template, games[who])
    # The report's first line names the two files as each system spells them.
    dry_runs = [tools.native(["apply", "--dry-run", updater, games["native"]]),
                tools.exe(["apply", "--dry-run", win(updater), win(games["exe"])])]
    compare(failures, "apply --dry-run", *[(status, out.split(b"\n", 1)[-1], err) for status, out, err in dry_runs])
    compare(failures, "apply", tools.native(["apply", updater, games["native"]]),
            tools.exe(["apply", win(updater), win(games["exe"])]))
    compare(failures, "installation after apply", snapshot(games["native"]), snapshot(games["exe"]))
    for who in ("native", "exe"):
        write_file(os.path.join(games[who], SETTINGS), b"changed by the player")
    verify_native = tools.native(["verify", games["native"]])
    compare(failures, "verify", verify_native, tools.exe(["verify", win(games["exe"])]))
    if "セーブ\\設定: checksum mismatch".encode("utf-8") not in verify_native[1]:
        failures.append("verify does not name the changed file: %r" % (verify_native,))
    return failures


def main():
    p = argparse.ArgumentParser(description=__doc__)
    for name in ("exe", "patchtool", "stub", "work"):
        p.add_argument("--" + name, required=True)
    args = p.parse_args()
    if not os.access(args.patchtool, os.X_OK):
        print("SKIP: native patchtool %s not found; build the native tree first" % args.patchtool)
        return 77
    why = wine_unusable(ROOT)
    if why:
        print("SKIP: " + why)
        return 77
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    work = deep_folder(args.work)
    source, template = make_folders(work, args.patchtool)
    prefix = os.environ.get("UPDATER_WINEPREFIX", os.path.join(ROOT, "build", "wine", "prefix"))
    session = WineSession(ROOT, prefix, args.work)
    session.env["LOCPATH"] = japanese_locale()
    subprocess.run([os.path.join(ROOT, "scripts", "wine-prefix.sh"), prefix], check=True, stdin=DEVNULL,
                   stdout=DEVNULL, env=session.env)
    session.server_up()
    try:
        failures = run_checks(Tools(args, session, work), source, template)
    finally:
        session.stop()
    for f in failures:
        print("FAILED " + f)
    print("patchtool.exe and patchtool agree" if not failures else "%d differences" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
