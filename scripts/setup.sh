#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on a Debian 12
# machine, and builds libpng for the two Windows targets into a cache that
# survives `rm -rf build`. Run as root. Safe to run again: every step checks
# whether its work is already done.
set -euo pipefail

CACHE=${QUILLMERE_CACHE:-/var/cache/quillmere}
PACKAGES=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools
          libz-mingw-w64-dev wine wine64 xvfb xdotool imagemagick
          libpng-dev libgtest-dev cmake mame golang-1.19-src zip unzip nsis
          clang libclang-rt-14-dev python3 dpkg-dev g++ make
          libx11-dev libxext-dev libxft-dev libxss-dev fonts-dejavu-core pkg-config
          python3-pytest python3-pil lintian)

log() { printf 'setup: %s\n' "$*"; }

missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' \
        || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    log "installing ${missing[*]}"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# 32-bit Wine cannot run on this kernel and breaks /usr/bin/wine when present.
if dpkg-query -W -f='${Status}' wine32 2>/dev/null | grep -q 'install ok installed'; then
    log "removing wine32"
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -q wine32
fi

# libpng built from Debian's own source with the mingw toolchains.
mkdir -p "$CACHE"
if [ ! -d "$CACHE/libpng-src" ]; then
    if [ ! -f /etc/apt/sources.list.d/debian-src.sources ]; then
        awk 'BEGIN{RS="";ORS="\n\n"} NR==1' /etc/apt/sources.list.d/debian.sources \
            | sed 's/^Types: deb$/Types: deb-src/' > /etc/apt/sources.list.d/debian-src.sources
        apt-get update -q
    fi
    work=$(mktemp -d)
    (cd "$work" && apt-get source --download-only libpng1.6 >/dev/null \
        && dpkg-source -x libpng1.6_*.dsc libpng >/dev/null)
    mv "$work/libpng" "$CACHE/libpng-src"
    rm -rf "$work"
fi

here=$(cd "$(dirname "$0")/.." && pwd)
for arch in x86_64 i686; do
    prefix="$CACHE/png-$arch"
    [ -f "$prefix/lib/libpng16.a" ] && continue
    log "building libpng for $arch"
    rm -rf "$CACHE/build-png-$arch"
    cmake -S "$CACHE/libpng-src" -B "$CACHE/build-png-$arch" \
        -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DPNG_SHARED=OFF -DPNG_STATIC=ON \
        -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
        -DZLIB_LIBRARY=/usr/$arch-w64-mingw32/lib/libz.a \
        -DZLIB_INCLUDE_DIR=/usr/$arch-w64-mingw32/include \
        -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
    cmake --build "$CACHE/build-png-$arch" -j2 >/dev/null
    cmake --install "$CACHE/build-png-$arch" >/dev/null
    rm -rf "$CACHE/build-png-$arch"
done
log "ready (cache $CACHE)"
