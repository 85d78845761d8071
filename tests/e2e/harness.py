"""End-to-end harness: the real Quillmere.scr under Wine on a virtual X server.

One Environment per test run: its own Xvfb display (unless QUILLMERE_DISPLAY
names one), its own Wine prefix with unmanaged windows, a kept-up wineserver.
Tests seed the registry, start the saver, drive windows through windriver.exe
and xdotool, take screenshots and probe pixels. Every wait has a time limit;
`reset()` ends every Windows process of the prefix between tests.
"""
import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("QUILLMERE_BUILD", os.path.join(ROOT, "build", "win64"))
WORK = os.environ.get("QUILLMERE_E2E_DIR", os.path.join(ROOT, "build", "e2e"))
WINE = "/usr/lib/wine/wine64"
KEY = r"HKCU\Software\Quillmere"
SCREEN = (1024, 768)


def winpath(path):
    """The Windows name of a Linux path (Wine maps Z: to /)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Image:
    """An RGB screenshot: pixel probes and simple region statistics."""

    def __init__(self, width, height, data, path):
        self.width, self.height, self.data, self.path = width, height, data, path

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def _row_matches(self, y, left, right, colour):
        """For one row of box columns: a bytes object with 0 where the pixel has
        colour exactly. Whole rows are compared at once as big integers."""
        width = right - left
        row = self.data[(y * self.width + left) * 3:(y * self.width + right) * 3]
        diff = 0
        for k in range(3):
            mask = int.from_bytes(bytes([colour[k]]) * width, "big")
            diff |= int.from_bytes(row[k::3], "big") ^ mask
        return diff.to_bytes(width, "big")

    def count(self, colour, box=None):
        """How many pixels of box (left, top, right, bottom) have colour exactly."""
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        return sum(self._row_matches(y, left, right, colour).count(0)
                   for y in range(top, bottom))

    def bounds(self, colour, box=None):
        """Smallest (left, top, right, bottom) holding every pixel of colour, or None."""
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        found = None
        for y in range(top, bottom):
            same = self._row_matches(y, left, right, colour)
            first = same.find(0)
            if first < 0:
                continue
            last = same.rfind(0)
            if found is None:
                found = [left + first, y, left + last + 1, y + 1]
            else:
                found = [min(found[0], left + first), found[1],
                         max(found[2], left + last + 1), y + 1]
        return tuple(found) if found else None


class Environment:
    def __init__(self):
        os.makedirs(WORK, exist_ok=True)
        self.xvfb = None
        self.display = os.environ.get("QUILLMERE_DISPLAY") or self._start_xvfb()
        self.prefix = os.path.join(WORK, "prefix")
        self.env = dict(os.environ, DISPLAY=self.display, WINEPREFIX=self.prefix,
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        self._make_prefix()
        self.shots = os.path.join(WORK, "shots")
        os.makedirs(self.shots, exist_ok=True)

    # ---- set-up and tear-down -------------------------------------------------

    def _start_xvfb(self):
        for n in range(150, 200):
            if os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n):
                continue
            proc = subprocess.Popen(["Xvfb", ":%d" % n, "-screen", "0", "%dx%dx24" % SCREEN,
                                     "-nolisten", "tcp"], stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            deadline = time.time() + 10
            while time.time() < deadline:
                if os.path.exists("/tmp/.X11-unix/X%d" % n):
                    self.xvfb = proc
                    return ":%d" % n
                if proc.poll() is not None:
                    break
                time.sleep(0.05)
            proc.kill()
        raise RuntimeError("no free X display")

    def _make_prefix(self):
        ready = os.path.join(self.prefix, ".quillmere-ready")
        if not os.path.exists(ready):
            shutil.rmtree(self.prefix, ignore_errors=True)
            os.makedirs(self.prefix)
            self.wine("wineboot", "-i", timeout=180)
            self.wine("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                      "/t", "REG_SZ", "/d", "N", "/f")
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=60)
            open(ready, "w").close()
        subprocess.run(["wineserver", "-p"], env=self.env, timeout=30)
        # Start the services once now, so no test pays for them.
        self.wine("cmd", "/c", "exit", timeout=60)

    def our_processes(self):
        """Linux pids of the Windows programs run from the repository tree: Wine
        processes whose Windows command line names a file below it. Linux tools
        working in the tree (compilers, editors) are never matched."""
        mark = winpath(ROOT).lower()
        pids = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                exe = os.readlink("/proc/%s/exe" % entry)
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    cmdline = f.read().replace(b"\0", b" ").decode(errors="replace").lower()
            except OSError:
                continue
            if "wine" not in os.path.basename(exe) or mark not in cmdline:
                continue
            # Another test run (another prefix) is not ours to end.
            if self._prefix_of(entry) not in (None, self.prefix) or not process_alive(int(entry)):
                continue
            pids.append(int(entry))
        return pids

    @staticmethod
    def _prefix_of(pid):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                for item in f.read().split(b"\0"):
                    if item.startswith(b"WINEPREFIX="):
                        return os.path.abspath(item[11:].decode(errors="replace"))
        except OSError:
            pass
        return None

    def reset(self):
        """Ends every Windows program started from the repository tree."""
        for _ in range(3):
            pids = self.our_processes()
            if not pids:
                return
            for pid in pids:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            wait_until(lambda: not any(process_alive(p) for p in pids), 5, 0.05)
        # Last resort: end the whole prefix and start its server afresh.
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30,
                       stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=30,
                       stderr=subprocess.DEVNULL)
        survivors = wait_until(lambda: not self.our_processes(), 10) or self.our_processes()
        if survivors and survivors is not True:
            raise RuntimeError("Windows programs survive: %s" % survivors)
        subprocess.run(["wineserver", "-p"], env=self.env, timeout=30)
        self.wine("cmd", "/c", "exit", timeout=60)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30,
                       stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.kill()
            self.xvfb.wait(timeout=10)

    # ---- running programs -----------------------------------------------------

    def wine(self, *args, timeout=30, check=False):
        # Output goes through files, not pipes: Wine's service processes, started
        # by whichever program comes first after a server start, inherit the
        # standard handles and would hold a pipe open long after the program ends.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            proc = subprocess.run([WINE] + list(args), env=self.env, timeout=timeout,
                                  stdout=out, stderr=err)
            out.seek(0)
            err.seek(0)
            result = subprocess.CompletedProcess(
                proc.args, proc.returncode, out.read().decode(errors="replace"),
                err.read().decode(errors="replace"))
        if check and result.returncode != 0:
            raise RuntimeError("%s failed (%d): %s" % (args, result.returncode, result.stderr))
        return result

    def start(self, *args, output=None):
        """Starts a Windows program; returns its Popen (the Linux pid is its own).
        Its standard output goes to the file output when given."""
        out = open(output, "wb") if output else subprocess.DEVNULL
        try:
            return subprocess.Popen([WINE] + list(args), env=self.env, stdout=out,
                                    stderr=subprocess.DEVNULL, start_new_session=True)
        finally:
            if output:
                out.close()

    def start_saver(self, *mode):
        return self.start(os.path.join(BUILD, "Quillmere.scr"), *mode)

    def driver(self, *args, timeout=20):
        """Runs windriver.exe; returns (exit code, output)."""
        result = self.wine(os.path.join(BUILD, "windriver.exe"), *[str(a) for a in args],
                           timeout=timeout)
        return result.returncode, result.stdout.replace("\r\n", "\n")

    def preview_parent(self, width=152, height=112, seconds=30):
        """Starts a window that can hold a preview (as the display settings would);
        returns (its Popen, its handle as text)."""
        out = os.path.join(WORK, "parent.txt")
        if os.path.exists(out):
            os.remove(out)
        proc = self.start(os.path.join(BUILD, "windriver.exe"), "parent", str(width),
                          str(height), str(seconds), output=out)
        hwnd = wait_until(lambda: os.path.exists(out) and open(out).read().strip(), 10)
        return proc, hwnd or ""

    def wait_window(self, cls, title="-", timeout_ms=10000):
        rc, out = self.driver("wait", cls, title, timeout_ms, timeout=timeout_ms / 1000 + 20)
        return int(out.split()[0]) if rc == 0 else None

    def window_info(self, hwnd):
        rc, out = self.driver("info", hwnd)
        if rc != 0:
            return None
        return parse_info(out.strip())

    def message_box(self, timeout_ms=10000):
        """The next message box as {'hwnd', 'caption', 'text'}, or None."""
        rc, out = self.driver("msgbox", timeout_ms, timeout=timeout_ms / 1000 + 20)
        if rc != 0:
            return None
        box = {}
        for line in out.split("\n"):
            if "=" in line:
                name, value = line.split("=", 1)
                box.setdefault(name, value)
        box["hwnd"] = int(box["hwnd"])
        return box

    def key(self, *keys):
        subprocess.run(["xdotool", "key", "--delay", "50"] + list(keys), env=self.env,
                       timeout=10)

    def click(self, x, y, button=1):
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", str(button)],
                       env=self.env, timeout=10)

    def move_mouse(self, x, y):
        subprocess.run(["xdotool", "mousemove", str(x), str(y)], env=self.env, timeout=10)

    def screenshot(self, name):
        png = os.path.join(self.shots, name + ".png")
        subprocess.run(["import", "-window", "root", "-display", self.display, png],
                       env=self.env, timeout=30, check=True)
        rgb = subprocess.run(["convert", png, "-depth", "8", "rgb:-"], timeout=30,
                             check=True, stdout=subprocess.PIPE).stdout
        return Image(SCREEN[0], SCREEN[1], rgb, png)

    # ---- registry -------------------------------------------------------------

    def reg_set(self, name, kind, data):
        """Sets a value of the settings key: kind REG_SZ, REG_DWORD or REG_MULTI_SZ."""
        result = self.wine("reg", "add", KEY, "/v", name, "/t", kind, "/d", str(data), "/f")
        if result.returncode != 0:
            raise RuntimeError("reg add %s failed: %s" % (name, result.stderr))

    def reg_query(self, name):
        """(type, text) of a value of the settings key, or None when it is missing."""
        result = self.wine("reg", "query", KEY, "/v", name)
        if result.returncode != 0:
            return None
        for line in result.stdout.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[0] == name and parts[1].startswith("REG_"):
                return parts[1], parts[2] if len(parts) == 3 else ""
        return None

    def reg_delete_key(self):
        self.wine("reg", "delete", KEY, "/f")

    def configure(self, **values):
        """Replaces the settings key with the given values (str: REG_SZ, int: REG_DWORD,
        list: REG_MULTI_SZ lines)."""
        self.reg_delete_key()
        self.wine("reg", "add", KEY, "/f")
        for name, value in values.items():
            if isinstance(value, int):
                self.reg_set(name, "REG_DWORD", value)
            elif isinstance(value, list):
                self.reg_set(name, "REG_MULTI_SZ", "\\0".join(value))
            else:
                self.reg_set(name, "REG_SZ", value)


def parse_info(line):
    """Parses a windriver 'info' line into a dict (title may hold blanks)."""
    info = {}
    names = ["hwnd", "class", "title", "style", "exstyle", "parent", "rect", "visible", "pid",
             "id"]
    rest = line
    for i, name in enumerate(names):
        assert rest.startswith(name + "="), line
        rest = rest[len(name) + 1:]
        if i + 1 < len(names):
            end = rest.find(" " + names[i + 1] + "=")
            value, rest = rest[:end], rest[end + 1:]
        else:
            value = rest
        info[name] = value
    info["rect"] = tuple(int(v) for v in info["rect"].split(","))
    for name in ("hwnd", "parent", "pid", "visible", "id"):
        info[name] = int(info[name])
    for name in ("style", "exstyle"):
        info[name] = int(info[name], 16)
    return info


class Emulator:
    """A stand-in emulator installed under WORK/NAME: copies fakemame.exe as exe_name,
    serves reports from reports/, logs runs in fakemame.log."""

    def __init__(self, name, exe_name="mame.exe", reports=(), switches=()):
        self.folder = os.path.join(WORK, name)
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(os.path.join(self.folder, "reports"))
        self.exe_name = exe_name
        shutil.copy(os.path.join(BUILD, "fakemame.exe"), os.path.join(self.folder, exe_name))
        for report in reports:
            self.add_report(report)
        for switch in switches:
            self.switch(switch)

    @property
    def exe(self):
        return os.path.join(self.folder, self.exe_name)

    @property
    def win_exe(self):
        return winpath(self.exe)

    @property
    def win_folder(self):
        return winpath(self.folder)

    def add_report(self, name, text=None):
        """Serves NAME's report: the given text, or the real one from Debian's mame."""
        if text is None:
            text = real_report(name)
        with open(os.path.join(self.folder, "reports", name + ".xml"), "w") as f:
            f.write(text)

    def switch(self, name, on=True):
        path = os.path.join(self.folder, name)
        if on:
            open(path, "w").close()
        elif os.path.exists(path):
            os.remove(path)

    def log(self):
        """The stand-in's log as a list of (event, pid, rest...) tuples."""
        path = os.path.join(self.folder, "fakemame.log")
        if not os.path.exists(path):
            return []
        with open(path, errors="replace") as f:
            return [tuple(line.rstrip("\r\n").split("\t")) for line in f if line.strip()]

    def starts(self):
        return [entry for entry in self.log() if entry[0] == "start"]


