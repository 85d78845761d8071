#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) into build/fuzz and runs
# each for a while, seeded with real material: Go's zip archives, libpng's
# test PNGs, real -listxml reports of Debian's mame, archives of PNGs written
# by Info-ZIP zip (stored and deflated members).
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
seconds=${1:-60}
[ -n "${QUILLMERE_SKIP_SETUP:-}" ] || bash scripts/setup.sh
CACHE=${QUILLMERE_CACHE:-/var/cache/quillmere}

if [ ! -f build/fuzz/CMakeCache.txt ]; then
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DQUILLMERE_FUZZ=ON >/dev/null
fi
cmake --build build/fuzz -j2 --target zipread_fuzz png_fuzz report_fuzz zipmember_fuzz

corpus=build/fuzz/corpus
mkdir -p "$corpus/zipread" "$corpus/png" "$corpus/report" "$corpus/zipmember"
cp /usr/share/go-1.19/src/archive/zip/testdata/*.zip "$corpus/zipread/" 2>/dev/null || true
cp /usr/share/go-1.19/src/archive/zip/testdata/*.zip "$corpus/zipmember/" 2>/dev/null || true
suite="$CACHE/libpng-src/contrib/pngsuite"
if [ -d "$suite" ] && [ ! -s "$corpus/zipmember/deflated.zip" ]; then
    zip -q -j -0 "$corpus/zipmember/stored.zip" "$suite"/basn0g01.png "$suite"/basn3p04.png
    zip -q -j -9 "$corpus/zipmember/deflated.zip" "$suite"/basn2c08.png "$suite"/basn3p08.png
    zip -q -j -9 "$corpus/zipmember/large.zip" "$suite"/basn6a16.png
fi
cp "$CACHE"/libpng-src/contrib/pngsuite/*.png "$corpus/png/" 2>/dev/null || true
for machine in pacman galaga nes a2600; do
    [ -s "$corpus/report/$machine.xml" ] ||
        /usr/games/mame -listxml "$machine" > "$corpus/report/$machine.xml" 2>/dev/null || true
done

for target in zipread png report zipmember; do
    echo "== ${target}_fuzz for $seconds s"
    build/fuzz/${target}_fuzz -max_total_time="$seconds" -rss_limit_mb=2048 \
        -print_final_stats=1 "$corpus/$target" 2>&1 | grep -E 'stat::number_of_executed_units|Done|ERROR|SUMMARY' || true
done
