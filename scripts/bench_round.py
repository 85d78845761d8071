#!/usr/bin/env python3
"""Times rounds of the real Quillmere.scr under Wine: queries per round and the
time from the poll ("Searching..." on the screen) to the title card, with the
stand-in emulator answering each -listxml after 300 ms, a ROM folder of 200
entries (7 BIOS sets and 3 devices; of the 190 games half are imperfect) and
"perfect drivers only" on. Run by scripts/bench-round.sh, which provides the
virtual screen and the Wine prefix.

    bench_round.py WORK STAND_IN_EXE CHECK_EXE LABEL=SCR [LABEL=SCR ...]

Each build runs a cold session (no cache file) and a warm one (a cache that
knows all 200 entries, made beforehand with CHECK_EXE); the first build named
also runs a cold session with a stand-in that answers at once.
"""
import ctypes
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

WINE = "/usr/lib/wine/wine64"
ROUNDS = int(os.environ.get("QUILLMERE_BENCH_ROUNDS", "15"))
ART = (150, 90, 30)
SEARCHING = (0, 255, 0)
WIDTH, ROW = 1024, 384        # the probed row crosses "Searching..."
GOOD, IMPERFECT, BIOS, DEVICES = 95, 95, 7, 3


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p), ("byte_order", ctypes.c_int),
                ("bitmap_unit", ctypes.c_int), ("bitmap_bit_order", ctypes.c_int),
                ("bitmap_pad", ctypes.c_int), ("depth", ctypes.c_int),
                ("bytes_per_line", ctypes.c_int), ("bits_per_pixel", ctypes.c_int)]


