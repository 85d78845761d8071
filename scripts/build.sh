#!/usr/bin/env bash
# Builds the configurations into build/native, build/linux, build/win64,
# build/win32; the linux one also makes build/quillmere_VERSION_amd64.deb.
# Usage: scripts/build.sh [native|linux|win64|win32 ...]   (default: all four)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
CACHE=${QUILLMERE_CACHE:-/var/cache/quillmere}
configs=("$@")
[ ${#configs[@]} -gt 0 ] || configs=(native linux win64 win32)

for config in "${configs[@]}"; do
    dir="$here/build/$config"
    case "$config" in
        native) args=(-DCMAKE_BUILD_TYPE=Debug) ;;
        # What users install: no sanitizers, no unit tests, and the package.
        linux)  args=(-DCMAKE_BUILD_TYPE=Release -DQUILLMERE_SANITIZE=OFF -DQUILLMERE_TESTS=OFF
                      -DQUILLMERE_DEB=ON) ;;
        win64)  args=(-DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake"
                      -DQUILLMERE_PNG_PREFIX="$CACHE/png-x86_64" -DCMAKE_BUILD_TYPE=Release) ;;
        win32)  args=(-DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake"
                      -DQUILLMERE_PNG_PREFIX="$CACHE/png-i686" -DCMAKE_BUILD_TYPE=Release) ;;
        *) echo "unknown configuration $config" >&2; exit 2 ;;
    esac
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$here" -B "$dir" "${args[@]}" >/dev/null
    fi
    cmake --build "$dir" -j2
done
