#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) into build/fuzz and runs
# each for a while, seeded with real material: Go's zip archives, libpng's
# test PNGs, real -listxml reports of Debian's mame, archives of PNGs written
# by Info-ZIP zip (stored and deflated members).
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 60)
#   QUILLMERE_FUZZ_RUNS=N      run each target for N executions instead
#   QUILLMERE_FUZZ_TARGETS="zipmember png"   only these targets
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
seconds=${1:-60}
[ -n "${QUILLMERE_SKIP_SETUP:-}" ] || bash scripts/setup.sh
CACHE=${QUILLMERE_CACHE:-/var/cache/quillmere}

# Configured every time, so that a new target is known.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DQUILLMERE_FUZZ=ON >/dev/null
cmake --build build/fuzz -j2 --target png_fuzz report_fuzz systems_fuzz zipmember_fuzz settingsfile_fuzz

corpus=build/fuzz/corpus
mkdir -p "$corpus/png" "$corpus/report" "$corpus/systems" "$corpus/zipmember" \
    "$corpus/settingsfile"
printf 'nes nes\0a2600 bin\0c64 crt\0\0' > "$corpus/systems/seed"
printf 'MamePath=/usr/games/mame\nMameRomsPath=/roms\nPollTimer=100\nSystemsList=nes nes\n' \
    > "$corpus/settingsfile/seed"
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

if [ -n "${QUILLMERE_FUZZ_RUNS:-}" ]; then
    limit=(-runs="$QUILLMERE_FUZZ_RUNS"); what="$QUILLMERE_FUZZ_RUNS runs"
else
    limit=(-max_total_time="$seconds"); what="$seconds s"
fi
for target in ${QUILLMERE_FUZZ_TARGETS:-png report systems zipmember settingsfile}; do
    echo "== ${target}_fuzz for $what"
    build/fuzz/${target}_fuzz "${limit[@]}" -rss_limit_mb=2048 \
        -print_final_stats=1 "$corpus/$target" 2>&1 | grep -E 'stat::number_of_executed_units|Done|ERROR|SUMMARY' || true
done
