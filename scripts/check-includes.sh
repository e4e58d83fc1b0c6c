#!/bin/sh
# Fails when an #include arrow between the source folders runs up the
# architecture. Each folder has a level; a file may include its own folder and
# folders of a lower level only, so that the arrows run one way:
#   driver -> ui -> update -> hash_list / payload / uninstall_list
#          -> checksum / path_rules / result / run_log -> platform -> windows_text
# and the publisher's side (src/publish, tools/) sits on top of the engine.
# It also checks that the README's layout table names every source folder.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

level() {
    case "$1" in
        windows_text) echo 0 ;;
        platform) echo 1 ;;
        result|checksum|path_rules|run_log) echo 2 ;;
        payload|hash_list|uninstall_list) echo 3 ;;
        update) echo 4 ;;
        ui|publish) echo 5 ;;
        driver) echo 6 ;;
        patchtool|gen_tables) echo 7 ;;
        *) echo "" ;;
    esac
}

status=0
for file in $(find src tools -name '*.h' -o -name '*.cpp' -o -name '*.inc' -o -name '*.rc' | sort); do
    from="$(basename "$(dirname "$file")")"
    from_level="$(level "$from")"
    if [ -z "$from_level" ]; then
        echo "check-includes: $file: folder '$from' has no level" >&2
        status=1
        continue
    fi
    for target in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\/[^"]*\)".*/\1/p' "$file"); do
        to="${target%%/*}"
        [ "$to" = "$from" ] && continue
        to_level="$(level "$to")"
        if [ -z "$to_level" ] || [ "$to_level" -ge "$from_level" ]; then
            echo "check-includes: $file includes \"$target\": $from may include only folders below it" >&2
            status=1
        fi
    done
done
# The README's layout table names every source folder, and nothing else.
for dir in $(find src tools -mindepth 1 -maxdepth 1 -type d | sort); do
    grep -q "^| \`$dir/\` |" README.md || {
        echo "check-includes: $dir/ is missing from the README's layout table" >&2
        status=1
    }
done
for row in $(sed -n 's/^| `\(\(src\|tools\)\/[^`]*\)\/` |.*/\1/p' README.md); do
    [ -d "$row" ] || { echo "check-includes: the README's layout table names $row/, which is gone" >&2; status=1; }
done
[ "$status" = 0 ] && echo "check-includes: every include runs down the layers; the README's layout table matches src/ and tools/"
exit "$status"
