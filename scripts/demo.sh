#!/usr/bin/env bash
# The screen saver demo, in two parts.
# Windows: sets up, builds, lays out a small emulator set-up under build/demo
# (the stand-in emulator as MAME and as MESS, real machine reports from
# Debian's mame, ROM entries, a software tree with a zip archive, artwork),
# points the settings of a Wine prefix of its own at it, and runs the real
# Quillmere.scr /s for a while, saving screenshots in build/demo/shots. Then
# it presses Escape.
# Linux: runs `quillmere run` for a minute against Debian's real MAME with a
# ROM folder of the four games it runs without ROM files, prints each
# launch's command line as the kernel holds it, saves screenshots
# (build/demo/shots/linux-*.png) and presses Escape.
#
#   scripts/demo.sh [SECONDS]     (the Windows part's length, default 45)
# Runs on $DISPLAY when set, else on a virtual X server of its own.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
seconds=${1:-45}

[ -n "${QUILLMERE_SKIP_SETUP:-}" ] || bash scripts/setup.sh
bash scripts/build.sh win64 linux

demo="$here/build/demo"
rm -rf "$demo/emu" "$demo/software" "$demo/shots"
mkdir -p "$demo/emu/mame/reports" "$demo/emu/mame/roms" "$demo/emu/mess/reports" \
         "$demo/emu/mess/roms" "$demo/software" "$demo/shots"

# The stand-in emulator twice: as MAME and as MESS, each with the reports of
# the machines the demo may pick.
cp build/win64/fakemame.exe "$demo/emu/mame/mame.exe"
cp build/win64/fakemame.exe "$demo/emu/mess/mess.exe"
for game in pacman galaga dkong 1942; do
    /usr/games/mame -listxml "$game" > "$demo/emu/mame/reports/$game.xml" 2>/dev/null
    : > "$demo/emu/mame/roms/$game.zip"
done
for system in nes a2600; do
    /usr/games/mame -listxml "$system" > "$demo/emu/mess/reports/$system.xml" 2>/dev/null
done

# A software tree: loose files and a zip archive of several members.
mkdir -p "$demo/software/nes" "$demo/software/a2600/homebrew" "$demo/tmp"
head -c 40976 /dev/urandom > "$demo/software/nes/Mystery Quest.nes"
head -c 4096 /dev/urandom > "$demo/software/a2600/homebrew/Space Walk.bin"
for member in Combat.bin Outlaw.bin Breakout.a26; do
    head -c 2048 /dev/urandom > "$demo/tmp/$member"
done
(cd "$demo/tmp" && zip -q "$demo/software/a2600/classics.zip" Combat.bin Outlaw.bin Breakout.a26)
rm -rf "$demo/tmp"

# Artwork: snapshots, titles and flyers of different shapes, so all three
# layouts show up.
art() { mkdir -p "$(dirname "$1")"; convert -size "$2" "$3" "$1"; }
art "$demo/emu/mame/snap/pacman/0000.png" 448x576 gradient:gold-navy
art "$demo/emu/mame/titles/galaga.png" 640x480 gradient:purple-cyan
art "$demo/emu/mame/flyers/dkong.png" 300x200 pattern:checkerboard
art "$demo/emu/mame/cabinets/1942.png" 900x1400 gradient:darkgreen-yellow
art "$demo/emu/mess/snap/nes/Mystery Quest.png" 256x240 gradient:red-blue
art "$demo/emu/mess/cabinets/a2600.png" 1600x900 gradient:orange-black
art "$demo/emu/mess/snap/a2600/Combat.png" 320x210 gradient:teal-white

source scripts/wine-env.sh
if [ -z "${DISPLAY:-}" ]; then
    start_display
    trap stop_wine_and_display EXIT
    echo "demo: running on virtual display $DISPLAY"
else
    trap 'timeout 20 wineserver -k 2>/dev/null || true' EXIT
fi
make_prefix "$demo/prefix"

