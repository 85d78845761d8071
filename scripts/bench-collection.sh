#!/usr/bin/env bash
# Rounds from a real collection, natively with Debian's real MAME:
#  (a) a ROM folder of one empty entry per machine of `mame -listfull`:
#      `quillmere-check choose 300`, each choice classified from the full
#      -listxml (a screen, not mechanical, not preliminary, no disk missing);
#      once with MAME as it is (every set with files is then incomplete) and
#      once with a MAME whose -verifyroms finds every set complete, as in a
#      full collection. Goal: 100 % of choices worth watching.
#  (b) the real `quillmere run` on a virtual X server for 10 minutes over the
#      ROM-less machines that run (Pong, Breakout, Rebound, ...: found from
#      -listxml) and 2,000 entries whose files are missing: seconds until the
#      first game is on screen, share of the last 5 minutes with a game on
#      screen (goal >= 80 %), broken sets launched (goal 0).
# What it derives from MAME (the full -listxml takes about a minute and 269 MB)
# is kept under build/bench-collection.
# Usage: scripts/bench-collection.sh [BASE_LINUX_BUILD_DIR]
#   BASE_LINUX_BUILD_DIR: quillmere and quillmere-check of another commit to
#   compare with (built as scripts/build.sh linux builds them).
#   QUILLMERE_BENCH_PARTS="a b"   the parts to run; QUILLMERE_BENCH_SECONDS=600
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$here/build/linux
[ -f "$build/CMakeCache.txt" ] || "$here/scripts/build.sh" linux
cmake --build "$build" -j2 --target quillmere quillmere-check >/dev/null
builds=("after=$build")
if [ $# -ge 1 ]; then
    builds+=("before=$1")
fi
exec python3 "$here/scripts/bench_collection.py" "$here/build/bench-collection" "${builds[@]}"
