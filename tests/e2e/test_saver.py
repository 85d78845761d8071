# The real Quillmere.scr under Wine with the stand-in emulator as MAME and MESS
# and short timers: one start per configuration, each checking everything a
# user would see and meet in it.
import os
import shutil
import subprocess
import time
import zipfile

import pytest

from harness import SCREEN, WORK, Emulator, bounds, count, wait_until, winpath

W, H = SCREEN
DARK, GREEN, WHITE, BLACK = (20, 20, 20), (0, 255, 0), (255, 255, 255), (0, 0, 0)
STAND_IN, MAME_ART, MESS_ART = (30, 60, 160), (150, 90, 30), (30, 150, 90)
MAME_OPTION, MESS_OPTION = "-skip_gameinfo -nowindow", "-skip_gameinfo -skip_warnings -nonu  -nowindow"
WS_POPUP, WS_VISIBLE, WS_EX_TOPMOST = 0x80000000, 0x10000000, 0x8


def wait_exit(proc, timeout):
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        pytest.fail("still running after %s s" % timeout)


def shot_until(env, name, predicate, timeout):   # screenshots until predicate(image) holds
    deadline = time.time() + timeout
    for n in range(1000):
        image = env.screenshot("%s-%02d" % (name, n))
        if predicate(image):
            return image
        if time.time() >= deadline:
            pytest.fail("%s: not seen within %s s (last: %s)" % (name, timeout, image.path))


def wait_log(emu, predicate, timeout, what):
    value = wait_until(lambda: predicate(emu.log()), timeout, 0.05)
    assert value, "%s not logged within %s s: %s" % (what, timeout, emu.log())
    return value


