#!/bin/bash
# make demo: a demo game installation and a demo patch under build/demo/, the
# installation registered in its own Wine prefix (build/demo/prefix), and the
# real updater run on it. With a usable display you click through it
# yourself; without one it runs on a virtual display, the test driver answers
# it, and each window is saved as build/demo/*.png. Then a second, incremental
# patch is built against the first release's KXQ.hvl (only new and changed
# files ship) and run the same way. On a machine that cannot run Wine's 32-bit
# loader (scripts/wine-usable.sh) both patches are applied with the native
# patchtool apply, which runs the same transaction, and the demo says why.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
export DEMO_ROOT="$root"
. "$root/scripts/ja-locale.sh"
updater_ja_locale "$root"
# The trees make demo builds; another pair of trees can be named instead.
export DEMO_NATIVE="${DEMO_NATIVE:-$root/build/native}" DEMO_WIN32="${DEMO_WIN32:-$root/build/win32}"
for f in "$DEMO_NATIVE/patchtool" "$DEMO_WIN32/updater.exe" "$DEMO_WIN32/tests/e2e/e2e_driver.exe"; do
    [ -x "$f" ] || { echo "demo: $f is missing; run make demo (it builds both trees)" >&2; exit 1; }
done
display_usable=0
if [ -n "${DISPLAY:-}" ] && command -v xdpyinfo >/dev/null 2>&1 && xdpyinfo >/dev/null 2>&1; then
    display_usable=1
elif [ -n "${DISPLAY:-}" ] && [ -S "/tmp/.X11-unix/X${DISPLAY#*:}" ]; then
    display_usable=1
fi
[ "$display_usable" = 1 ] || unset DISPLAY
exec python3 - <<'PY'
import os, shutil, subprocess, sys, time
root = os.environ["DEMO_ROOT"]
sys.path.insert(0, os.path.join(root, "tests", "e2e"))
from wine_session import CAPTION, WineSession, build_patch, make_game, make_source, snapshot, wine_unusable

demo = os.path.join(root, "build", "demo")
os.makedirs(demo, exist_ok=True)
patchtool = os.path.join(os.environ["DEMO_NATIVE"], "patchtool")
updater = os.path.join(os.environ["DEMO_WIN32"], "updater.exe")
driver = os.path.join(os.environ["DEMO_WIN32"], "tests", "e2e", "e2e_driver.exe")
game, source, patch = (os.path.join(demo, n) for n in ("game", "source", "update.exe"))

make_game(game, patchtool)
os.makedirs(os.path.join(game, "Archive"), exist_ok=True)
make_source(source, 24)
build_patch(patchtool, updater, source, patch)
before = snapshot(game)
print("demo: installation %s, patch %s (%d bytes)" % (game, patch, os.path.getsize(patch)))

interactive = bool(os.environ.get("DISPLAY"))


def run_plainly(exe):
    """Runs the updater once: the user clicks on a display, else the driver
    answers Yes and OK. The driver's report, or the exit code alone."""
    if interactive:
        print("demo: the updater is waiting for you on the display")
        out = subprocess.run(["wine", "cmd", "/c", session.winpath(exe) + " & echo %ERRORLEVEL%"],
                             env=session.env, stdin=subprocess.DEVNULL, capture_output=True)
        code = out.stdout.decode(errors="replace").strip().splitlines()[-1:] or ["?"]
        return {"exit": code[0]}
    return session.drive(os.path.join(demo, "driver-report.txt"), 120, exe, driver, ["box=yes", "box=ok"])


def outcome(what, report, before):
    after = snapshot(game)
    changed = sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p))
    verify = subprocess.run([patchtool, "verify", game], capture_output=True, text=True)
    print(("demo: %s: %s exit code %s %s" % (what, report.get("by", "updater"), report.get("exit", "?"),
                                             report.get("exit_hex", ""))).rstrip())
    print("demo: %s: files changed: %s" % (what, ", ".join(changed) or "none"))
    print("demo: %s: patchtool verify: %s" % (what, "all files match" if verify.returncode == 0 else
                                                 "problems:\n" + verify.stdout))


def apply_natively(exe):
    """The same transaction without the GUI, for a machine without Wine."""
    done = subprocess.run([patchtool, "apply", exe, game], stdin=subprocess.DEVNULL, capture_output=True, text=True)
    return {"exit": str(done.returncode), "by": "patchtool apply"}


why_not = wine_unusable(root)
session = None
if why_not:
    print("demo: the real updater cannot run here (%s); the patches are applied with patchtool apply" % why_not)
else:
    session = WineSession(root, os.path.join(demo, "prefix"), demo)
    session.start()
try:
    if session is not None:
        session.set_install_folder(game)
        session.server_down()
        session.server_up()
    if session is None:
        report = apply_natively(patch)
    elif interactive:
        report = run_plainly(patch)
    else:
        shots = ["confirmation", "progress", "result"]
        marks = [os.path.join(demo, n + ".wait") for n in shots]
        actions = ["hold=" + session.winpath(marks[0]), "box=yes",
                   "hold-dialog=" + session.winpath(marks[1]),
                   "hold=" + session.winpath(marks[2]), "box=ok"]
        out = os.path.join(demo, "driver-report.txt")
        cmd = ["wine", session.winpath(driver), session.winpath(out), "120", session.winpath(patch)] + actions
        proc = subprocess.Popen(cmd, env=session.env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for name, mark in zip(shots, marks):
            end = time.time() + 60
            while not os.path.exists(mark) and time.time() < end and proc.poll() is None:
                time.sleep(0.02)
            if not os.path.exists(mark):
                print("demo: no %s window appeared" % name)
                break
            png = os.path.join(demo, name + ".png")
            subprocess.run(["import", "-display", session.env["DISPLAY"], "-window", "root", png],
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            print("demo: saved %s" % png)
            os.remove(mark)
        proc.wait(timeout=150)
        report = {}
        with open(out) as f:
            for line in f:
                k, _, v = line.strip().partition("=")
                report[k] = v
    outcome("first patch", report, before)

    # The second patch: built against the list the first release left in the
    # installation, so only what changed since then ships.
    release_list = os.path.join(demo, "release-1.hvl")
    shutil.copyfile(os.path.join(game, "KXQ.hvl"), release_list)
    source2, patch2 = os.path.join(demo, "source-2"), os.path.join(demo, "update-2.exe")
    shutil.rmtree(source2, ignore_errors=True)
    shutil.copytree(source, source2)
    with open(os.path.join(source2, "Archive", "data01001.arc"), "wb") as f:
        f.write(b"second patch data " * 20000)
    with open(os.path.join(source2, "Archive", "data01004.arc"), "wb") as f:
        f.write(b"added by the second patch " * 100)
    built = subprocess.run([patchtool, "build", "--base", release_list, "--stub", updater, "--caption", CAPTION,
                            "--out", patch2, source2], stdin=subprocess.DEVNULL, capture_output=True, text=True)
    print("demo: second patch %s against %s:" % (patch2, release_list))
    print("".join("      " + line + "\n" for line in built.stdout.splitlines()), end="")
    if built.returncode != 0:
        print("demo: the second patch could not be built: " + built.stderr.strip())
    else:
        before = snapshot(game)
        if session is None:
            outcome("second patch", apply_natively(patch2), before)
        else:
            session.server_down()
            session.server_up()
            outcome("second patch", run_plainly(patch2), before)
finally:
    if session is not None:
        session.stop()
PY
