# Sourced by the Wine wrappers. Wine takes the ANSI code page 932 from
# LC_ALL=ja_JP.UTF-8 even without a glibc locale, but converts Unix file names
# and command-line arguments through the C library: without the real
# ja_JP.UTF-8 locale, Japanese names turn into garbage. Generate it once into
# the build tree (no root needed) and point LOCPATH there.
#
# LC_ALL itself is never assigned in the calling shell: bash would try the
# locale for itself at once, before it can know of LOCPATH, and warn that it
# cannot. Commands get it in their own environment: `LC_ALL=$UPDATER_LC cmd`.
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
    UPDATER_LC=ja_JP.UTF-8
}