def real_report(name):
    """The -listxml report of Debian's mame for name, cached under WORK/reports."""
    cache = os.path.join(WORK, "reports")
    os.makedirs(cache, exist_ok=True)
    path = os.path.join(cache, name + ".xml")
    if not os.path.exists(path):
        result = subprocess.run(["/usr/games/mame", "-listxml", name], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, timeout=60)
        if result.returncode != 0:
            raise RuntimeError("mame knows no machine " + name)
        with open(path + ".tmp", "wb") as f:
            f.write(result.stdout)
        os.replace(path + ".tmp", path)
    with open(path, errors="replace") as f:
        return f.read()


def wait_until(predicate, timeout, interval=0.1):
    """Polls predicate until it is true or timeout seconds pass; returns its last value."""
    deadline = time.time() + timeout
    while True:
        value = predicate()
        if value or time.time() >= deadline:
            return value
        time.sleep(interval)


def process_alive(pid):
    """True while the Linux process pid runs (zombies count as ended)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(")")[-1].split()[0] != "Z"
    except (FileNotFoundError, ProcessLookupError):
        return False


_environment = None


def environment():
    global _environment
    if _environment is None:
        _environment = Environment()
    return _environment


def shutdown():
    global _environment
    if _environment is not None:
        _environment.close()
        _environment = None


class WineTestCase(unittest.TestCase):
    """Each test starts with no Windows process running and no settings key."""

    def setUp(self):
        self.env = environment()
        self.env.reset()
        self.env.reg_delete_key()
        self.started = []

    def tearDown(self):
        for proc in self.started:
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        self.env.reset()

    def start_saver(self, *mode):
        proc = self.env.start_saver(*mode)
        self.started.append(proc)
        return proc

    def wait_exit(self, proc, timeout):
        """The exit code of proc, or fails the test when it outlives timeout seconds."""
        try:
            return proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.fail("process still running after %s s" % timeout)
