#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) into build/fuzz and runs
# each for a while, seeded with real material: Go's zip archives, libpng's
# test PNGs, real -listxml reports of Debian's mame.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
#   QUILLMERE_FUZZ_RUNS=N      run each target for N executions instead
#   QUILLMERE_FUZZ_TARGETS="zipread png"   only these targets
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
seconds=${1:-60}
[ -n "${QUILLMERE_SKIP_SETUP:-}" ] || bash scripts/setup.sh
CACHE=${QUILLMERE_CACHE:-/var/cache/quillmere}

if [ ! -f build/fuzz/CMakeCache.txt ]; then
    CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DQUILLMERE_FUZZ=ON >/dev/null
fi
cmake --build build/fuzz -j2 --target zipread_fuzz png_fuzz report_fuzz systems_fuzz

corpus=build/fuzz/corpus
mkdir -p "$corpus/zipread" "$corpus/png" "$corpus/report" "$corpus/systems"
printf 'nes nes\0a2600 bin\0c64 crt\0\0' > "$corpus/systems/seed"
cp /usr/share/go-1.19/src/archive/zip/testdata/*.zip "$corpus/zipread/" 2>/dev/null || true
cp "$CACHE"/libpng-src/contrib/pngsuite/*.png "$corpus/png/" 2>/dev/null || true
for machine in pacman galaga nes a2600; do
    [ -s "$corpus/report/$machine.xml" ] ||
        /usr/games/mame -listxml "$machine" > "$corpus/report/$machine.xml" 2>/dev/null || true
done

if [ -n "${QUILLMERE_FUZZ_RUNS:-}" ]; then
    limit=(-runs="$QUILLMERE_FUZZ_RUNS"); what="$QUILLMERE_FUZZ_RUNS runs"
else
    limit=(-max_total_time="$seconds"); what="$seconds s"
fi
for target in ${QUILLMERE_FUZZ_TARGETS:-zipread png report systems}; do
    echo "== ${target}_fuzz for $what"
    build/fuzz/${target}_fuzz "${limit[@]}" -rss_limit_mb=2048 \
        -print_final_stats=1 "$corpus/$target" 2>&1 | grep -E 'stat::number_of_executed_units|Done|ERROR|SUMMARY' || true
done
