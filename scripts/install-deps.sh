#!/bin/sh
# Installs what a fresh Debian 12 machine lacks for building and testing both
# trees: the i686 mingw-w64 cross compiler, 32-bit Wine, a virtual display,
# Japanese fonts, clang for the fuzzers, openssl with osslsigncode for
# signing a built updater (and the test that does), and the header-only JSON
# and command-line libraries that patchtool and its tests build with in both
# trees. Idempotent and quiet when everything is already there.
set -eu

need=""
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

for p in cmake g++ make googletest libgtest-dev libbenchmark-dev \
         mingw-w64 g++-mingw-w64-i686 wine wine32:i386 xvfb xauth locales \
         fonts-ipafont-gothic fonts-wine clang libclang-rt-14-dev \
         imagemagick x11-apps python3 eatmydata libeatmydata1:i386 openssl osslsigncode \
         nlohmann-json3-dev libcli11-dev; do
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
apt-get update -qq
apt-get install -y -qq --no-install-recommends $need >/dev/null
