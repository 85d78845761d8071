# End-to-end harness: the real Quillmere.scr under Wine on a virtual X server.
#
# One Environment per test session: its own Xvfb display (unless
# QUILLMERE_DISPLAY names one), its own Wine prefix with unmanaged windows, a
# kept-up wineserver. Tests seed the registry, start programs, drive windows
# through windriver.exe and xdotool, and look at Pillow screenshots. Every wait
# has a time limit; reset() ends every Windows program started from the tree.
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from PIL import Image, ImageChops

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD = os.environ.get("QUILLMERE_BUILD", os.path.join(ROOT, "build", "win64"))
WORK = os.environ.get("QUILLMERE_E2E_DIR", os.path.join(ROOT, "build", "e2e"))
WINE = "/usr/lib/wine/wine64"
KEY = r"HKCU\Software\Quillmere"
SCREEN = (1024, 768)


def winpath(path):   # the Windows name of a Linux path (Wine maps Z: to /)
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wait_until(predicate, timeout, interval=0.1):
    # Polls predicate until it is true or timeout seconds pass; its last value.
    deadline = time.time() + timeout
    while not (value := predicate()) and time.time() < deadline:
        time.sleep(interval)
    return value


def process_alive(pid):   # zombies count as ended
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(")")[-1].split()[0] != "Z"
    except OSError:
        return False


def count(image, colour, box=None):   # pixels of image (within box) that have colour
    part = image.crop(box) if box else image
    return dict((c, n) for n, c in part.getcolors(part.width * part.height)).get(colour, 0)


def bounds(image, colour, box=(0, 0) + SCREEN):   # the box holding every pixel of colour, or None
    bands = [b.point(lambda v, c=c: 255 if v == c else 0) for b, c in zip(image.crop(box).split(), colour)]
    found = ImageChops.multiply(ImageChops.multiply(bands[0], bands[1]), bands[2]).getbbox()
    return found and (found[0] + box[0], found[1] + box[1], found[2] + box[0], found[3] + box[1])


def parse_info(line):   # a windriver "info" line as a dict (the title may hold blanks)
    names = ["hwnd", "class", "title", "style", "exstyle", "parent", "rect", "visible", "pid", "id", "owner"]
    info, rest = {}, line
    for name, following in zip(names, names[1:] + [None]):
        assert rest.startswith(name + "="), line
        end = rest.find(" %s=" % following) if following else len(rest)
        info[name], rest = rest[len(name) + 1:end], rest[end + 1:]
    info["rect"] = tuple(int(v) for v in info["rect"].split(","))
    return dict(info, **{n: int(info[n], 0) for n in names if n not in ("class", "title", "rect")})


