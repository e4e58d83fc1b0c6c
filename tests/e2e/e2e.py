#!/usr/bin/env python3
"""End-to-end scenarios of the real updater.exe under Wine: each one starts
the updater through the test driver, checks every message box (text bytes,
title, icon, buttons, default button, owner), the progress dialog and the full
32-bit exit code, then checks the installation folder."""

import argparse
import json
import os
import shutil
import struct
import subprocess
import sys
import threading
import time

from wine_session import (CAPTION, DEVNULL, ENGINE_MUTEX, WineSession, build_patch, checksums, hex932,
                          make_game, make_source, snapshot, wine_unusable, write_file, write_hash_list)

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))


def fill(text, spaces):
    return hex932(text + "\u3000" * spaces)


MSG = {
    "ERROR_CAPTION": hex932("エラー"),
    "VERSION_INFO_FAILED": fill("バージョン情報の取得に失敗しました。", 8),
    "GAME_RUNNING": hex932("ゲーム、ランチャー、アンインストーラーのいずれかが実行中なのでアップデートを行えません"),
    "NOT_INSTALLED": fill("ゲームがインストールされていません", 9),
    "CONFIRM_UPDATE": fill("アップデートを行いますか？", 13),
    "CONFIRM_CANCEL": fill("アップデートを中止しますか？", 12),
    "UPDATE_COMPLETED": fill("アップデートが完了しました", 13),
    "UPDATE_DAMAGED": hex932("アップデートプログラムが破損している可能性があります"),
    "UPDATE_FAILED": fill("何らかの要因によりアップデートが行えません", 5),
    "UNINST_LIST_FAILED": fill("アンインストレーションファイルの更新に失敗しました", 1),
}
CAPTION_HEX = hex932(CAPTION)
OK, YES, NO = "1", "6", "7"
NEW_PATHS = ["system.arc", "Archive\\data01000.arc", "Archive\\data01001.arc", "Archive\\empty.arc"]


class Checks:
    def __init__(self, name):
        self.name = name
        self.failures = []

    def equal(self, what, got, want):
        if got != want:
            self.failures.append("%s: got %r, want %r" % (what, got, want))

    def true(self, what, condition):
        if not condition:
            self.failures.append(what)


def check_box(c, r, n, text, icon, buttons, default=None, owner="none", title=CAPTION_HEX):
    key = "box.%d." % n
    c.equal(key + "text", r.get(key + "text"), MSG[text])
    c.equal(key + "title", r.get(key + "title"), title)
    c.equal(key + "icon", r.get(key + "icon"), icon)
    c.equal(key + "buttons", r.get(key + "buttons"), buttons)
    if default is not None:
        c.equal(key + "default", r.get(key + "default"), default)
    c.equal(key + "owner", r.get(key + "owner"), owner)


def check_box_count(c, r, count):
    c.equal("number of boxes", sum(1 for k in r if k.endswith(".title") and k.startswith("box.")), count)
    c.true("no unexpected box", not any(k.endswith(".unexpected") for k in r))


def check_exit(c, r, code):
    c.equal("driver status", r.get("driver_status"), "0")
    c.equal("exit code", r.get("exit"), str(code))


def trunc_half(value):
    return -((-value) // 2) if value < 0 else value // 2


def check_dialog(c, r):
    c.equal("dialog title", r.get("dialog.title"), CAPTION_HEX)
    c.equal("dialog owner", r.get("dialog.owner"), "none")
    c.equal("cancel button text", r.get("dialog.cancel_text"), hex932("中止"))
    c.equal("cancel button enabled", r.get("dialog.cancel_enabled"), "1")
    try:
        left, top, right, bottom = map(int, r["dialog.rect"].split(","))
        ml, mt, mr, mb = map(int, r["primary"].split(","))
    except (KeyError, ValueError):
        c.failures.append("dialog or monitor rectangle missing")
        return
    c.equal("dialog x", left, trunc_half((mr - ml) - (right - left)))
    c.equal("dialog y", top, trunc_half((mb - mt) - (bottom - top)))
    c.true("dialog inside the primary monitor", ml <= left and right <= mr and mt <= top and bottom <= mb)


def check_no_temporaries(c, game):
    temps = [p for p in snapshot(game) if p.endswith(".tmp")]
    c.equal("temporary files left", temps, [])


def check_unchanged(c, game, before):
    after = snapshot(game)
    changed = sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p))
    c.equal("changed files", changed, [])


