#!/usr/bin/env bash
# A long run of the real Quillmere.scr /s under Wine with short timers, to
# see whether anything grows or is left behind. Builds win64 if needed, then
# under build/soak: its own virtual X display and Wine prefix, the stand-in
# emulator as MAME (real reports of a handful of games, artwork loose and in
# zip archives) and as MESS (a software tree with a zip archive, an
# allowed-systems list). Runs until ROUNDS launches are logged, samples the
# saver's resident memory, open descriptors and Windows GDI/USER/handle
# counts at round 10, halfway and at the end, counts launches, closes and
# stray processes, presses Escape and checks that nothing of ours runs on.
# Prints a short table.
#
#   scripts/soak.sh ROUNDS
#   QUILLMERE_SOAK_SECONDS=N   time limit (default 60 + 6 per round)
# Exit status: 0 passed; 1 the saver died, the rounds were not reached in
# time, or something was left running; 2 bad arguments.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
rounds=${1:-}
if ! [[ "$rounds" =~ ^[1-9][0-9]{0,5}$ ]]; then
    echo "usage: scripts/soak.sh ROUNDS" >&2
    exit 2
fi
limit=${QUILLMERE_SOAK_SECONDS:-$((60 + 6 * rounds))}
soak="$here/build/soak"
mkdir -p "$soak"

if ! bash scripts/build.sh win64 >"$soak/build.log" 2>&1; then
    tail -n 30 "$soak/build.log"
    echo "soak: the win64 build failed (build/soak/build.log)" >&2
    exit 1
fi

source scripts/wine-env.sh
start_display
trap stop_wine_and_display EXIT
make_prefix "$soak/prefix"
# Start Wine's services now, so they are not counted against the first rounds.
timeout 60 "$W" cmd /c exit >/dev/null 2>&1 || true
echo "soak: display $DISPLAY, prefix build/soak/prefix"

status=0
python3 scripts/soak.py "$rounds" "$soak" "$here/build/win64" "$limit" || status=$?
exit "$status"