win() { echo "Z:$(echo "$1" | tr / '\\')"; }
key='HKCU\Software\Quillmere'
"$W" reg delete "$key" /f >/dev/null 2>&1 || true
reg() { "$W" reg add "$key" /v "$1" /t "$2" /d "$3" /f >/dev/null; }
reg MamePath REG_SZ "$(win "$demo/emu/mame/mame.exe")"
reg MameRomsPath REG_SZ "$(win "$demo/emu/mame/roms")"
reg MameOption REG_SZ "-skip_gameinfo -nowindow"
reg MessPath REG_SZ "$(win "$demo/emu/mess/mess.exe")"
reg MessSoftwarePath REG_SZ "$(win "$demo/software")"
reg MessBiosPath REG_SZ "$(win "$demo/emu/mess/roms")"
reg MessOption REG_SZ "-skip_gameinfo -skip_warnings -nonu  -nowindow"
reg MameCheckOnlyPerfect REG_DWORD 0
reg SystemChangeTimer REG_DWORD 5000
reg SplashScreenTimer REG_DWORD 2500
reg WaitForMESSTimer REG_DWORD 1000
reg PollTimer REG_DWORD 100

echo "demo: Quillmere.scr /s for $seconds s; screenshots in build/demo/shots"
"$W" build/win64/Quillmere.scr /s &
saver=$!
for i in $(seq 1 "$seconds"); do
    sleep 1
    if ! kill -0 "$saver" 2>/dev/null; then
        echo "demo: the saver ended by itself"
        break
    fi
    if [ $((i % 3)) -eq 0 ]; then
        import -window root -display "$DISPLAY" "$demo/shots/$(printf 'shot-%03d' "$i").png"
    fi
done
if kill -0 "$saver" 2>/dev/null; then
    xdotool key Escape
    for _ in $(seq 1 150); do kill -0 "$saver" 2>/dev/null || break; sleep 0.1; done
fi
if kill -0 "$saver" 2>/dev/null; then
    echo "demo: the saver did not end on Escape"; kill -9 "$saver"; exit 1
fi
wait "$saver" || true
echo "demo: runs the stand-in emulator logged:"
cat "$demo/emu/mame/fakemame.log" "$demo/emu/mess/fakemame.log" 2>/dev/null | tr -d '\r' | sed 's/^/  /'

# ---- The Linux edition, driving Debian's real MAME ---------------------------
linux="$demo/linux"
rm -rf "$linux"
mkdir -p "$linux/home/.config/quillmere"
for game in pong pongd breakout rebound; do mkdir -p "$linux/roms/$game"; done
cat > "$linux/home/.config/quillmere/settings" <<SETTINGS
MamePath=/usr/games/mame
MameRomsPath=$linux/roms
MameOption=-sound none -skip_gameinfo
SystemChangeTimer=10000
SplashScreenTimer=3000
WaitForMESSTimer=2000
PollTimer=100
SETTINGS
echo "demo: quillmere run for 60 s with /usr/games/mame (settings $linux/home/.config/quillmere/settings)"
env -u XDG_CONFIG_HOME HOME="$linux/home" build/linux/quillmere run 2> "$linux/quillmere.log" &
saver=$!
launched=" "
for i in $(seq 1 120); do
    sleep 0.5
    kill -0 "$saver" 2>/dev/null || { echo "demo: quillmere ended by itself"; break; }
    for pid in $(pgrep -P "$saver" -f -- -rompath || true); do
        case "$launched" in *" $pid "*) continue ;; esac
        launched="$launched$pid "
        echo "demo: launch $pid: $(tr '\0' ' ' < "/proc/$pid/cmdline")"
    done
    if [ $((i % 4)) -eq 0 ]; then
        import -window root -display "$DISPLAY" "$demo/shots/$(printf 'linux-%03d' $((i / 2))).png"
    fi
done
if kill -0 "$saver" 2>/dev/null; then
    xdotool key Escape
    for _ in $(seq 1 150); do kill -0 "$saver" 2>/dev/null || break; sleep 0.1; done
fi
if kill -0 "$saver" 2>/dev/null; then
    echo "demo: quillmere did not end on Escape"; kill -9 "$saver"; exit 1
fi
wait "$saver" || true
ls "$demo/shots"
