#!/usr/bin/env bash
# Times rounds of the real Quillmere.scr under Wine: queries per round and the
# time from the poll to the title card, cold and warm, with a stand-in whose
# -listxml takes 300 ms, a ROM folder of 200 entries (10 BIOS sets and
# devices, half the games imperfect) and "perfect drivers only" on.
# Goals: at most 1 query per machine cold, none warm; warm within 1.2 x of a
# cold round whose queries take no time.
# Usage: scripts/bench-round.sh [BASE_BUILD_DIR]
#   BASE_BUILD_DIR: a win64 build of another commit to compare with, e.g.
#     git worktree add /tmp/bench-base COMMIT && cmake ... (as scripts/build.sh win64)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build/win64
[ -f "$build/CMakeCache.txt" ] || "$here/scripts/build.sh" win64
cmake --build "$build" -j2 --target Quillmere fakemame quillmere-check >/dev/null

work=$(mktemp -d /tmp/quillmere-bench-round-XXXXXX)
source "$here/scripts/wine-env.sh"
trap 'stop_wine_and_display; rm -rf "$work"' EXIT
start_display
make_prefix "$work/prefix"
builds=("after=$build/Quillmere.scr")
if [ $# -ge 1 ]; then
    builds+=("before=$1/Quillmere.scr")
fi
python3 "$here/scripts/bench_round.py" "$work" "$build/fakemame.exe" \
    "$build/quillmere-check.exe" "${builds[@]}"