def check_installed(c, ctx, uninst_expected=True):
    game, source = ctx.game, ctx.source
    after = snapshot(game)
    new = snapshot(source)
    for rel, data in new.items():
        c.true("installed " + rel, after.get(rel) == data)
    c.equal("other.arc kept", after.get("other.arc"), ctx.template.get("other.arc"))
    verify = subprocess.run([ctx.patchtool, "verify", game], capture_output=True)
    c.equal("patchtool verify", verify.returncode, 0)
    hvl = after.get("KXQ.hvl", b"")
    count = struct.unpack_from("<I", hvl, 12)[0] if len(hvl) >= 16 else -1
    c.equal("hash list records", count, 5)  # four old records and the new empty.arc
    if not uninst_expected:
        return
    text = after.get("uninst.lst", b"")
    c.true("uninst.lst ends with LF and NUL", text.endswith(b"\n\0"))
    lines = text[:-1].decode("cp932").split("\n")[:-1]
    for path in NEW_PATHS + ["KXQ.hvl", "other.arc"]:
        c.true("uninst.lst lists " + path, path.lower() in lines)
    c.equal("dollar line last", lines[-1:], ["$uninstaller"])
    c.equal("no duplicates", len(lines), len(set(lines)))


class Context:
    def __init__(self, args, session):
        self.args = args
        self.session = session
        self.work = args.work
        self.patchtool = args.patchtool
        self.game = os.path.join(args.work, "game")
        self.template_dir = os.path.join(args.work, "game-template")
        self.source = os.path.join(args.work, "source")
        self.payloads = {}
        self.template = {}

    def prepare(self, big_mib):
        make_game(self.template_dir, self.patchtool)
        self.template = snapshot(self.template_dir)
        make_source(self.source, big_mib)
        path = os.path.join(self.work, "patch.exe")
        build_patch(self.patchtool, self.args.updater, self.source, path)
        self.payloads["good"] = path

    def variant(self, name, edit):
        """A copy of the good payload changed by `edit(bytearray)`."""
        with open(self.payloads["good"], "rb") as f:
            data = bytearray(f.read())
        edit(data)
        path = os.path.join(self.work, name + ".exe")
        with open(path, "wb") as f:
            f.write(data)
        return path

    def reset_game(self):
        shutil.rmtree(self.game, ignore_errors=True)
        shutil.copytree(self.template_dir, self.game)
        return snapshot(self.game)

    def run(self, exe, actions, seconds=60):
        out = os.path.join(self.work, "report.txt")
        return self.session.drive(out, seconds, exe, self.args.driver, actions)


# ----------------------------------------------------------------- scenarios

def second_instance(ctx, c):
    before = ctx.reset_game()
    r = ctx.run(ctx.payloads["good"], ["--second"])
    c.equal("second updater exit", r.get("second.exit"), "-6")
    c.equal("second updater windows", r.get("second.windows"), "0")
    check_box(c, r, 1, "CONFIRM_UPDATE", "question", "6,7", NO)
    check_box_count(c, r, 1)
    check_exit(c, r, -3)
    check_unchanged(c, ctx.game, before)


def caption_unreadable(ctx, c):
    r = ctx.run(ctx.args.updater, ["box=ok"])  # the bare image has no caption block
    check_box(c, r, 1, "VERSION_INFO_FAILED", "warning", OK, title=MSG["ERROR_CAPTION"])
    check_box_count(c, r, 1)
    check_exit(c, r, -5)


