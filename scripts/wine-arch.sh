# Sourced by the Wine helpers: the loader and the prefix of the Wine half that
# UPDATER_WINEARCH names.
#
#   win32 (the default)  Debian's `wine`, a 32-bit loader, and the 32-bit prefix
#                        (build/wine/prefix, or UPDATER_WINEPREFIX) that the
#                        shipped programs are tested in.
#   win64                Wine's 64-bit loader (/usr/lib/wine/wine64, or
#                        UPDATER_WINE64) and a 64-bit prefix of its own
#                        (build/wine/prefix64), for the 64-bit test tree
#                        (build/win64) on machines that cannot run 32-bit
#                        programs. `wine` itself would not do: it picks the
#                        32-bit loader whenever that is installed, runnable
#                        or not.
#
# updater_wine_arch ROOT [PREFIX] sets UPDATER_WINE (the loader to run) and
# exports WINEARCH, WINEPREFIX (PREFIX when given) and WINEDLLOVERRIDES; for
# win64 also WINELOADER, through which Wine starts the programs that a program
# in the prefix starts.
updater_wine_arch() {
    case "${UPDATER_WINEARCH:-win32}" in
        win64)
            UPDATER_WINE="${UPDATER_WINE64:-/usr/lib/wine/wine64}"
            export WINELOADER="$UPDATER_WINE"
            export WINEARCH=win64 WINEPREFIX="${2:-$1/build/wine/prefix64}"
            ;;
        *)
            UPDATER_WINE=wine
            export WINEARCH=win32 WINEPREFIX="${2:-${UPDATER_WINEPREFIX:-$1/build/wine/prefix}}"
            ;;
    esac
    export WINEDLLOVERRIDES='mscoree,mshtml='
}