class Environment:
    def __init__(self):
        os.makedirs(os.path.join(WORK, "shots"), exist_ok=True)
        self.xvfb = None
        self.display = os.environ.get("QUILLMERE_DISPLAY") or self._start_xvfb()
        self.prefix = os.path.join(WORK, "prefix")
        # A UTF-8 locale, so Wine reads the names of Linux files whole; its code
        # page is 1252 (en_US) unless a test asks for another (ja_JP: 932).
        self.env = dict(os.environ, DISPLAY=self.display, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="en_US.UTF-8")
        if not os.path.exists(os.path.join(self.prefix, ".quillmere-ready")):
            shutil.rmtree(self.prefix, ignore_errors=True)
            os.makedirs(self.prefix)
            self.wine("wineboot", "-i", timeout=180)
            # Without a window manager Wine waits ~2 s after each window closes
            # unless its windows are unmanaged.
            self.wine("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/t", "REG_SZ", "/d", "N", "/f")
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=60)
            open(os.path.join(self.prefix, ".quillmere-ready"), "w").close()
        self._serve()

    def _start_xvfb(self):   # Xvfb takes a free display itself and tells which once it listens
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "%dx%dx24" % SCREEN,
                                      "-nolisten", "tcp"], pass_fds=[write], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        os.close(write)
        if not select.select([read], [], [], 20)[0]:
            raise RuntimeError("Xvfb did not start")
        return ":" + os.read(read, 16).decode().strip()

    def _serve(self):   # keeps the server up and starts Wine's services now, so no test pays for them
        subprocess.run(["wineserver", "-p"], env=self.env, timeout=30)
        self.wine("cmd", "/c", "exit", timeout=60)

    def our_processes(self):
        # This prefix's Wine processes whose command line names a file of the
        # tree: never Linux tools, never another run's.
        marks, pids = (winpath(ROOT).lower().encode(), ROOT.lower().encode() + b"/"), []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/cmdline" % pid, "rb") as f, open("/proc/%s/environ" % pid, "rb") as e:
                    cmdline, environ = f.read().replace(b"\0", b" ").lower(), e.read().split(b"\0")
                exe = os.readlink("/proc/%s/exe" % pid)
            except OSError:
                continue
            prefixes = [os.path.abspath(v[11:].decode()) for v in environ if v.startswith(b"WINEPREFIX=")]
            if "wine" in os.path.basename(exe) and any(m in cmdline for m in marks) and \
                    prefixes in ([], [self.prefix]) and process_alive(int(pid)):
                pids.append(int(pid))
        return pids

    def reset(self):   # ends every Windows program started from the tree
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
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30, stderr=subprocess.DEVNULL)
        if not wait_until(lambda: not self.our_processes(), 10):
            raise RuntimeError("Windows programs survive: %s" % self.our_processes())
        self._serve()

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=30, stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.terminate()   # not killed: it removes its lock and socket
            self.xvfb.wait(timeout=10)

    def wine(self, *args, timeout=30, check=False, locale=None):
        # Output goes through files, not pipes: Wine's service processes, started
        # by whichever program comes first after a server start, inherit the
        # standard handles and would hold a pipe open long after the program ends.
        # Wine's own programs by their file: by bare name Wine starts them through
        # start.exe, whose launch fails now and then on a loaded machine.
        program = os.path.join(self.prefix, "drive_c/windows/system32", args[0] + ".exe")
        if os.sep not in args[0] and os.path.exists(program):
            args = (program,) + args[1:]
        for _ in range(3):
            with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
                rc = subprocess.run([WINE] + list(args), env=dict(self.env, LC_ALL=locale or self.env["LC_ALL"]),
                                    timeout=timeout, stdout=out, stderr=err).returncode
                result = subprocess.CompletedProcess(args, rc, *(f.seek(0) or f.read().decode(errors="replace")
                                                                 for f in (out, err)))
            # reg says something on every path, success included: a failure that
            # says nothing is Wine's own (about 1 call in 1,000 under load).
            if not (args[0].endswith("reg.exe") and rc != 0 and not result.stdout + result.stderr):
                break
            print("harness: %s failed (%d) and said nothing; once more" % (args[1:], rc), file=sys.stderr)
        if check and rc != 0:
            raise RuntimeError("%s failed (%d): %s%s" % (args, rc, result.stdout, result.stderr))
        return result

    def start(self, *args, output=None, locale=None):   # a Windows program's Popen; its standard output to output
        with open(output or os.devnull, "wb") as out:
            return subprocess.Popen([WINE] + [str(a) for a in args], env=dict(self.env, LC_ALL=locale or self.env["LC_ALL"]),
                                    stdout=out, stderr=subprocess.DEVNULL, start_new_session=True)

    def start_saver(self, *mode, locale=None, saver=None):   # saver: another build of Quillmere.scr
        return self.start(saver or os.path.join(BUILD, "Quillmere.scr"), *mode, locale=locale)

    def driver(self, *args, timeout=20, locale=None):   # runs windriver.exe: (exit code, output)
        result = self.wine(os.path.join(BUILD, "windriver.exe"), *[str(a) for a in args], timeout=timeout,
                           locale=locale)
        return result.returncode, result.stdout.replace("\r\n", "\n")

    def preview_parent(self, width=152, height=112, seconds=30):
        # A window that can hold a preview, as the display settings would: (Popen, handle as text).
        out = os.path.join(WORK, "parent.txt")
        proc = self.start(os.path.join(BUILD, "windriver.exe"), "parent", width, height, seconds, output=out)
        return proc, wait_until(lambda: open(out).read().strip(), 10)

    def wait_window(self, cls, title="-", timeout_ms=10000):
        rc, out = self.driver("wait", cls, title, timeout_ms, timeout=timeout_ms / 1000 + 20)
        return int(out.split()[0]) if rc == 0 else None

    def window_info(self, hwnd):
        rc, out = self.driver("info", hwnd)
        return parse_info(out.strip()) if rc == 0 else None

    def message_box(self, timeout_ms=10000):   # the next message box as {hwnd, caption, text}, or None
        rc, out = self.driver("msgbox", timeout_ms, timeout=timeout_ms / 1000 + 20)
        # The text is the rest of the output, over as many lines as it has.
        box = dict(line.split("=", 1) for line in out.rstrip("\n").split("\n", 2)) if rc == 0 else None
        return box and dict(box, hwnd=int(box["hwnd"]))

    def key(self, *keys):
        subprocess.run(["xdotool", "key", "--delay", "50"] + list(keys), env=self.env, timeout=10)

    def click(self, x, y):
        subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], env=self.env, timeout=10)

    def move_mouse(self, x, y):
        subprocess.run(["xdotool", "mousemove", str(x), str(y)], env=self.env, timeout=10)

    def screenshot(self, name):   # the screen as a Pillow RGB image, kept as shots/NAME.png
        path = os.path.join(WORK, "shots", name + ".png")
        subprocess.run(["import", "-window", "root", "-display", self.display, path], env=self.env, timeout=30,
                       check=True)
        image = Image.open(path).convert("RGB")
        image.path = path
        return image

    def reg_set(self, name, kind, data):   # kind REG_SZ, REG_DWORD, REG_MULTI_SZ or REG_BINARY (hex)
        self.wine("reg", "add", KEY, "/v", name, "/t", kind, "/d", str(data), "/f", check=True)

    def reg_query(self, name):   # (type, text) of a value of the settings key, or None
        result = self.wine("reg", "query", KEY, "/v", name)
        for parts in (line.strip().split(None, 2) for line in result.stdout.splitlines() if result.returncode == 0):
            if len(parts) >= 2 and parts[0] == name and parts[1].startswith("REG_"):
                return parts[1], parts[2] if len(parts) == 3 else ""
        return None

    def reg_delete_key(self):
        self.wine("reg", "delete", KEY, "/f")

    def configure(self, **values):
        # Replaces the settings key: str values REG_SZ, int REG_DWORD, list REG_MULTI_SZ lines,
        # bytes REG_BINARY.
        self.reg_delete_key()
        self.wine("reg", "add", KEY, "/f")
        for name, value in values.items():
            kind = {int: "REG_DWORD", list: "REG_MULTI_SZ", bytes: "REG_BINARY"}.get(type(value), "REG_SZ")
            self.reg_set(name, kind, {list: lambda v: "\\0".join(v), bytes: bytes.hex}.get(type(value), str)(value))