def caption_without_nul(ctx, c):
    def fill_caption(data):
        data[0x28000:0x28400] = b"A" * 1024
    ctx.session.set_install_folder(None)
    r = ctx.run(ctx.variant("no-nul", fill_caption), ["box=ok"])
    check_box(c, r, 1, "NOT_INSTALLED", "warning", OK, title=("41" * 1023))
    check_exit(c, r, -1)


def game_running(ctx, c):
    r = ctx.run(ctx.payloads["good"], ["--hold", ENGINE_MUTEX, ctx.session.winpath(ctx.args.holder), "box=ok"])
    c.equal("game mutex held", r.get("hold"), "1")
    check_box(c, r, 1, "GAME_RUNNING", "warning", OK)
    check_box_count(c, r, 1)
    check_exit(c, r, -2)


def not_installed(ctx, c):
    ctx.session.set_install_folder(None)
    r = ctx.run(ctx.payloads["good"], ["box=ok"])
    check_box(c, r, 1, "NOT_INSTALLED", "warning", OK)
    check_box_count(c, r, 1)
    check_exit(c, r, -1)


def expand_sz_value(ctx, c):
    before = ctx.reset_game()
    ctx.session.set_install_folder(ctx.game, kind="expand")
    r = ctx.run(ctx.payloads["good"], ["box=ok"])
    check_box(c, r, 1, "NOT_INSTALLED", "warning", OK)
    check_exit(c, r, -1)
    check_unchanged(c, ctx.game, before)


def declined(ctx, c):
    before = ctx.reset_game()
    r = ctx.run(ctx.payloads["good"], ["box=no"])
    check_box(c, r, 1, "CONFIRM_UPDATE", "question", "6,7", NO)
    check_box_count(c, r, 1)
    check_exit(c, r, -3)
    check_unchanged(c, ctx.game, before)


def completed(ctx, c):
    ctx.reset_game()
    r = ctx.run(ctx.payloads["good"], ["box=yes", "dialog", "resume", "box=ok"])
    check_box(c, r, 1, "CONFIRM_UPDATE", "question", "6,7", NO)
    check_dialog(c, r)
    check_box(c, r, 2, "UPDATE_COMPLETED", "information", OK)
    check_box_count(c, r, 2)
    check_exit(c, r, 0)
    check_installed(c, ctx)
    check_no_temporaries(c, ctx.game)


def sign(ctx, unsigned, signed):
    """Signs `unsigned` with a throw-away self-signed certificate, as a
    publisher signs a built updater; returns the certificate's path."""
    key, cert = os.path.join(ctx.work, "sign-key.pem"), os.path.join(ctx.work, "sign-cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=Test publisher", "-addext", "extendedKeyUsage=codeSigning"],
                   check=True, stdin=DEVNULL, stdout=DEVNULL, stderr=DEVNULL)
    if os.path.exists(signed):
        os.remove(signed)
    subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Velmora update",
                    "-in", unsigned, "-out", signed], check=True, stdin=DEVNULL, stdout=DEVNULL)
    return cert


def inspect_json(ctx, path):
    run = subprocess.run([ctx.patchtool, "inspect", "--json", path], capture_output=True)
    return run.returncode, json.loads(run.stdout.decode("utf-8"))


def signed_completed(ctx, c):
    """The signed updater installs exactly what the unsigned one installs."""
    unsigned = ctx.payloads["good"]
    signed = os.path.join(ctx.work, "patch-signed.exe")
    cert = sign(ctx, unsigned, signed)
    verify = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", signed], capture_output=True)
    c.equal("osslsigncode verify", verify.returncode, 0)
    plain_status, plain = inspect_json(ctx, unsigned)
    signed_status, report = inspect_json(ctx, signed)
    c.equal("inspect status, signed", signed_status, plain_status)
    c.equal("unsigned signature", plain.get("signature"), None)
    signature = report.pop("signature", None) or {}
    plain.pop("signature", None)
    c.equal("inspect report besides the signature", report, plain)
    c.true("certificate table behind the payload",
           signature.get("offset", 0) >= os.path.getsize(unsigned) and
           signature.get("offset", 0) + signature.get("size", 0) == os.path.getsize(signed))

    installed = {}
    for name, exe in (("unsigned", unsigned), ("signed", signed)):
        ctx.reset_game()
        r = ctx.run(exe, ["box=yes", "dialog", "resume", "box=ok"])
        check_box(c, r, 2, "UPDATE_COMPLETED", "information", OK)
        check_exit(c, r, 0)
        installed[name] = snapshot(ctx.game)
    check_installed(c, ctx)
    c.true("the signed updater installs the same files and lists",
           installed["signed"] == installed["unsigned"])


