#!/bin/sh
# Installs what a fresh Debian 12 machine lacks for building and testing both
# trees: the i686 mingw-w64 cross compiler, 32-bit Wine, their x86-64 and
# 64-bit twins for the 64-bit test tree (build/win64), a virtual display,
# Japanese fonts, clang for the fuzzers, openssl with osslsigncode for
# signing a built updater (and the test that does), the header-only JSON and
# command-line libraries that patchtool and its tests build with in both
# trees, and the packaging tools. Idempotent and quiet when everything is
# already there.
#
# A mirror in mid-sync is an ordinary day, not a reason to give up: a failed
# index download is retried, then left out; an install that cannot resolve
# (the security suite's amd64 and i386 lists out of step, which multi-arch
# refuses) is tried once more against the release's own suite.
set -eu

need=""
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

for p in cmake g++ make googletest libgtest-dev libbenchmark-dev \
         mingw-w64 g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix wine wine32:i386 wine64 \
         xvfb xauth locales fonts-ipafont-gothic fonts-wine clang libclang-rt-14-dev \
         imagemagick x11-apps python3 eatmydata libeatmydata1:i386 openssl osslsigncode \
         nlohmann-json3-dev libcli11-dev dpkg-dev lintian fakeroot zip unzip; do
    have_pkg "$p" || need="$need $p"
done

[ -z "$need" ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "install-deps: missing packages:$need (run as root to install them)" >&2
    exit 1
fi

echo "install-deps: installing$need"
export DEBIAN_FRONTEND=noninteractive
case " $need " in
    *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
esac

# apt's own complaints are kept aside and shown only when we give up: a
# retried index or a second resolution is not something to alarm anyone with.
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
retry_pause="${INSTALL_DEPS_RETRY_PAUSE:-5}"
tries=1
until apt-get update -qq >>"$log" 2>&1; do
    if [ "$tries" -ge 3 ]; then
        echo "install-deps: some package indexes would not download; going on with the ones we have" >&2
        break
    fi
    tries=$((tries + 1))
    sleep "$retry_pause"
done

install() { apt-get install -y -qq --no-install-recommends "$@" $need >>"$log" 2>&1; }

install && exit 0

suite="$(. "${OS_RELEASE_FILE:-/etc/os-release}" 2>/dev/null && echo "${VERSION_CODENAME:-}")"
if [ -n "$suite" ]; then
    echo "install-deps: the install did not resolve; trying once more with the release's own suite ($suite) as the target" >&2
    install -t "$suite" && exit 0
fi

cat "$log" >&2
echo "install-deps: could not install:$need" >&2
echo "install-deps: when the package mirror has settled, run: apt-get update && scripts/install-deps.sh" >&2
exit 1
