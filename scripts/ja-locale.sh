# Sourced by the Wine wrappers. Wine takes the ANSI code page 932 from
# LC_ALL=ja_JP.UTF-8 even without a glibc locale, but converts Unix file names
# and command-line arguments through the C library: without the real
# ja_JP.UTF-8 locale, Japanese names turn into garbage. Generate it once into
# the build tree (no root needed) and point LOCPATH there.
updater_ja_locale() {
    local root="$1"
    local dir="$root/build/locale"
    if [ ! -f "$dir/ja_JP.UTF-8/LC_CTYPE" ]; then
        mkdir -p "$dir"
        localedef -i ja_JP -f UTF-8 "$dir/ja_JP.UTF-8" >/dev/null 2>&1 || true
    fi
    if [ -f "$dir/ja_JP.UTF-8/LC_CTYPE" ]; then
        export LOCPATH="$dir"
    fi
    export LC_ALL=ja_JP.UTF-8
}
