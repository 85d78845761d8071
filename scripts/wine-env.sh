# Sourced by the test and demo scripts: a virtual X server and a Wine prefix
# of their own, and a way to stop everything they started.
#   start_display            sets DISPLAY to a fresh Xvfb (1024x768x24)
#   make_prefix DIR          sets WINEPREFIX to DIR, boots it, keeps wineserver up
#   stop_wine_and_display    ends the wineserver and the Xvfb started here
W=/usr/lib/wine/wine64
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
XVFB_PID=

start_display() {
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null || true
    done
    echo "no free X display" >&2
    return 1
}

make_prefix() {
    export WINEPREFIX="$1"
    if [ ! -f "$WINEPREFIX/.quillmere-ready" ]; then
        mkdir -p "$WINEPREFIX"
        timeout 120 "$W" wineboot -i >/dev/null 2>&1
        # Without a window manager Wine waits ~2 s after each window closes
        # unless its windows are unmanaged.
        timeout 30 "$W" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
        timeout 60 wineserver -w
        touch "$WINEPREFIX/.quillmere-ready"
    fi
    wineserver -p
}

stop_wine_and_display() {
    [ -n "${WINEPREFIX:-}" ] && timeout 20 wineserver -k 2>/dev/null || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
}