def failed_update(ctx, c, payload, message, code, prepare=None, installed=False):
    before = ctx.reset_game()
    if prepare is not None:
        prepare()
        before = snapshot(ctx.game)
    r = ctx.run(payload, ["box=yes", "box=ok"])
    check_box(c, r, 2, message, "warning", OK)
    check_box_count(c, r, 2)
    check_exit(c, r, code)
    check_no_temporaries(c, ctx.game)
    if installed:
        check_installed(c, ctx, uninst_expected=False)
        c.true("no uninst.lst made", not os.path.exists(os.path.join(ctx.game, "uninst.lst")))
    else:
        check_unchanged(c, ctx.game, before)


def truncated_payload(ctx, c):
    size = os.path.getsize(ctx.payloads["good"])
    failed_update(ctx, c, ctx.variant("truncated", lambda d: d.__delitem__(slice(size - 4096, size))),
                  "UPDATE_DAMAGED", -2147483647)


def checksum_mismatch(ctx, c):
    def flip_last(data):
        data[-1] ^= 0xFF  # the last entry's last byte
    failed_update(ctx, c, ctx.variant("mismatch", flip_last), "UPDATE_DAMAGED", -2147483647)


def too_many_entries(ctx, c):
    def count_257(data):
        struct.pack_into("<I", data, 0x2840C, 257)
    failed_update(ctx, c, ctx.variant("too-many", count_257), "UPDATE_DAMAGED", -2147483646)


def shipped_list_damaged(ctx, c):
    def other_magic(data):
        at = data.find(b"WQX_V2__", 0x28400)  # the shipped list, the first entry
        data[at:at + 8] = b"WQX_V3__"
    failed_update(ctx, c, ctx.variant("list-magic", other_magic), "UPDATE_DAMAGED", -2147483647)


def shift_jis_uninstall_list(ctx, c):
    # ﾃｰﾏｿﾝｸﾞ (C3 B0 CF BF DD B8 DE) reads like UTF-8; the full-width names
    # after it must survive the rewrite byte for byte.
    theme = "ﾃｰﾏｿﾝｸﾞ\\theme.arc".encode("cp932")
    voice = "データ\\音声.arc".encode("cp932")
    ctx.reset_game()
    with open(os.path.join(ctx.game, "uninst.lst"), "wb") as f:
        f.write(theme + b"\r\n" + voice + b"\r\n$Uninstaller\r\n")
    r = ctx.run(ctx.payloads["good"], ["box=yes", "dialog", "resume", "box=ok"])
    check_box(c, r, 2, "UPDATE_COMPLETED", "information", OK)
    check_exit(c, r, 0)
    text = snapshot(ctx.game).get("uninst.lst", b"")
    new = [p.lower().encode("cp932") for p in ["KXQ.hvl"] + sorted(NEW_PATHS)]
    c.equal("uninst.lst", text, b"\n".join([theme, voice] + new + [b"$uninstaller"]) + b"\n\0")


def colliding_targets(ctx, c):
    """Two entries on one file as Windows sees it: "system.arc." is system.arc."""
    def rename_empty(data):
        index = 0x28410
        at = data.find(b"empty.arc\0", index, index + 5 * 128)
        assert at > 0, "empty.arc is not in the index"
        data[at:at + 96] = b"system.arc.".ljust(96, b"\0")
    failed_update(ctx, c, ctx.variant("collision", rename_empty), "UPDATE_DAMAGED", -2147483647)


