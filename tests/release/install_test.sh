#!/bin/sh
# make install into a temporary prefix, as a publisher installs the tool: the
# installed patchtool builds without --stub from the stub installed with it
# (the same bytes as with --stub), says so clearly where no stub is, prints
# its version, and its man page covers every command and option it knows.
#   install_test.sh SOURCE_DIR BUILD_DIR WORK_DIR    (BUILD_DIR holds native/ and win32/)
set -eu
source="$1" build="$2" work="$3"
if [ ! -x "$build/native/patchtool" ]; then
    echo "SKIP: $build/native/patchtool not found; build the native tree first"
    exit 77
fi
rm -rf "$work"
mkdir -p "$work/src/Archive"
printf 'new system' >"$work/src/system.arc"
printf 'new data' >"$work/src/Archive/data01000.arc"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

prefix="$work/prefix"
sh "$source/scripts/install.sh" "$prefix" "$build" >/dev/null
tool="$prefix/bin/patchtool"
man="$prefix/share/man/man1/patchtool.1"
for f in "$tool" "$prefix/share/updater/updater.exe" "$man" "$prefix/share/doc/updater/README.md" \
         "$prefix/share/doc/updater/patchtool.md"; do
    [ -f "$f" ] || fail "not installed: ${f#$prefix/}"
done
cmp -s "$prefix/share/updater/updater.exe" "$build/win32/updater.exe" || fail "installed stub differs from the built one"

version="$("$tool" --version)" || fail "--version exits $?"
[ "$(printf '%s\n' "$version" | wc -l)" = 1 ] && [ "${version#patchtool }" != "$version" ] ||
    fail "--version: '$version'"
grep -q "^\.TH PATCHTOOL 1 .*\"$version\"" "$man" || fail "man page is not of $version"

"$tool" build --caption C --out "$work/installed.exe" "$work/src" >/dev/null || fail "build without --stub"
"$build/native/patchtool" build --stub "$build/win32/updater.exe" --caption C --out "$work/built.exe" \
    "$work/src" >/dev/null
cmp -s "$work/installed.exe" "$work/built.exe" || fail "build without --stub differs from --stub build/win32/updater.exe"

mkdir -p "$work/lone/bin"
cp "$tool" "$work/lone/bin/patchtool"
status=0
"$work/lone/bin/patchtool" build --caption C --out "$work/lone.exe" "$work/src" >/dev/null 2>"$work/lone.err" ||
    status=$?
[ "$status" = 2 ] || fail "build without a stub anywhere exits $status, not 2"
grep -q -- "--stub" "$work/lone.err" || fail "build without a stub anywhere does not name --stub"
[ ! -e "$work/lone.exe" ] || fail "build without a stub anywhere wrote its output"

# Every command of the overview and every option of its usage, in the man page
# (where roff writes each "-" as "\-").
man_text="$(sed 's/\\-/-/g; s/" "/ /g' "$man")"
commands="$("$tool" help | sed -n 's/^  \([a-z]*\) .*/\1/p')"
[ -n "$commands" ] || fail "no commands found in the help text"
for command in $commands; do
    printf '%s\n' "$man_text" | grep -q "^\.B patchtool $command" || fail "man page lacks the command $command"
    for option in $("$tool" help "$command" | grep -o -- '--[a-z-]*' | sort -u); do
        printf '%s\n' "$man_text" | grep -q -- "$option" || fail "man page lacks $command $option"
    done
done

[ "$failures" = 0 ] || exit 1
rm -rf "$work"
echo "installed, built without --stub, version '$version', man page complete"