def assert_searching(image, why=False):
    # One line of green 56-point text centred on the dark screen, and under it
    # the reason of a dead end or nothing.
    left, top, right, bottom = bounds(image, GREEN, (0, 0, W, H // 2 + 60)) or pytest.fail("no text: " + image.path)
    assert (count(image, GREEN, (0, H // 2 + 60, W, H)) > 200) == why, image.path
    assert abs((left + right) / 2 - W / 2) < 20 and abs((top + bottom) / 2 - H / 2) < 30, image.path
    assert right - left > 300 and bottom - top < 120, image.path
    assert count(image, DARK) > W * H * 0.9 and count(image, WHITE) == 0, image.path


def assert_title_card(image, art):
    # The picture under a white title with a black shadow, centred in the upper
    # half, and a subtitle at the top of the lower half; their widths.
    upper, lower = (0, 0, W, H // 2), (0, H // 2, W, H)
    title, subtitle = bounds(image, WHITE, upper), bounds(image, WHITE, lower)
    assert count(image, art) > W * H * 0.7 and title and subtitle, image.path
    assert count(image, BLACK, upper) > 200 and count(image, BLACK, lower) > 200, "no shadow: " + image.path
    assert abs((title[0] + title[2]) / 2 - W / 2) < 30 and abs((title[1] + title[3]) / 2 - H / 4) < 40, title
    assert subtitle[1] - H // 2 < 40, subtitle
    return title[2] - title[0], subtitle[2] - subtitle[0]


# ---- modes, refusals and the preview ----------------------------------------------

@pytest.mark.parametrize("args,dialog", [(["/c"], True), ([], True), (["/C:1234"], True), (["/a"], False),
                                         (["/p", "12345"], False)])
def test_modes_without_a_saver_window_exit_0(env, args, dialog):
    proc = env.start_saver(*args)
    if dialog:
        hwnd = env.wait_window("#32770", "Quillmere")
        assert hwnd, "no configuration dialog"
        env.driver("click", hwnd, 203)   # Cancel
    assert wait_exit(proc, 15) == 0


def test_binary_not_found_names_what_it_tried_and_waits_for_its_answer(env):
    env.configure(MamePath=r"C:\nowhere\mame.exe", MessPath=r"C:\nowhere\mess.exe")
    proc = env.start_saver("/s")
    box = env.message_box()
    assert box and box["caption"] == "Binary not found"
    assert box["text"].splitlines() == [
        "Please configure Quillmere with at least one of MESS or MAME binary.", "",
        r"MAME executable: C:\nowhere\mame.exe cannot be opened", r"MESS executable: C:\nowhere\mess.exe cannot be opened",
        "", "Choose them in the screen saver settings: Quillmere, Settings."]
    assert proc.poll() is None, "the saver must wait for the answer"
    env.driver("answer", box["hwnd"])
    assert wait_exit(proc, 15) == 0


def test_first_start_without_settings_says_so_on_its_splash_until_a_key(env):
    env.reg_delete_key()   # as a silent installation leaves it
    proc = env.start_saver("/s")
    assert env.wait_window("WindowsScreenSaverClass", "SCREENSAVER"), "no saver window"
    assert env.message_box(timeout_ms=1000) is None, "no Registry error box"
    shot = shot_until(env, "first-start", lambda i: count(i, GREEN) > 2000, 10)
    box = bounds(shot, GREEN)
    assert box and box[0] > 50 and box[2] < W - 50 and box[3] - box[1] > 60, ("wrapped over the middle", box)
    env.key("a")
    assert wait_exit(proc, 10) == 0


@pytest.mark.parametrize("ending,code", [("Escape", 1), ("a", 0), ("click", 0)])
def test_nothing_to_choose_keeps_searching_until_a_key_or_click(env, ending, code):
    env.configure(MamePath=Emulator("emu-dark").win_exe, MessPath=r"C:\nowhere\mess.exe", PollTimer=100)
    proc = env.start_saver("/S")
    info = env.window_info(env.wait_window("WindowsScreenSaverClass", "SCREENSAVER"))
    assert info and info["style"] & (WS_POPUP | WS_VISIBLE) == WS_POPUP | WS_VISIBLE
    assert info["exstyle"] & WS_EX_TOPMOST and (info["rect"], info["parent"]) == ((0, 0, W, H), 0)
    # No ROM folder, and MESS cannot be used: a dead end, which says so.
    assert_searching(shot_until(env, "dark-" + ending, lambda i: count(i, GREEN, (0, H // 2 + 60, W, H)) > 200, 10),
                     why=True)
    for x, y in ((10, 10), (500, 400), (900, 700)):
        env.move_mouse(x, y)
    env.key("Pause")   # with no emulator running, nothing to skip
    time.sleep(1.0)
    assert proc.poll() is None, "a mouse move or Pause ended the saver"
    began = time.time()
    env.click(512, 700) if ending == "click" else env.key(ending)
    assert wait_exit(proc, 10) == code and time.time() - began < 5


# ---- the run cycle ------------------------------------------------------------------

class Setup:
    # Stand-ins for MAME and MESS with pictures of the screen's size in every
    # artwork folder, a ROM folder and a software tree with one game.
    def __init__(self, env):
        self.env, self.root = env, os.path.join(WORK, "runcycle")
        shutil.rmtree(self.root, ignore_errors=True)
        self.roms, self.bios = os.path.join(self.root, "roms"), os.path.join(self.root, "bios")
        self.software = os.path.join(self.root, "software")
        # The one game is a member of an archive, read by the Windows build's own runtime.
        self.game = os.path.join(self.software, "nes", "pack.zip")
        for folder in (self.roms, self.bios, os.path.dirname(self.game)):
            os.makedirs(folder)
        with zipfile.ZipFile(self.game, "w", zipfile.ZIP_DEFLATED) as pack:
            pack.writestr("Mystery Quest.nes", os.urandom(4096))
        self.mame = Emulator("rc-mame", "mame.exe", reports=["pacman", "18w"])
        self.mess = Emulator("rc-mess", "mess.exe", reports=["nes"])
        for emu, name, colour in ((self.mame, "pacman", MAME_ART), (self.mess, "nes", MESS_ART)):
            picture = os.path.join(self.root, name + ".png")
            subprocess.run(["convert", "-size", "%dx%d" % SCREEN, "xc:rgb(%d,%d,%d)" % colour, "PNG24:" + picture],
                           check=True, timeout=60)
            for path in ["cabinets", "cpanel", "flyers", "marquees", "titles", "pcb", "snap/pacman", "snap/nes"]:
                os.makedirs(os.path.join(emu.folder, path))
                shutil.copy(picture, os.path.join(emu.folder, path, name + ".png" if "/" not in path else
                                                  "0000.png" if name == "pacman" else "Mystery Quest.png"))

    def rom(self, name):
        open(os.path.join(self.roms, name + ".zip"), "w").close()

    def start(self, mame=True, mess=False, **timers):
        self.env.configure(**dict(dict(
            MamePath=self.mame.win_exe if mame else "", MameRomsPath=winpath(self.roms), MameOption=MAME_OPTION,
            MessPath=self.mess.win_exe if mess else "", MessSoftwarePath=winpath(self.software),
            MessBiosPath=winpath(self.bios), MessOption=MESS_OPTION, MameCheckOnlyPerfect=0, SystemsList=["nes nes"],
            PollTimer=100, SplashScreenTimer=800, WaitForMESSTimer=1000, SystemChangeTimer=3000), **timers))
        proc = self.env.start_saver("/s")
        assert self.env.wait_window("WindowsScreenSaverClass", "SCREENSAVER"), "no saver window"
        return proc

    def mame_command(self, game):
        return '"%s" %s -rompath "%s" "%s"' % (self.mame.win_exe, MAME_OPTION, winpath(self.roms), game)

    def running(self, emu, n=0):   # waits for launch n of emu and its window: the log entry, when it was seen
        start = wait_log(emu, lambda log: [e for e in log if e[0] == "start"][n:], 30, "launch %d" % n)[0]
        seen = time.time()
        assert self.env.wait_window("MAME", "-", 10000), "no emulator window"
        return start, seen


def test_mame_round_from_searching_to_close_then_escape_ends_everything(env):
    s = Setup(env)
    s.rom("18w")   # preliminary: nothing can be chosen while perfect drivers are asked for
    proc = s.start(MameCheckOnlyPerfect=1, SplashScreenTimer=3000)
    assert_searching(shot_until(env, "mame-searching", lambda i: count(i, GREEN) > 500, 15))
    assert s.mame.starts() == []
    s.rom("pacman")
    image = shot_until(env, "mame-title", lambda i: count(i, MAME_ART) > W * H // 2 and count(i, WHITE) > 100, 40)
    title, subtitle = assert_title_card(image, MAME_ART)
    assert title < 350 < subtitle, "MAME over Pac-Man's description: %s" % image.path
    assert s.mame.starts() == [], "launched before the splash time"
    start, started = s.running(s.mame)
    assert (start[2], start[3]) == (s.mame.win_folder, s.mame_command("pacman"))
    image = shot_until(env, "mame-emulator", lambda i: count(i, STAND_IN) > W * H // 2, 10)
    assert count(image, MAME_ART) == 0, image.path
    wait_log(s.mame, lambda log: ("close", start[1]) in log, 10, "close")
    assert 2.5 < time.time() - started < 5.0, "closed after %.2f s" % (time.time() - started)
    second = s.running(s.mame, 1)[0]
    env.key("Escape")
    assert wait_exit(proc, 15) == 1
    assert env.driver("gone", "MAME", 5000)[0] == 0, "the emulator outlived the saver"
    assert ("close", second[1]) in s.mame.log()


def test_mess_round_shows_the_system_over_the_software_and_launches_it(env):
    s = Setup(env)
    s.start(mame=False, mess=True, SplashScreenTimer=2000, SystemChangeTimer=4500)
    image = shot_until(env, "mess-title", lambda i: count(i, MESS_ART) > W * H // 2 and count(i, WHITE) > 100, 30)
    assert assert_title_card(image, MESS_ART)[0] > 600, "the description fills the title"
    start, started = s.running(s.mess)
    assert start[2:] == (s.mess.win_folder, '"%s" -biospath "%s" %s nes -cartridge "%s\\Mystery Quest.nes"' % (
        s.mess.win_exe, winpath(s.bios), MESS_OPTION, winpath(s.game)))
    shot_until(env, "mess-emulator", lambda i: count(i, STAND_IN) > W * H // 2, 10)
    wait_log(s.mess, lambda log: ("close", start[1]) in log, 10, "close")
    assert 4.0 < time.time() - started < 6.5 and s.mame.starts() == [], "ran %.2f s" % (time.time() - started)


def test_pause_skips_to_the_next_game_and_backspace_leaves_it_running(env):
    s = Setup(env)
    s.rom("pacman")
    proc = s.start(SystemChangeTimer=60000, SplashScreenTimer=300)
    first = s.running(s.mame)[0]
    time.sleep(1.5)   # past the starting wait: the saver polls again
    env.key("Pause")
    wait_log(s.mame, lambda log: ("close", first[1]) in log, 5, "close on Pause")
    second = s.running(s.mame, 1)[0]
    assert proc.poll() is None, "Pause ended the saver"
    env.key("BackSpace")
    assert wait_exit(proc, 15) == 1
    time.sleep(2)
    assert env.wait_window("MAME", "-", 100) and ("close", second[1]) not in s.mame.log(), "the game was closed"
    assert count(env.screenshot("backspace-after"), STAND_IN) > W * H // 2