def temporary_file_fails(ctx, c):
    failed_update(ctx, c, ctx.payloads["good"], "UPDATE_FAILED", -2147483644,
                  prepare=lambda: shutil.rmtree(os.path.join(ctx.game, "Archive")))


def uninstall_list_fails(ctx, c):
    failed_update(ctx, c, ctx.payloads["good"], "UNINST_LIST_FAILED", -2147483643,
                  prepare=lambda: os.remove(os.path.join(ctx.game, "uninst.lst")), installed=True)


# A scanner or indexer holding a game file, played by the immutable attribute:
# Linux then refuses to link, rename or replace the file, and Wine reports it
# as access denied. The game lives in a Japanese-named folder, as players' do.
LOCKED = "Archive/data01001.arc"


def snapshot_file(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def locked_target(ctx, c, release_after):
    game = os.path.join(ctx.work, "ゲーム フォルダ")
    shutil.rmtree(game, ignore_errors=True)
    shutil.copytree(ctx.template_dir, game)
    before = snapshot(game)
    locked = os.path.join(game, LOCKED)
    if subprocess.run(["chattr", "+i", locked], capture_output=True).returncode != 0:
        c.failures.append("chattr +i is not available here (needs root and a file system that keeps it)")
        return
    first = os.path.join(game, "system.arc")
    new_first = snapshot(ctx.source)["system.arc"]

    def release():
        # Once the commit has begun (the first target is new), the lock
        # lasts about one second more.
        deadline = time.time() + 60
        while time.time() < deadline and snapshot_file(first) != new_first:
            time.sleep(0.02)
        time.sleep(1.0)
        subprocess.run(["chattr", "-i", locked])
    releaser = threading.Thread(target=release) if release_after else None
    log = ctx.session.run_log()
    logged_before = len(log.read()) if log.exists() else 0
    ctx.session.set_install_folder(game)
    try:
        if releaser:
            releaser.start()
        r = ctx.run(ctx.payloads["good"], ["box=yes", "box=ok"])
    finally:
        if releaser:
            releaser.join()
        subprocess.run(["chattr", "-i", locked])
        ctx.session.set_install_folder(ctx.game)
    if release_after:
        check_box(c, r, 2, "UPDATE_COMPLETED", "information", OK)
        check_exit(c, r, 0)
        c.equal("the locked file is new", snapshot(game).get(LOCKED), snapshot(ctx.source)[LOCKED])
    else:
        check_box(c, r, 2, "UPDATE_FAILED", "warning", OK)
        check_exit(c, r, -2147483644)
        check_unchanged(c, game, before)
        text = log.read()[logged_before:].decode("cp932", "replace")
        name = LOCKED.replace("/", "\\")
        c.true("the log names the locked file and its system error",
               any(name in line and "system error" in line for line in text.splitlines()))
    shutil.rmtree(game, ignore_errors=True)


def locked_for_good(ctx, c):
    locked_target(ctx, c, release_after=False)


def locked_for_a_moment(ctx, c):
    locked_target(ctx, c, release_after=True)


RELEASE_1 = {"system.arc": b"v1 system " * 400, "Archive/data01000.arc": b"v1 data01000 " * 3000,
             "Archive/data01001.arc": b"v1 data01001 " * 500}
RELEASE_2 = dict(RELEASE_1, **{"system.arc": b"v2 system " * 450, "Archive/data01002.arc": b"v2 data01002 " * 800})
RELEASE_3 = dict(RELEASE_2, **{"Archive/data01000.arc": b"v3 data01000 " * 3100,
                               "Archive/data01003.arc": b"v3 data01003 " * 20})


def write_tree(folder, tree):
    shutil.rmtree(folder, ignore_errors=True)
    for rel, data in tree.items():
        write_file(os.path.join(folder, rel), data)


def install_release_1(ctx, folder):
    """An installation of the first release as its installer leaves it: the
    files, a hash list of all of them and an uninstall list naming each."""
    write_tree(folder, RELEASE_1)
    paths = [os.path.join(folder, rel) for rel in RELEASE_1]
    sums = checksums(ctx.patchtool, paths)
    rels = [rel.replace("/", "\\") for rel in RELEASE_1]
    write_hash_list(os.path.join(folder, "KXQ.hvl"), [(rel, sums[p]) for rel, p in zip(rels, paths)])
    write_file(os.path.join(folder, "uninst.lst"), ("\r\n".join(["Game.exe"] + rels) + "\r\n").encode("cp932"))


def build_against(ctx, tree_folder, bases, out):
    args = [ctx.patchtool, "build"]
    for base in bases:
        args += ["--base", base]
    args += ["--stub", ctx.args.updater, "--caption", CAPTION, "--out", out, tree_folder]
    return subprocess.run(args, capture_output=True).returncode


def cumulative_patch(ctx, c):
    """Three releases: the second shipped against the first's list, then one
    patch for the third built against both lists, run by the real updater on
    an installation of each earlier release."""
    work = os.path.join(ctx.work, "history")
    shutil.rmtree(work, ignore_errors=True)
    for name, tree in (("release-2", RELEASE_2), ("release-3", RELEASE_3)):
        write_tree(os.path.join(work, name), tree)
    at_1, at_2 = os.path.join(work, "game-1"), os.path.join(work, "game-2")
    install_release_1(ctx, at_1)
    install_release_1(ctx, at_2)
    patch_2, patch_3 = os.path.join(work, "patch-2.exe"), os.path.join(work, "patch-3.exe")
    c.equal("second release built", build_against(ctx, os.path.join(work, "release-2"),
                                                  [os.path.join(at_1, "KXQ.hvl")], patch_2), 0)
    c.equal("second release applied", subprocess.run([ctx.patchtool, "apply", patch_2, at_2],
                                                     capture_output=True).returncode, 0)
    lists = [os.path.join(folder, "KXQ.hvl") for folder in (at_1, at_2)]
    c.equal("third release built", build_against(ctx, os.path.join(work, "release-3"), lists, patch_3), 0)
    for folder in (at_1, at_2):
        ctx.session.set_install_folder(folder)
        r = ctx.run(patch_3, ["box=yes", "box=ok"])
        name = os.path.basename(folder)
        check_box(c, r, 2, "UPDATE_COMPLETED", "information", OK)
        check_exit(c, r, 0)
        after = snapshot(folder)
        files = {rel.replace(os.sep, "/"): data for rel, data in after.items() if rel not in ("KXQ.hvl", "uninst.lst")}
        c.true(name + " holds exactly the third release", files == RELEASE_3)
        verify = subprocess.run([ctx.patchtool, "verify", folder], capture_output=True, text=True)
        c.equal(name + " patchtool verify", verify.returncode, 0)
        c.true(name + " lists every file: " + verify.stdout.strip(),
               "%d of %d records match" % (len(RELEASE_3), len(RELEASE_3)) in verify.stdout)
        lines = after.get("uninst.lst", b"")[:-1].decode("cp932").split("\n")
        for rel in RELEASE_3:
            c.true(name + " uninst.lst lists " + rel, rel.replace("/", "\\").lower() in lines)


def interrupted(ctx, c, actions, code):
    before = ctx.reset_game()
    r = ctx.run(ctx.payloads["good"], ["box=yes", "dialog"] + actions)
    check_dialog(c, r)
    check_exit(c, r, code)
    check_no_temporaries(c, ctx.game)
    check_unchanged(c, ctx.game, before)
    return r


def cancel_confirmed(ctx, c):
    r = interrupted(ctx, c, ["cancel=yes"], -2147483642)
    c.equal("cancel clickable", r.get("cancel.enabled_before"), "1")
    check_box(c, r, 2, "CONFIRM_CANCEL", "question", "6,7", NO, owner="dialog")
    check_box_count(c, r, 2)
    status = bytes.fromhex(r.get("cancel.status", ""))
    c.true("status names an entry being installed: %r" % status,
           any(status == (p + "をインストール中").encode("cp932") for p in NEW_PATHS + ["KXQ.hvl"]))
    c.true("total range is the entry count", r.get("cancel.total", "").endswith("/5"))
    c.true("file range is 0..65535", r.get("cancel.file", "").endswith("/65535"))


def cancel_declined(ctx, c):
    ctx.reset_game()
    r = ctx.run(ctx.payloads["good"], ["box=yes", "dialog", "cancel=no", "resume", "box=ok"])
    check_box(c, r, 2, "CONFIRM_CANCEL", "question", "6,7", NO, owner="dialog")
    c.equal("cancel still enabled after No", r.get("cancel.enabled_after"), "1")
    check_box(c, r, 3, "UPDATE_COMPLETED", "information", OK)
    check_exit(c, r, 0)
    check_installed(c, ctx)


def window_closed(ctx, c):
    r = interrupted(ctx, c, ["close"], -2147483641)
    c.equal("WM_CLOSE delivered", r.get("close.sent"), "1")
    check_box_count(c, r, 1)


def quit_message(ctx, c):
    r = interrupted(ctx, c, ["quit"], -2147483641)
    c.equal("WM_QUIT posted", r.get("quit.posted"), "1")
    check_box_count(c, r, 1)


GROUPS = {
    # name: (size of the big entry in MiB, scenarios)
    "checks": (2, [second_instance, caption_unreadable, game_running, not_installed,
                   expand_sz_value, caption_without_nul, declined]),
    "update": (8, [completed, signed_completed, truncated_payload, checksum_mismatch, too_many_entries,
                   shipped_list_damaged, colliding_targets, temporary_file_fails, uninstall_list_fails,
                   shift_jis_uninstall_list, cumulative_patch, locked_for_good, locked_for_a_moment]),
    "interrupt": (64, [cancel_confirmed, cancel_declined, window_closed, quit_message]),
}


def scenario_arguments(description, extra=()):
    """The options every scenario script takes, parsed; None when the native
    patchtool is missing (the caller skips)."""
    p = argparse.ArgumentParser(description=description)
    for name, choices in extra:
        p.add_argument("--" + name, choices=choices, required=True)
    p.add_argument("--only", help="run just this scenario")
    for name in ("updater", "driver", "holder", "patchtool", "work"):
        p.add_argument("--" + name, required=True)
    args = p.parse_args()
    args.work = os.path.abspath(args.work)
    if not os.access(args.patchtool, os.X_OK):
        print("SKIP: native patchtool %s not found; build the native tree first" % args.patchtool)
        return None
    why = wine_unusable(ROOT)
    if why:
        print("SKIP: " + why)
        return None
    return args


def run_scenarios(args, big_mib, scenarios):
    """Runs each scenario against a fresh installation in one Wine session and
    prints its verdict; the exit status of the whole run."""
    os.makedirs(args.work, exist_ok=True)
    prefix = os.environ.get("UPDATER_WINEPREFIX", os.path.join(ROOT, "build", "wine", "prefix"))
    session = WineSession(ROOT, prefix, args.work)
    ctx = Context(args, session)
    ctx.prepare(big_mib)
    failed = 0
    session.start()
    try:
        for scenario in scenarios:
            if args.only and scenario.__name__ != args.only:
                continue
            session.set_install_folder(ctx.game)
            c = Checks(scenario.__name__)
            scenario(ctx, c)
            print("%-24s %s" % (c.name, "ok" if not c.failures else "FAILED"))
            for f in c.failures:
                print("    " + f)
            failed += bool(c.failures)
    finally:
        session.stop()
        # No pipe or link a scenario planted is left for others to trip over.
        shutil.rmtree(ctx.game, ignore_errors=True)
    return 1 if failed else 0


def main():
    args = scenario_arguments(__doc__, [("group", sorted(GROUPS))])
    if args is None:
        return 77
    big_mib, scenarios = GROUPS[args.group]
    return run_scenarios(args, big_mib, scenarios)


if __name__ == "__main__":
    sys.exit(main())
