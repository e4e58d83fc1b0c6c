#!/bin/bash
# make demo: a demo game installation and a demo patch under build/demo/, the
# installation registered in its own Wine prefix (build/demo/prefix), and the
# real updater run on it. With a usable display you click through it
# yourself; without one it runs on a virtual display, the test driver answers
# it, and each window is saved as build/demo/*.png.
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
import os, subprocess, sys, time
root = os.environ["DEMO_ROOT"]
sys.path.insert(0, os.path.join(root, "tests", "e2e"))
from wine_session import WineSession, build_patch, make_game, make_source, snapshot

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
session = WineSession(root, os.path.join(demo, "prefix"), demo)
session.start()
try:
    session.set_install_folder(game)
    session.server_down()
    session.server_up()
    if interactive:
        print("demo: the updater is waiting for you on the display")
        out = subprocess.run(["wine", "cmd", "/c", session.winpath(patch) + " & echo %ERRORLEVEL%"],
                             env=session.env, stdin=subprocess.DEVNULL, capture_output=True)
        code = out.stdout.decode(errors="replace").strip().splitlines()[-1:] or ["?"]
        report = {"exit": code[0]}
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
finally:
    session.stop()

after = snapshot(game)
changed = sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p))
verify = subprocess.run([patchtool, "verify", game], capture_output=True, text=True)
print("demo: updater exit code %s %s" % (report.get("exit", "?"), report.get("exit_hex", "")))
print("demo: files changed: %s" % (", ".join(changed) or "none"))
print("demo: patchtool verify: %s" % ("all files match" if verify.returncode == 0 else
                                       "problems:\n" + verify.stdout))
PY
