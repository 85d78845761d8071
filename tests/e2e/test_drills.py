"""Fault drills: the real Quillmere.scr under Wine meets hung queries, stubborn, crashing, late-failing and
vanishing emulators, launchers, a user's own emulator, grabbed keys, odd settings, pictures, names and the
dark. In every one it answers Escape at once and ends nothing it did not start. Each row adds a line to
build/e2e/drills.txt: fault, seconds to answer the key, processes left."""
import os
import shutil
import subprocess
import time
import zipfile

import pytest

from harness import BUILD, SCREEN, WORK, Emulator, count, parse_info, process_alive, wait_until, winpath

ROOT = os.path.join(WORK, "drills")
GAMES = ["pacman", "galaga", "mspacman", "digdug"]


def processes_of(folder):
    """Linux pids of the live processes whose command line names folder."""
    mark = winpath(folder).lower().encode()
    pids = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if mark in f.read().replace(b"\0", b" ").lower() and process_alive(int(pid)):
                    pids.append(int(pid))
        except OSError:
            pass
    return pids


def picture(path, recipe):
    """A PNG made by ImageMagick (cached by recipe), or bytes that are no PNG."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if recipe == "corrupt":
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + os.urandom(5000))
        return
    cache = os.path.join(WORK, "drill-%s.png" % recipe.replace(" ", "_"))
    if not os.path.exists(cache):
        subprocess.run(["convert"] + recipe.split() + ["PNG24:" + cache], check=True, timeout=300)
    shutil.copy(cache, path)


def close_users_emulator(env, drill, user):
    """Lets the user's stubborn emulator go, the way a user would: it is told to
    obey, then asked to close (a killed one can leave its window behind)."""
    drill.mame.switch("fake-ignore-close", on=False)
    env.driver("close", "MAME")
    assert wait_until(lambda: user.poll() is not None, 10)


class Drill:
    def __init__(self, env, name, games=GAMES):
        assert env.driver("gone", "MAME", 10000)[0] == 0, "a MAME window is left over"
        self.env, self.name = env, name
        self.root = os.path.join(ROOT, name)
        shutil.rmtree(self.root, ignore_errors=True)
        self.roms = os.path.join(self.root, "roms")
        os.makedirs(self.roms)
        self.mame = Emulator("drill-mame", "mame.exe", reports=GAMES + ["nes"])
        for game in games:
            self.rom(game + ".zip")

    def rom(self, name):
        open(os.path.join(self.roms, name), "wb").close()

    def start(self, raw=(), **settings):
        values = dict(MamePath=self.mame.win_exe, MameRomsPath=winpath(self.roms),
                      MameOption="-nowindow", PollTimer=100, SplashScreenTimer=300,
                      WaitForMESSTimer=500, SystemChangeTimer=600000)
        values.update(settings)
        self.env.configure(**values)
        for name, kind, data in raw:
            self.env.reg_set(name, kind, data)
        self.proc = self.env.start_saver("/s")
        assert self.env.wait_window("WindowsScreenSaverClass", "SCREENSAVER"), "no saver window"

    def launches(self, count, timeout=30):
        assert wait_until(lambda: len(self.mame.starts()) >= count, timeout), self.mame.log()

    def escape(self, limit, key="Escape"):
        """Presses key (Escape by default); the seconds until the saver has exited (at most limit)."""
        started = time.time()
        self.env.key(key)
        assert self.proc.wait(timeout=limit + 5) == (1 if key == "Escape" else 0)
        seconds = time.time() - started
        assert seconds < limit, "%s answered after %.2f s" % (key, seconds)
        return seconds

    def report(self, fault, seconds, left):
        with open(os.path.join(WORK, "drills.txt"), "a") as f:
            f.write("%s\t%.2f s\t%d left\n" % (fault, seconds, len(left)))

    def args(self):
        return [list(entry[2:]) for entry in self.mame.log() if entry[0] == "args"]


def test_hung_query_does_not_hold_escape(env):
    drill = Drill(env, "hung")
    drill.mame.switch("fake-hang-listxml")
    drill.start(MameCheckOnlyPerfect=1)
    assert wait_until(lambda: processes_of(drill.mame.folder), 10), "no query started"
    seconds = drill.escape(1.0)
    left = wait_until(lambda: not processes_of(drill.mame.folder), 3) or processes_of(drill.mame.folder)
    drill.report("query that never answers", seconds, left if left is not True else [])
    assert left is True, "the query's child is left running"


@pytest.mark.parametrize("switch", ["fake-crash", "fake-quit"])
def test_emulator_that_dies_at_start_is_followed_by_the_next(env, switch):
    drill = Drill(env, switch)
    drill.mame.switch(switch)
    drill.start()
    drill.launches(3)
    assert drill.proc.poll() is None
    seconds = drill.escape(1.0)
    drill.report("emulator %s at start" % {"fake-crash": "crashes", "fake-quit": "quits"}[switch], seconds,
                 processes_of(drill.mame.folder))


@pytest.mark.parametrize("stubborn, key", [(True, "Escape"), (False, "Escape"), (False, "Pause"), (False, "space")])
def test_users_emulator_is_left_alone(env, stubborn, key):
    drill = Drill(env, "users")
    drill.mame.switch("fake-ignore-close", on=stubborn)
    user = env.start(drill.mame.exe, "pacman")
    assert env.wait_window("MAME")
    drill.start()
    # The hot keys are registered after the window is made; Pause is the last.
    assert wait_until(lambda: env.driver("hotkey", 0x13, 0)[0] == 2, 10), "the saver holds no hot keys"
    if key == "Pause":   # skips only a round of the session's own
        env.key("Pause")
        assert not wait_until(lambda: not process_alive(user.pid), 2), "Pause closed the user's emulator"
    seconds = drill.escape(14.0, "Escape" if key == "Pause" else key)
    drill.report("user's emulator (%s), %s" % ("ignores WM_CLOSE" if stubborn else "obeys", key), seconds, [])
    assert process_alive(user.pid), "the saver closed or ended a process it did not start"
    assert len(drill.mame.starts()) == 1
    close_users_emulator(env, drill, user)


def test_start_failing_after_4_5_s_is_a_failed_start_whatever_the_timers(env):
    drill = Drill(env, "late", games=["pacman"])
    drill.mame.switch("fake-exit-4500-3")
    drill.start(PollTimer=3000, WaitForMESSTimer=3000)
    drill.launches(2, timeout=60)
    # Failed twice: passed over, "Searching..." stays, no third start.
    assert not wait_until(lambda: len(drill.mame.starts()) > 2, 12), "a start that failed at 4.5 s counted as good"
    drill.report("emulator fails after 4.5 s, poll and starting wait 3 s", drill.escape(1.0), [])


def test_launcher_that_returns_is_followed_to_its_emulator(env):
    drill = Drill(env, "launcher", games=["pacman"])
    for tool in ("fakelaunch.exe", "fakemame.exe"):
        shutil.copy(os.path.join(BUILD, tool), drill.mame.folder)
    # Runs of 5.5 s are full runs; counted as failed starts, the game would be passed over after two.
    drill.start(MamePath=winpath(os.path.join(drill.mame.folder, "fakelaunch.exe")), SystemChangeTimer=5500)
    drill.launches(3, timeout=90)
    drill.mame.switch("fake-ignore-close")
    users = Emulator("drill-user")   # the user starts one beside ours; it obeys WM_CLOSE
    user = env.start(users.exe, "pacman")
    assert wait_until(users.starts, 10)
    seconds = drill.escape(14.0)
    assert seconds > 9, "ended before the close wait"
    left = processes_of(drill.mame.folder)
    drill.report("launcher returns at once, its emulator ignores WM_CLOSE", seconds, left)
    assert not left, "the emulator the launcher started still runs"
    assert process_alive(user.pid), "the user's emulator was closed"
    close_users_emulator(env, drill, user)


def test_escape_held_by_another_program_is_said_and_a_key_still_ends(env):
    drill, out = Drill(env, "held", games=[]), os.path.join(WORK, "held.txt")
    holder = env.start(os.path.join(BUILD, "windriver.exe"), "hotkey", 0x1B, 60, output=out)
    try:
        assert wait_until(lambda: "held" in open(out).read(), 10), "Escape could not be held"
        drill.start()
        note = (0, SCREEN[1] // 2 + 40) + SCREEN   # under "Searching...", as no game is found
        assert wait_until(lambda: count(env.screenshot("held"), (0, 255, 0), note) > 200, 10), "nothing said"
        drill.report("Escape held by another program, then a key", drill.escape(2.0, "space"), [])
    finally:
        holder.kill()   # it would hold the key for a minute


def test_dark_after_minutes_ends_the_rounds_and_a_key_ends_the_session(env):
    drill = Drill(env, "dark")
    drill.start(DarkAfterMinutes=1, SystemChangeTimer=1000)
    drill.launches(2)
    black = lambda: env.screenshot("dark").getextrema() == ((0, 0),) * 3
    assert wait_until(black, 90, 1.0), "no black screen after the minute"
    assert not processes_of(drill.mame.folder), "an emulator runs in the dark"
    launched = len(drill.mame.starts())
    assert not wait_until(lambda: len(drill.mame.starts()) > launched, 3), "launched in the dark"
    drill.report("dark after DarkAfterMinutes, then a key", drill.escape(2.0, "space"), [])


def test_preview_fills_its_parent_asks_nothing_and_touches_no_emulator(env):
    drill = Drill(env, "preview")
    drill.mame.switch("fake-ignore-close")
    user = env.start(drill.mame.exe, "pacman")
    assert env.wait_window("MAME")
    parent, hwnd = env.preview_parent(seconds=6)
    preview = env.start_saver("/p", hwnd)
    children = wait_until(lambda: env.driver("children", hwnd)[1].strip(), 4)
    child = parse_info(children.splitlines()[0]) if children else pytest.fail("no preview window in the parent")
    assert (child["class"], child["parent"], child["style"] & 0x40000000) == ("WindowsScreenSaverClass", int(hwnd),
                                                                              0x40000000)   # WS_CHILD
    assert (child["rect"][2] - child["rect"][0], child["rect"][3] - child["rect"][1]) == (152, 112)
    assert env.message_box(timeout_ms=1000) is None, "no settings key: no message either"
    assert preview.wait(timeout=20) == 0
    assert process_alive(user.pid), "closing the preview ended the user's emulator"
    assert [entry[0] for entry in drill.mame.log()] == ["start", "args"], drill.mame.log()
    drill.report("preview beside the user's emulator", 0, [])
    close_users_emulator(env, drill, user)


def test_names_and_folders_that_could_bend_the_command_line(env):
    drill = Drill(env, "names")
    for name in ("-createconfig.zip", "two words.zip", "a&b.zip"):
        drill.rom(name)
    soft = os.path.join(drill.root, "soft", "nes")
    os.makedirs(soft)
    for name in ("-flop.nes", "ok.nes"):
        open(os.path.join(soft, name), "wb").close()
    with zipfile.ZipFile(os.path.join(soft, "pack.zip"), "w") as pack:
        for member in ("-x.nes", 'a"b.nes', "dir\\", "fine.nes"):
            pack.writestr(member, b"")
    bios = os.path.join(drill.root, "bios")
    os.makedirs(bios)
    drill.start(MameRomsPath=winpath(drill.roms) + "\\", MessPath=drill.mame.win_exe,
                MessSoftwarePath=winpath(os.path.join(drill.root, "soft")),
                MessBiosPath=winpath(bios) + "\\", MessOption="-nowindow",
                SystemsList=["nes nes"], SystemChangeTimer=400)
    drill.launches(12, timeout=60)
    seconds = drill.escape(2.0)
    for args in drill.args():
        if "-rompath" in args:
            # The folder arrives whole, its trailing backslash and all.
            assert args[-3:-1] == ["-rompath", winpath(drill.roms) + "\\"], args
            assert args[-1] in GAMES, args
        else:
            assert args[0:2] == ["-biospath", winpath(bios) + "\\"], args
            assert args[-3:-1] == ["nes", "-cartridge"], args
            assert args[-1].startswith(winpath(soft) + "\\") and '"' not in args[-1], args
    drill.report("option-like and quoted names, folders ending in \\", seconds, [])


@pytest.mark.parametrize("recipe", ["corrupt", "-size 8000x8000 gradient:red-blue"])
def test_odd_settings_and_pictures_keep_the_session_going(env, recipe):
    drill = Drill(env, "odd")
    for game in GAMES:
        for folder in ("cabinets", "cpanel", "flyers", "marquees", "titles", "pcb"):
            picture(os.path.join(drill.mame.folder, folder, game + ".png"), recipe)
    long_list = ["sys%05d ext" % i for i in range(1300)]   # about 16 KiB
    drill.start(SystemsList=long_list, SystemChangeTimer=400,
                raw=[("MameOption", "REG_BINARY", "00ff10"), ("MessOption", "REG_DWORD", 5),
                     ("PollTimer", "REG_BINARY", "6400")])
    if recipe == "corrupt":
        drill.launches(2, timeout=60)
    else:
        time.sleep(0.5)   # the first round's picture is being decoded
    seconds = drill.escape(1.0)
    drill.report("odd registry values, %s pictures" % ("huge" if "8000" in recipe else recipe), seconds,
                 processes_of(drill.mame.folder))
