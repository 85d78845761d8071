#!/usr/bin/env bash
# Times the splash picture under Wine: decoding alone against load + paint
# (the block copy the saver uses) and the per-pixel copy, on a 1920x1080 and
# a 3840x2160 artwork made here with ImageMagick (a gradient under noise, so
# it compresses like a photo). Target: load + paint <= 1.2 x decoding alone.
# Usage: scripts/bench-picture.sh [BUILD_DIR]   (default: build/win64)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/win64}
[ -f "$build/CMakeCache.txt" ] || "$here/scripts/build.sh" win64
cmake --build "$build" -j2 --target benchpicture >/dev/null

work=$(mktemp -d /tmp/quillmere-bench-XXXXXX)
trap 'stop_wine_and_display; rm -rf "$work"' EXIT
for size in 1920x1080 3840x2160; do
    convert -size "$size" gradient:navy-orange \( -size "$size" xc:gray50 +noise Gaussian \) \
        -compose overlay -composite PNG24:"$work/art-$size.png"
done
cp "$build/benchpicture.exe" "$work/"

source "$here/scripts/wine-env.sh"
start_display
make_prefix "$work/prefix"
winpath() { echo "Z:${1//\//\\}"; }
timeout 600 "$W" "$work/benchpicture.exe" -n 7 "$(winpath "$work/art-1920x1080.png")" \
    "$(winpath "$work/art-3840x2160.png")"
