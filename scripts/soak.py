"""The soak run behind scripts/soak.sh: lays out a stand-in MAME and MESS
under WORK, points the settings of the current Wine prefix at them with short
timers, runs the real Quillmere.scr /s until ROUNDS launches are logged, and
prints what the saver's process held at round 10, halfway and at the end,
with the launches, closes and any processes left behind.

    python3 scripts/soak.py ROUNDS WORK BUILD SECONDS

Expects DISPLAY and WINEPREFIX set and the wineserver kept up (soak.sh does
that). Exit status 0 when the saver lived to the last round, every launch was
closed and nothing of ours is left running; 1 otherwise.
"""
import os
import shutil
import signal
import subprocess
import sys
import time

WINE = "/usr/lib/wine/wine64"
KEY = r"HKCU\Software\Quillmere"
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

GAMES = ["pacman", "galaga", "dkong", "1942", "mspacman", "digdug"]
SYSTEMS = ["nes", "a2600"]
TIMERS = dict(PollTimer=100, SplashScreenTimer=200, WaitForMESSTimer=300,
              SystemChangeTimer=500)
# A query still running after this long has outlived the runner's own 30 s limit.
QUERY_LIMIT_S = 35
# How long an older run may linger beside a newer one (Wine's process exit
# can trail the Windows-side end by a moment) before it counts as a stray.
OVERLAP_GRACE_S = 3