class Screen:
    """Reads one row of the X screen (32-bit BGRX pixels) through libX11."""

    def __init__(self):
        self.x = ctypes.cdll.LoadLibrary("libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.POINTER(XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                     ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.display = self.x.XOpenDisplay(None)
        if not self.display:
            raise RuntimeError("cannot open the X display")
        self.root = self.x.XDefaultRootWindow(self.display)

    def state(self):
        """'searching', 'title' (the artwork covers most of the row) or 'other'."""
        image = self.x.XGetImage(self.display, self.root, 0, ROW, WIDTH, 1, 0xFFFFFFFF, 2)
        row = ctypes.string_at(image.contents.data, WIDTH * 4)
        self.x.XFree(image.contents.data)
        self.x.XFree(image)
        green = bytes([SEARCHING[2], SEARCHING[1], SEARCHING[0]])
        art = bytes([ART[2], ART[1], ART[0]])
        pixels = [row[i:i + 3] for i in range(0, len(row), 4)]
        if green in pixels:
            return "searching"
        return "title" if pixels.count(art) > WIDTH // 2 else "other"


def wine(env, *args, timeout=120):
    return subprocess.run([WINE] + list(args), env=env, timeout=timeout,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout.decode(
                              errors="replace")


def prepare(work, stand_in):
    """The stand-in with its reports and artwork, and the ROM folder."""
    emu = os.path.join(work, "emu")
    roms = os.path.join(work, "roms")
    shutil.rmtree(emu, ignore_errors=True)
    shutil.rmtree(roms, ignore_errors=True)
    os.makedirs(os.path.join(emu, "reports"))
    os.makedirs(roms)
    shutil.copy(stand_in, os.path.join(emu, "mame.exe"))
    picture = os.path.join(work, "art.png")
    subprocess.run(["convert", "-size", "16x16", "xc:rgb(%d,%d,%d)" % ART, "PNG24:" + picture],
                   check=True)
    names = []
    for n in range(GOOD + IMPERFECT):
        status = "good" if n % 2 == 0 else "imperfect"
        names.append(("game%03d" % n, "", '<driver status="%s" emulation="%s"/>' % (status, status)))
    names += [("bios%d" % n, ' isbios="yes"', '<driver status="good" emulation="good"/>')
              for n in range(BIOS)]
    names += [("dev%d" % n, ' isdevice="yes" runnable="no"', "") for n in range(DEVICES)]
    for name, attributes, driver in names:
        with open(os.path.join(emu, "reports", name + ".xml"), "w") as f:
            f.write('<?xml version="1.0"?>\n<mame build="bench">\n\t<machine name="%s" '
                    'sourcefile="bench.cpp"%s>\n\t\t<description>Bench %s</description>\n'
                    '\t\t<year>1990</year>\n\t\t%s\n\t</machine>\n</mame>\n'
                    % (name, attributes, name, driver))
        open(os.path.join(roms, name + ".zip"), "w").close()
        for category in ("cabinets", "cpanel", "flyers", "marquees", "titles", "pcb"):
            os.makedirs(os.path.join(emu, category), exist_ok=True)
            os.link(picture, os.path.join(emu, category, name + ".png"))
        os.makedirs(os.path.join(emu, "snap", name))
        os.link(picture, os.path.join(emu, "snap", name, "0000.png"))
    return emu, roms, [name for name, _, _ in names]


def configure(env, emu, roms):
    key = r"HKCU\Software\Quillmere"
    wine(env, "reg", "delete", key, "/f")
    values = [("MamePath", "REG_SZ", winpath(os.path.join(emu, "mame.exe"))),
              ("MameRomsPath", "REG_SZ", winpath(roms)), ("MameOption", "REG_SZ", "-nowindow"),
              ("MameCheckOnlyPerfect", "REG_DWORD", "1"), ("PollTimer", "REG_DWORD", "50"),
              ("SplashScreenTimer", "REG_DWORD", "300"), ("WaitForMESSTimer", "REG_DWORD", "300"),
              ("SystemChangeTimer", "REG_DWORD", "300")]
    for name, kind, data in values:
        wine(env, "reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f")


def log_lines(emu):
    path = os.path.join(emu, "fakemame.log")
    if not os.path.exists(path):
        return []
    with open(path, errors="replace") as f:
        return [line.rstrip("\r\n").split("\t") for line in f if line.strip()]


def our_processes(work):
    """Linux pids of Windows programs started from the work folder (the saver's
    stand-in emulators)."""
    mark = winpath(work).lower().encode()
    pids = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    if mark in f.read().lower():
                        pids.append(int(entry))
            except OSError:
                pass
    return pids


def session(env, screen, work, emu, scr):
    """Runs the saver for ROUNDS launches; per round: (ms from the poll to the
    title card, or None when the probe did not see both, queries, repeated
    queries, the game launched). The poll is when "Searching..." shows; a
    title card without it before (the old one shown again when the closing
    emulator's window uncovers the saver's) is no new round."""
    log = os.path.join(emu, "fakemame.log")
    if os.path.exists(log):
        os.remove(log)
    saver = subprocess.Popen([WINE, scr, "/s"], env=env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    titles, launches, searching_since, previous, size = [], [], None, "other", 0
    deadline = time.time() + 60 + ROUNDS * 15
    while len(launches) < ROUNDS and time.time() < deadline:
        state, now = screen.state(), time.monotonic()
        if state == "searching" and searching_since is None:
            searching_since = now
        if state == "title" and previous != "title" and searching_since is not None:
            titles.append((now, (now - searching_since) * 1000))
            searching_since = None
        previous = state
        if os.path.exists(log) and os.path.getsize(log) != size:
            size = os.path.getsize(log)
            started = sum(1 for line in log_lines(emu) if line[0] == "start")
            launches += [now] * (started - len(launches))
        time.sleep(0.001)
    subprocess.run(["xdotool", "key", "Escape"], env=env, timeout=10)
    try:
        saver.wait(timeout=20)
    except subprocess.TimeoutExpired:
        saver.kill()
        saver.wait()
    for pid in our_processes(work):
        try:
            os.kill(pid, 9)
        except ProcessLookupError:
            pass
    # Queries of round k: those logged after the (k-1)th launch, up to the kth;
    # a query for a name asked before in the session is a repeat.
    rounds, queries, repeats, asked = [], 0, 0, set()
    for line in log_lines(emu):
        if line[0] == "listxml":
            queries += 1
            repeats += line[1] in asked
            asked.add(line[1])
        elif line[0] == "start":
            rounds.append((queries, repeats, re.search(r'"(\w+)"$', line[3]).group(1)))
            queries = repeats = 0
    rows = []
    for k, launched in enumerate(launches[:len(rounds)]):
        earlier = launches[k - 1] if k else 0
        timed = [ms for t, ms in titles if earlier < t <= launched]
        rows.append((timed[-1] if timed else None,) + rounds[k])
    return rows


def cache_folder(env):
    local = wine(env, "cmd", "/c", "echo", "%LOCALAPPDATA%").strip()
    return wine(env, "winepath", "-u", local + "\\Quillmere").strip()


def warm_cache(env, emu, check, names):
    """Lets quillmere-check learn every entry (the stand-in answering at once)."""
    folder = cache_folder(env)
    for _ in range(6):
        wine(env, check, "choose", "1000", timeout=600)
        known = set()
        for name in os.listdir(folder) if os.path.isdir(folder) else []:
            with open(os.path.join(folder, name), errors="replace") as f:
                known |= {line.split("\t")[1] for line in f if line.startswith("m\t")}
        if known >= set(names):
            return
    raise RuntimeError("the cache did not learn every entry")


def summary(label, cache, delay, rows):
    times = [row[0] for row in rows if row[0] is not None]
    asked = [row[1] for row in rows]
    bad = sum(1 for row in rows if row[3] and not row[3].startswith("game"))
    return ("| %s | %s | %s | %.2f | %d | %.0f | %.0f | %d/%d | %d |"
            % (label, cache, delay, statistics.mean(asked), sum(row[2] for row in rows),
               statistics.median(times) if times else float("nan"),
               statistics.mean(times) if times else float("nan"), len(times), len(rows), bad))


def main():
    work, stand_in, check, builds = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    env = dict(os.environ)
    screen = Screen()
    emu, roms, names = prepare(work, stand_in)
    configure(env, emu, roms)
    slow = os.path.join(emu, "fake-slow-listxml")
    cache = cache_folder(env)
    header = ["| build | cache | query takes | queries per round | repeated queries "
              "| poll to title card, median ms | mean ms | rounds timed | BIOS/device launched |",
              "|---|---|---|---|---|---|---|---|---|"]
    results = []
    for n, build in enumerate(builds):
        label, scr = build.split("=", 1)
        runs = [("cold", "300ms"), ("warm", "300ms")] + ([("cold", "0ms")] if n == 0 else [])
        for kind, delay in runs:
            shutil.rmtree(cache, ignore_errors=True)
            if kind == "warm":
                if os.path.exists(slow):
                    os.remove(slow)
                warm_cache(env, emu, check, names)
            if delay == "300ms":
                open(slow, "w").close()
            elif os.path.exists(slow):
                os.remove(slow)
            rows = session(env, screen, work, emu, scr)
            results.append((label, kind, delay, rows))
            print("%s %s %s (ms/queries): %s" % (label, kind, delay, " ".join(
                "%s/%d" % ("-" if row[0] is None else "%.0f" % row[0], row[1]) for row in rows)),
                flush=True)
    print()
    print("\n".join(header))
    for label, kind, delay, rows in results:
        print(summary(label, kind, delay, rows))


if __name__ == "__main__":
    main()