class Emulator:
    # A stand-in emulator installed under WORK/NAME: fakemame.exe copied as
    # exe_name, serving reports from reports/, logging runs in fakemame.log.
    def __init__(self, name, exe_name="mame.exe", reports=()):   # reports: real ones of Debian's mame
        self.folder = os.path.join(WORK, name)
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(os.path.join(self.folder, "reports"))
        self.exe = os.path.join(self.folder, exe_name)
        self.win_exe, self.win_folder = winpath(self.exe), winpath(self.folder)
        shutil.copy(os.path.join(BUILD, "fakemame.exe"), self.exe)
        for report in reports:
            with open(os.path.join(self.folder, "reports", report + ".xml"), "w") as f:
                f.write(real_report(report))

    def switch(self, name, on=True):
        path = os.path.join(self.folder, name)
        if on:
            open(path, "w").close()
        elif os.path.exists(path):
            os.remove(path)

    def log(self):   # the stand-in's log as (event, pid, rest...) tuples
        path = os.path.join(self.folder, "fakemame.log")
        with open(path if os.path.exists(path) else os.devnull, encoding="utf-8", errors="replace") as f:
            return [tuple(line.rstrip("\r\n").split("\t")) for line in f if line.strip()]

    def starts(self):
        return [entry for entry in self.log() if entry[0] == "start"]


def real_report(name):   # the -listxml report of Debian's mame, cached under WORK/reports
    path = os.path.join(WORK, "reports", name + ".xml")
    if not os.path.exists(path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        result = subprocess.run(["/usr/games/mame", "-listxml", name], stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL, timeout=60)
        if result.returncode != 0:
            raise RuntimeError("mame knows no machine " + name)
        with open(path + ".tmp", "wb") as f:
            f.write(result.stdout)
        os.replace(path + ".tmp", path)
    with open(path, errors="replace") as f:
        return f.read()


_environment = None


def environment():   # the session's one Environment, made when first asked for
    global _environment
    _environment = _environment or Environment()
    return _environment


def shutdown():
    global _environment
    if _environment is not None:
        _environment.close()
        _environment = None