def winpath(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(args, timeout=60, check=True):
    # Output through files, not pipes: Wine's services inherit the handles.
    with open(os.devnull, "wb") as null:
        result = subprocess.run(args, stdout=null, stderr=null, timeout=timeout)
    if check and result.returncode != 0:
        raise RuntimeError("%s failed with %d" % (" ".join(args), result.returncode))
    return result.returncode


def wine_output(*args, timeout=30):
    out_path = os.path.join(WORK, "wine-out.txt")
    with open(out_path, "wb") as out, open(os.devnull, "wb") as null:
        rc = subprocess.run([WINE] + list(args), stdout=out, stderr=null,
                            timeout=timeout).returncode
    with open(out_path, errors="replace") as f:
        return rc, f.read().replace("\r\n", "\n")


# ---- the lay-out ---------------------------------------------------------------

def real_report(name):
    """NAME's -listxml report from Debian's mame, cached across soak runs."""
    cache = os.path.join(WORK, "reports")
    os.makedirs(cache, exist_ok=True)
    path = os.path.join(cache, name + ".xml")
    if not os.path.exists(path):
        with open(path + ".tmp", "wb") as f:
            rc = subprocess.run(["/usr/games/mame", "-listxml", name], stdout=f,
                                stderr=subprocess.DEVNULL, timeout=120).returncode
        if rc != 0:
            raise RuntimeError("mame knows no machine " + name)
        os.replace(path + ".tmp", path)
    return path


def picture(path, size, fill):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    run(["convert", "-size", size, fill, "PNG24:" + path])


def archive(zip_path, members, stored=False):
    """A zip of PNGs written by Info-ZIP zip, from (name, size, fill) rows."""
    staging = zip_path + ".d"
    os.makedirs(staging)
    for name, size, fill in members:
        picture(os.path.join(staging, name), size, fill)
    run(["zip", "-q", "-j", "-0" if stored else "-9", zip_path] +
        [os.path.join(staging, name) for name, _, _ in members])
    shutil.rmtree(staging)


def emulator(name, exe, machines):
    folder = os.path.join(WORK, "emu", name)
    os.makedirs(os.path.join(folder, "reports"))
    shutil.copy(os.path.join(BUILD, "fakemame.exe"), os.path.join(folder, exe))
    for machine in machines:
        shutil.copy(real_report(machine), os.path.join(folder, "reports", machine + ".xml"))
    return folder


def lay_out():
    for old in ("emu", "software"):
        shutil.rmtree(os.path.join(WORK, old), ignore_errors=True)
    mame = emulator("mame", "mame.exe", GAMES)
    mess = emulator("mess", "mess.exe", SYSTEMS)
    os.makedirs(os.path.join(mame, "roms"))
    os.makedirs(os.path.join(mess, "roms"))
    for game in GAMES:
        open(os.path.join(mame, "roms", game + ".zip"), "wb").close()

    # Arcade artwork in every shape the lookup knows: a snapshot folder, a
    # category picture, zipped snapshots (deflated), zipped flyers (stored),
    # zipped titles; digdug has none.
    picture(os.path.join(mame, "snap", "pacman", "0000.png"), "448x576", "gradient:gold-navy")
    picture(os.path.join(mame, "snap", "pacman", "0001.png"), "448x576", "gradient:navy-gold")
    picture(os.path.join(mame, "titles", "galaga.png"), "1920x1080", "gradient:purple-cyan")
    archive(os.path.join(mame, "snap.zip"), [("dkong.png", "1024x768", "gradient:red-black")])
    archive(os.path.join(mame, "flyers.zip"), [("1942.png", "300x200", "pattern:checkerboard")],
            stored=True)
    archive(os.path.join(mame, "titles.zip"), [("mspacman.png", "640x480", "gradient:pink-blue")])

    # The MESS side: loose software and a zip archive of several members.
    software = os.path.join(WORK, "software")
    for folder in ("nes", os.path.join("a2600", "homebrew")):
        os.makedirs(os.path.join(software, folder))
    for path, size in (("nes/Mystery Quest.nes", 40976), ("nes/Second Try.nes", 24592),
                       ("a2600/homebrew/Space Walk.bin", 4096)):
        with open(os.path.join(software, path), "wb") as f:
            f.write(os.urandom(size))
    staging = os.path.join(WORK, "a2600-zip")
    shutil.rmtree(staging, ignore_errors=True)
    os.makedirs(staging)
    members = ["Combat.bin", "Outlaw.a26", "Breakout.bin"]
    for member in members:
        with open(os.path.join(staging, member), "wb") as f:
            f.write(os.urandom(2048))
    run(["zip", "-q", "-j", os.path.join(software, "a2600", "classics.zip")] +
        [os.path.join(staging, m) for m in members])
    shutil.rmtree(staging)
    picture(os.path.join(mess, "snap", "nes", "Mystery Quest.png"), "256x240",
            "gradient:red-blue")
    archive(os.path.join(mess, "cabinets.zip"), [("a2600.png", "1600x900",
                                                  "gradient:orange-black")])
    return mame, mess, software


def configure(mame, mess, software):
    run([WINE, "reg", "delete", KEY, "/f"], check=False)

    def reg(name, kind, data):
        run([WINE, "reg", "add", KEY, "/v", name, "/t", kind, "/d", str(data), "/f"])

    reg("MamePath", "REG_SZ", winpath(os.path.join(mame, "mame.exe")))
    reg("MameRomsPath", "REG_SZ", winpath(os.path.join(mame, "roms")))
    reg("MameOption", "REG_SZ", "-skip_gameinfo -nowindow")
    reg("MessPath", "REG_SZ", winpath(os.path.join(mess, "mess.exe")))
    reg("MessSoftwarePath", "REG_SZ", winpath(software))
    reg("MessBiosPath", "REG_SZ", winpath(os.path.join(mess, "roms")))
    reg("MessOption", "REG_SZ", "-skip_gameinfo -skip_warnings -nonu  -nowindow")
    reg("MameCheckOnlyPerfect", "REG_DWORD", 0)
    reg("SystemsList", "REG_MULTI_SZ", "\\0".join(["nes nes", "a2600 bin", "a2600 a26"]))
    for name, value in TIMERS.items():
        reg(name, "REG_DWORD", value)


# ---- watching ------------------------------------------------------------------

def alive(pid):
    """True while the Linux process runs (zombies count as ended)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[-1].split()[0] != "Z"
    except OSError:
        return False


def prefix_of(pid):
    try:
        with open("/proc/%d/environ" % pid, "rb") as f:
            for item in f.read().split(b"\0"):
                if item.startswith(b"WINEPREFIX="):
                    return os.path.abspath(item[11:].decode(errors="replace"))
    except OSError:
        pass
    return None


def our_processes():
    """{Linux pid: Windows command line} of the Wine processes of this prefix
    run from the repository tree (the saver, the stand-ins, their queries,
    the window driver)."""
    mark = winpath(ROOT).lower()
    prefix = os.path.abspath(os.environ["WINEPREFIX"])
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        pid = int(entry)
        try:
            exe = os.path.basename(os.readlink("/proc/%d/exe" % pid))
            with open("/proc/%d/cmdline" % pid, "rb") as f:
                cmdline = f.read().replace(b"\0", b" ").decode(errors="replace").strip()
        except OSError:
            continue
        if "wine" not in exe or mark not in cmdline.lower():
            continue
        if prefix_of(pid) == prefix and alive(pid):
            found[pid] = cmdline
    return found


def kind_of(cmdline):
    lower = cmdline.lower()
    if "quillmere.scr" in lower:
        return "saver"
    if "windriver.exe" in lower:
        return "driver"
    if "-listxml" in lower:
        return "query"
    if "mame.exe" in lower or "mess.exe" in lower:
        return "run"
    return "other"


class Watch:
    """First and last sighting of every stand-in process, from polls of /proc."""

    def __init__(self):
        self.seen = {}          # pid -> [kind, first, last]
        self.most_runs = 0

    def poll(self):
        now = time.time()
        runs = 0
        for pid, cmdline in our_processes().items():
            kind = kind_of(cmdline)
            if kind not in ("run", "query"):
                continue
            entry = self.seen.setdefault(pid, [kind, now, now])
            entry[2] = now
            runs += kind == "run"
        self.most_runs = max(self.most_runs, runs)

    def stray_runs(self):
        """Runs still alive OVERLAP_GRACE_S after a newer run appeared."""
        runs = sorted((first, last, pid) for pid, (kind, first, last) in self.seen.items()
                      if kind == "run")
        strays = set()
        for i, (first, last, pid) in enumerate(runs):
            if any(last - newer_first >= OVERLAP_GRACE_S for newer_first, _, _ in runs[i + 1:]):
                strays.add(pid)
        return strays

    def long_queries(self):
        return {pid for pid, (kind, first, last) in self.seen.items()
                if kind == "query" and last - first >= QUERY_LIMIT_S}


def log_entries(folder):
    path = os.path.join(folder, "fakemame.log")
    if not os.path.exists(path):
        return []
    with open(path, errors="replace") as f:
        return [line.rstrip("\r\n").split("\t") for line in f if line.strip()]


def counts(mame, mess):
    """(launches, closes, MAME launches, MESS launches, launches never closed)."""
    starts = {"mame": 0, "mess": 0}
    closes = 0
    unclosed = set()
    for name, folder in (("mame", mame), ("mess", mess)):
        for entry in log_entries(folder):
            if entry[0] == "start":
                starts[name] += 1
                unclosed.add((name, entry[1]))
            elif entry[0] == "close":
                closes += 1
                unclosed.discard((name, entry[1]))
    return sum(starts.values()), closes, starts["mame"], starts["mess"], unclosed


def status_number(pid, field):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def wineserver_pid():
    prefix = os.path.abspath(os.environ["WINEPREFIX"])
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            if os.path.basename(os.readlink("/proc/%s/exe" % entry)).startswith("wineserver") and \
                    prefix_of(int(entry)) == prefix:
                return int(entry)
        except OSError:
            continue
    return None


def sample(linux_pid, windows_pid):
    values = {"rss": status_number(linux_pid, "VmRSS"), "threads": status_number(linux_pid, "Threads")}
    try:
        values["fds"] = len(os.listdir("/proc/%d/fd" % linux_pid))
    except OSError:
        values["fds"] = None
    rc, out = wine_output(os.path.join(BUILD, "windriver.exe"), "resources", str(windows_pid))
    for item in out.split() if rc == 0 else []:
        name, _, value = item.partition("=")
        values[name] = int(value)
    server = wineserver_pid()
    values["server_rss"] = status_number(server, "VmRSS") if server else None
    values["load"] = open("/proc/loadavg").read().split()[0]
    return values


def windows_pid_of_saver():
    driver = os.path.join(BUILD, "windriver.exe")
    rc, out = wine_output(driver, "wait", "WindowsScreenSaverClass", "SCREENSAVER", "30000",
                          timeout=60)
    if rc != 0:
        return None
    rc, out = wine_output(driver, "info", out.split()[0])
    for item in out.split():
        if item.startswith("pid="):
            return int(item[4:])
    return None


# ---- the run -------------------------------------------------------------------

def table(rounds, samples, elapsed, tally, watch, ending, loads):
    launches, closes, mame_runs, mess_runs, unclosed = tally
    marks = sorted(samples)
    print()
    print("soak: %d of %d rounds of Quillmere.scr /s in %.0f s (%.2f s a round); timers %s" % (
        launches, rounds, elapsed, elapsed / max(launches, 1),
        ", ".join("%s %d" % item for item in TIMERS.items())))
    print("load average (1 min) at start %s, at end %s, highest seen %s (2 cores, shared)" % (
        loads[0], loads[-1], max(loads, key=float)))
    header = "%-26s" % "" + "".join("%12s" % ("round %d" % m) for m in marks) + "%12s" % "change"
    print(header)
    rows = [("resident memory (kB)", "rss"), ("open descriptors", "fds"),
            ("threads", "threads"),
            ("GDI objects", "gdi"), ("USER objects", "user"), ("handles", "handles"),
            ("wineserver memory (kB)", "server_rss")]
    for label, name in rows:
        values = [samples[m].get(name) for m in marks]
        change = "" if not values or None in values else "%+d" % (values[-1] - values[0])
        print("%-26s" % label + "".join("%12s" % ("-" if v is None else v) for v in values) +
              "%12s" % change)
    windows = [samples[m].get(n) for m in marks for n in ("gdi", "user", "handles")]
    if windows and not any(windows):
        print("  (Wine reports 0 for the GDI, USER and handle counts of every process)")
    print("launches %d (MAME %d, MESS %d), closes %d, launches never closed %d" % (
        launches, mame_runs, mess_runs, closes, len(unclosed)))
    seen = [kind for kind, _, _ in watch.seen.values()]
    print("processes seen: %d runs, %d queries; runs alive at once: at most %d; stray runs %d; "
          "queries alive over %d s: %d" % (seen.count("run"), seen.count("query"), watch.most_runs,
                                           len(watch.stray_runs()), QUERY_LIMIT_S,
                                           len(watch.long_queries())))
    print("after Escape: %s" % ending)


def main():
    global WORK, BUILD
    rounds, WORK, BUILD, limit = int(sys.argv[1]), sys.argv[2], sys.argv[3], float(sys.argv[4])
    os.makedirs(WORK, exist_ok=True)
    mame, mess, software = lay_out()
    configure(mame, mess, software)
    leftovers = our_processes()
    if leftovers:
        print("soak: processes of ours already run: %s" % leftovers)
        return 1

    marks = sorted({min(10, rounds), max(rounds // 2, min(10, rounds)), rounds})
    print("soak: %d rounds, time limit %d s; sampling at rounds %s" % (
        rounds, limit, ", ".join(map(str, marks))))
    began = time.time()
    saver = subprocess.Popen([WINE, os.path.join(BUILD, "Quillmere.scr"), "/s"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                             start_new_session=True)
    windows_pid = windows_pid_of_saver()
    samples, loads, failure = {}, [open("/proc/loadavg").read().split()[0]], None
    watch = Watch()
    last_report = began
    if windows_pid is None:
        failure = "the saver's window did not appear"
    while failure is None:
        watch.poll()
        if saver.poll() is not None:
            failure = "the saver ended by itself (exit %d)" % saver.returncode
            break
        launches = counts(mame, mess)[0]
        for mark in marks:
            if launches >= mark and mark not in samples:
                samples[mark] = sample(saver.pid, windows_pid)
                loads.append(samples[mark]["load"])
        if launches >= rounds:
            break
        if time.time() - began > limit:
            failure = "only %d of %d rounds in %d s" % (launches, rounds, limit)
            break
        if time.time() - last_report >= 60:
            last_report = time.time()
            loads.append(open("/proc/loadavg").read().split()[0])
            print("soak: %d launches after %.0f s (load %s)" % (launches, last_report - began,
                                                                 loads[-1]), flush=True)
        time.sleep(0.25)
    elapsed = time.time() - began

    # The end: Escape, then the saver must be gone with everything it ran.
    ending = "not pressed"
    if saver.poll() is None:
        pressed = time.time()
        run(["xdotool", "key", "Escape"], timeout=10, check=False)
        try:
            code = saver.wait(timeout=20)
            ending = "saver exit %d after %.1f s" % (code, time.time() - pressed)
        except subprocess.TimeoutExpired:
            ending = "saver still running 20 s after Escape"
            failure = failure or ending
    deadline = time.time() + 10
    left = our_processes()
    while left and time.time() < deadline:
        watch.poll()
        time.sleep(0.2)
        left = our_processes()
    tally = counts(mame, mess)
    ending += "; left running: %s" % (", ".join("%d %s" % item for item in left.items())
                                       or "nothing")
    table(rounds, samples, elapsed, tally, watch, ending, loads)
    for pid in left:
        try:
            os.kill(pid, signal.SIGKILL)
        except OSError:
            pass
    if saver.poll() is None:
        os.killpg(saver.pid, signal.SIGKILL)

    problems = [failure] if failure else []
    if left:
        problems.append("processes left running")
    if tally[4]:
        problems.append("launches never closed: %s" % sorted(tally[4]))
    if watch.stray_runs():
        problems.append("stray stand-in runs")
    if watch.long_queries():
        problems.append("queries that outlived the runner's limit")
    for problem in problems:
        print("soak: FAILED: %s" % problem)
    if not problems:
        print("soak: passed")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
