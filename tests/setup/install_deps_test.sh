#!/bin/sh
# install-deps.sh against fakes first on PATH: apt-get records verb and target suite, fails update as a mirror
# in mid-sync does and a plain install as unresolvable; the install against the release's own suite works on
# the "sync" day and fails too on the "down" day.   install_deps_test.sh SOURCE_DIR WORK_DIR
set -eu
source="$1" work="$2"
rm -rf "$work" && mkdir -p "$work/bin" && cd "$work/bin"
printf '#!/bin/sh\nexit 1\n' >dpkg-query && printf '#!/bin/sh\necho 0\n' >id && printf '#!/bin/sh\necho i386\n' >dpkg
cat >apt-get <<'FAKE'
#!/bin/sh
verb="$1" target=""
while [ $# -gt 0 ]; do case "$1" in update|install) verb="$1" ;; -t) target=" -t $2" ;; esac; shift; done
echo "$verb$target" >>"$FAKE_LOG"
case "$verb$target@$FAKE_DAY" in
    update@*) echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size (48248 != 48412). Mirror sync in progress?" >&2; exit 100 ;;
    "install -t bookworm@sync") exit 0 ;;
esac
echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100
FAKE
chmod +x ./* && echo VERSION_CODENAME=bookworm >"$work/os-release"
failures=0
# day | exit | the one line it says | apt's own output shown (kept aside unless it gives up)
while IFS='|' read -r day want_exit says shown; do
    rm -f "$work/apt.log" && status=0
    PATH="$work/bin:$PATH" FAKE_DAY="$day" FAKE_LOG="$work/apt.log" OS_RELEASE_FILE="$work/os-release" \
        INSTALL_DEPS_RETRY_PAUSE=0 sh "$source/scripts/install-deps.sh" >/dev/null 2>"$work/err" || status=$?
    got="$status $(tr '\n' , <"$work/apt.log") $(grep -c -- "$says" "$work/err") $(grep -q 'Mirror sync' "$work/err" && echo yes || echo no)"
    [ "$got" = "$want_exit update,update,update,install,install -t bookworm, 1 $shown" ] ||
        { echo "FAILED $day: exit, apt-get calls, notice, apt output: $got"; cat "$work/err"; failures=$((failures + 1)); }
done <<'TABLE'
sync|0|trying once more with the release's own suite (bookworm) as the target|no
down|1|run: apt-get update && scripts/install-deps.sh|yes
TABLE
[ "$failures" = 0 ] && rm -rf "$work"
exit "$failures"
