"""The run cycle of the real Quillmere.scr /s under Wine, with the stand-in
emulator as MAME and as MESS and short timers: "Searching...", the picture
with its title card, the launch (command line and current folder), the close
after the run time, the hot keys, a configuration that can choose nothing,
and thirty rounds with the saver's resource counts watched."""
import os
import shutil
import subprocess
import time
import unittest

from harness import WORK, SCREEN, Emulator, WineTestCase, process_alive, wait_until, winpath

MAME_OPTION = "-skip_gameinfo -nowindow"
MESS_OPTION = "-skip_gameinfo -skip_warnings -nonu  -nowindow"

BACKGROUND = (20, 20, 20)
SEARCHING = (0, 255, 0)
WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
STAND_IN = (30, 60, 160)
MAME_ART = (150, 90, 30)     # every picture of the arcade game
MESS_ART = (30, 150, 90)     # every picture of the system and its software

ARTWORK = ["cabinets", "cpanel", "flyers", "marquees", "titles", "pcb"]
W, H = SCREEN


UPPER = (0, 0, W, H // 2)
LOWER = (0, H // 2, W, H)


class RunCycle(WineTestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = os.path.join(WORK, "runcycle")
        shutil.rmtree(cls.root, ignore_errors=True)
        cls.roms = os.path.join(cls.root, "roms")
        cls.software = os.path.join(cls.root, "software")
        cls.empty = os.path.join(cls.root, "empty-software")
        cls.bios = os.path.join(cls.root, "bios")
        for folder in (cls.roms, cls.empty, cls.bios, os.path.join(cls.software, "nes")):
            os.makedirs(folder)
        cls.game_file = os.path.join(cls.software, "nes", "Mystery Quest.nes")
        with open(cls.game_file, "wb") as f:
            f.write(os.urandom(4096))

    def setUp(self):
        super().setUp()
        # Fresh stand-ins (and logs) for every test.
        self.mame = Emulator("rc-mame", "mame.exe", reports=["pacman", "18w"])
        self.mess = Emulator("rc-mess", "mess.exe", reports=["nes"])
        for folder in ARTWORK:
            self.picture(os.path.join(self.mame.folder, folder, "pacman.png"), MAME_ART)
            self.picture(os.path.join(self.mess.folder, folder, "nes.png"), MESS_ART)
        self.picture(os.path.join(self.mame.folder, "snap", "pacman", "0000.png"), MAME_ART)
        self.picture(os.path.join(self.mess.folder, "snap", "nes", "Mystery Quest.png"), MESS_ART)
        for name in os.listdir(self.roms):
            os.remove(os.path.join(self.roms, name))

    def picture(self, path, colour):
        """A picture of the screen's size, so every layout covers the screen."""
        os.makedirs(os.path.dirname(path), exist_ok=True)
        cache = os.path.join(self.root, "art-%02x%02x%02x.png" % colour)
        if not os.path.exists(cache):
            subprocess.run(["convert", "-size", "%dx%d" % SCREEN, "xc:rgb(%d,%d,%d)" % colour,
                            "PNG24:" + cache], check=True, timeout=60)
        shutil.copy(cache, path)

    def rom(self, name):
        open(os.path.join(self.roms, name + ".zip"), "wb").close()

    def configure(self, mame=True, mess=False, **timers):
        values = dict(MamePath=self.mame.win_exe if mame else "",
                      MameRomsPath=winpath(self.roms), MameOption=MAME_OPTION,
                      MessPath=self.mess.win_exe if mess else "",
                      MessSoftwarePath=winpath(self.software), MessBiosPath=winpath(self.bios),
                      MessOption=MESS_OPTION, MameCheckOnlyPerfect=0,
                      SystemsList=["nes nes"], PollTimer=100, SplashScreenTimer=800,
                      WaitForMESSTimer=1000, SystemChangeTimer=3000)
        values.update(timers)
        self.env.configure(**values)

    def mame_command(self, game):
        return '"%s" %s -rompath "%s" "%s"' % (self.mame.win_exe, MAME_OPTION, winpath(self.roms),
                                                game)

    def mess_command(self):
        return '"%s" -biospath "%s" %s nes -cartridge "%s"' % (
            self.mess.win_exe, winpath(self.bios), MESS_OPTION, winpath(self.game_file))

    def saver(self):
        proc = self.start_saver("/s")
        self.assertIsNotNone(self.env.wait_window("WindowsScreenSaverClass", "SCREENSAVER"),
                             "no screen saver window")
        return proc

    def shot_until(self, name, predicate, timeout):
        """Screenshots until predicate(image) holds; the last image, or fails."""
        deadline = time.time() + timeout
        n = 0
        while True:
            image = self.env.screenshot("%s-%02d" % (name, n))
            if predicate(image):
                return image
            n += 1
            if time.time() >= deadline:
                self.fail("%s: not seen within %s s (last: %s)" % (name, timeout, image.path))

    def wait_log(self, emu, predicate, timeout, what):
        value = wait_until(lambda: predicate(emu.log()), timeout, 0.05)
        self.assertTrue(value, "%s not logged within %s s: %s" % (what, timeout, emu.log()))
        return value

    def press(self, key):
        self.env.key(key)

    def assert_searching(self, image):
        green = image.bounds(SEARCHING)
        self.assertIsNotNone(green, image.path)
        # One line of 56-point text, centred on the screen.
        left, top, right, bottom = green
        self.assertLess(abs((left + right) / 2 - W / 2), 20, green)
        self.assertLess(abs((top + bottom) / 2 - H / 2), 30, green)
        self.assertGreater(right - left, 300, green)
        self.assertLess(bottom - top, 120, green)
        self.assertGreater(image.count(BACKGROUND), W * H * 0.9, image.path)
        self.assertEqual(0, image.count(WHITE), image.path)

    def assert_title_card(self, image, art, title_max_width=None, title_min_width=None):
        self.assertGreater(image.count(art), W * H * 0.7, image.path)
        upper, lower = image.bounds(WHITE, UPPER), image.bounds(WHITE, LOWER)
        self.assertIsNotNone(upper, "no title: " + image.path)
        self.assertIsNotNone(lower, "no subtitle: " + image.path)
        self.assertGreater(image.count(BLACK, UPPER), 200, "no shadow: " + image.path)
        self.assertGreater(image.count(BLACK, LOWER), 200, "no shadow: " + image.path)
        # The title is one centred line in the middle of the upper half; the
        # subtitle starts at the top of the lower half.
        self.assertLess(abs((upper[0] + upper[2]) / 2 - W / 2), 30, upper)
        self.assertLess(abs((upper[1] + upper[3]) / 2 - H / 4), 40, upper)
        self.assertLess(lower[1] - H // 2, 40, lower)
        width = upper[2] - upper[0]
        if title_max_width:
            self.assertLess(width, title_max_width, upper)
        if title_min_width:
            self.assertGreater(width, title_min_width, upper)
        return upper, lower

    # ---- one MAME round, from "Searching..." to the close -------------------

    def test_mame_round_searching_title_card_launch_and_close(self):
        # Only a preliminary game at first, checked for perfection: nothing can
        # be chosen, so "Searching..." stays up for as long as we like.
        self.rom("18w")
        self.configure(MameCheckOnlyPerfect=1, SplashScreenTimer=3000)
        proc = self.saver()
        image = self.shot_until("mame-searching", lambda i: i.count(SEARCHING) > 500, 15)
        self.assert_searching(image)
        self.assertEqual([], self.mame.starts())
        self.rom("pacman")
        image = self.shot_until("mame-title", lambda i: i.count(MAME_ART) > W * H // 2, 40)
        # "MAME" over "Pac-Man (Midway)".
        upper, lower = self.assert_title_card(image, MAME_ART, title_max_width=350)
        self.assertGreater(lower[2] - lower[0], upper[2] - upper[0], (upper, lower))
        self.assertEqual([], self.mame.starts(), "launched before the splash time")

        start = self.wait_log(self.mame, lambda log: [e for e in log if e[0] == "start"], 10,
                              "launch")[0]
        started = time.time()
        self.assertEqual(self.mame.win_folder, start[2])
        self.assertEqual(self.mame_command("pacman"), start[3])
        self.assertIsNotNone(self.env.wait_window("MAME", "-", 10000))
        image = self.shot_until("mame-emulator", lambda i: i.count(STAND_IN) > W * H // 2, 10)
        self.assertEqual(0, image.count(MAME_ART), image.path)

        self.wait_log(self.mame, lambda log: ("close", start[1]) in log, 10, "close")
        ran = time.time() - started
        self.assertGreater(ran, 2.5, "closed after %.2f s" % ran)
        self.assertLess(ran, 5.0, "closed after %.2f s" % ran)
        # The next round follows.
        self.wait_log(self.mame, lambda log: len([e for e in log if e[0] == "start"]) >= 2, 30,
                      "second launch")
        self.assertIsNone(proc.poll())

    # ---- one MESS round ------------------------------------------------------

    def test_mess_round_title_card_and_launch(self):
        self.configure(mame=False, mess=True, SplashScreenTimer=3000)
        self.saver()
        image = self.shot_until("mess-title", lambda i: i.count(MESS_ART) > W * H // 2, 30)
        # The system's description over the software's file name: the long
        # description fills the upper line, far wider than "MAME" would.
        self.assert_title_card(image, MESS_ART, title_min_width=600)
        start = self.wait_log(self.mess, lambda log: [e for e in log if e[0] == "start"], 10,
                              "launch")[0]
        started = time.time()
        self.assertEqual(self.mess.win_folder, start[2])
        self.assertEqual(self.mess_command(), start[3])
        self.shot_until("mess-emulator", lambda i: i.count(STAND_IN) > W * H // 2, 10)
        self.wait_log(self.mess, lambda log: ("close", start[1]) in log, 10, "close")
        ran = time.time() - started
        self.assertGreater(ran, 2.5, "closed after %.2f s" % ran)
        self.assertLess(ran, 5.0, "closed after %.2f s" % ran)
        self.assertEqual([], self.mame.starts())

    # ---- hot keys ------------------------------------------------------------

    def running_game(self, **timers):
        self.rom("pacman")
        self.configure(SystemChangeTimer=60000, SplashScreenTimer=300, **timers)
        proc = self.saver()
        self.wait_log(self.mame, lambda log: [e for e in log if e[0] == "start"], 20, "launch")
        self.assertIsNotNone(self.env.wait_window("MAME", "-", 10000), "no emulator window")
        return proc

    def test_pause_skips_to_the_next_game_and_escape_ends_everything(self):
        proc = self.running_game()
        first = self.mame.starts()[0]
        time.sleep(1.5)      # past the starting wait: the saver polls again
        self.press("Pause")
        self.wait_log(self.mame, lambda log: ("close", first[1]) in log, 5, "close on Pause")
        second = self.wait_log(self.mame, lambda log: [e for e in log if e[0] == "start"][1:],
                               20, "launch after Pause")[0]
        self.assertNotEqual(first[1], second[1])
        self.assertIsNone(proc.poll(), "Pause ended the saver")
        self.assertIsNotNone(self.env.wait_window("MAME", "-", 10000))
        self.press("Escape")
        self.assertEqual(1, self.wait_exit(proc, 15))
        rc, _ = self.env.driver("gone", "MAME", 5000)
        self.assertEqual(0, rc, "the emulator outlived the saver")
        self.assertIn(("close", second[1]), self.mame.log())
        self.assertEqual(2, len(self.mame.starts()))

    def test_backspace_ends_the_saver_and_leaves_the_game_running(self):
        proc = self.running_game()
        start = self.mame.starts()[0]
        self.press("BackSpace")
        self.assertEqual(1, self.wait_exit(proc, 15))
        time.sleep(2)
        self.assertIsNotNone(self.env.wait_window("MAME", "-", 100), "the emulator was closed")
        self.assertNotIn(("close", start[1]), self.mame.log())
        image = self.env.screenshot("backspace-after")
        self.assertGreater(image.count(STAND_IN), W * H // 2, image.path)

    # ---- a choice that takes its time -----------------------------------------

    def test_searching_shows_while_an_emulator_query_blocks_the_choice(self):
        # With the perfect-only switch every arcade choice asks the emulator;
        # this one never answers, so the choice blocks in its query.
        self.mame.switch("fake-hang-listxml")
        try:
            self.rom("pacman")
            self.configure(mame=True, mess=False, MameCheckOnlyPerfect=1)
            self.saver()
            time.sleep(3)
            image = self.env.screenshot("searching-while-blocked")
            self.assert_searching(image)
        finally:
            self.mame.switch("fake-hang-listxml", on=False)

    # ---- nothing can be chosen -----------------------------------------------

    def test_mess_only_with_an_empty_software_folder_keeps_searching_and_answers_escape(self):
        self.configure(mame=False, mess=True, MessSoftwarePath=winpath(self.empty), SystemsList=[])
        proc = self.saver()
        self.shot_until("empty-searching", lambda i: i.count(SEARCHING) > 500, 10)
        time.sleep(3)
        image = self.env.screenshot("empty-searching-later")
        self.assert_searching(image)
        self.assertIsNone(proc.poll())
        self.assertEqual([], self.mess.starts())
        began = time.time()
        self.press("Escape")
        self.assertEqual(1, self.wait_exit(proc, 10))
        self.assertLess(time.time() - began, 5)

    # ---- a long run ----------------------------------------------------------

    def resources(self, pid, linux_pid):
        """The saver's counts as Windows reports them (GDI objects, user
        objects, handles), and as Linux sees its process: open descriptors and
        resident memory (a picture bitmap left behind each round would add
        megabytes)."""
        rc, out = self.env.driver("resources", pid)
        self.assertEqual(0, rc, out)
        values = dict(item.split("=") for item in out.split())
        values = {name: int(value) for name, value in values.items()}
        with open("/proc/%d/status" % linux_pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    values["rss_kb"] = int(line.split()[1])
        values["fds"] = len(os.listdir("/proc/%d/fd" % linux_pid))
        return values

    def test_thirty_rounds_keep_the_saver_resources_flat(self):
        self.rom("pacman")
        self.configure(SystemChangeTimer=300, SplashScreenTimer=100, WaitForMESSTimer=300,
                       PollTimer=100)
        proc = self.saver()
        hwnd = self.env.wait_window("WindowsScreenSaverClass", "SCREENSAVER")
        pid = self.env.window_info(hwnd)["pid"]
        self.assertTrue(process_alive(proc.pid))
        # The Linux process started is the saver itself (Wine's loader execs in place).
        with open("/proc/%d/cmdline" % proc.pid, "rb") as f:
            self.assertIn(b"Quillmere.scr", f.read())

        def rounds():
            log = self.mame.log()
            return len([e for e in log if e[0] == "close"])

        self.assertTrue(wait_until(lambda: rounds() >= 3, 30, 0.1), self.mame.log())
        early = self.resources(pid, proc.pid)
        self.assertTrue(wait_until(lambda: rounds() >= 33, 120, 0.1),
                        "only %d rounds" % rounds())
        late = self.resources(pid, proc.pid)
        print("\n    resources after 3 rounds: %s; after %d rounds: %s" % (early, rounds(), late))
        self.assertIsNone(proc.poll())
        # Every launch was closed before the next one began.
        log = self.mame.log()
        open_pids = set()
        for entry in log:
            if entry[0] == "start":
                self.assertEqual(set(), open_pids, "a launch beside a running one")
                open_pids.add(entry[1])
                self.assertEqual(self.mame_command("pacman"), entry[3])
            elif entry[0] == "close":
                open_pids.discard(entry[1])
        # Wine answers 0 for the GDI, user and handle counts of any process;
        # where it does, only the Linux-side figures can tell a leak.
        counted = [n for n in ("gdi", "user", "handles") if early[n] or late[n]]
        for name in counted + ["fds"]:
            self.assertLessEqual(late[name], early[name] + 5, (name, early, late))
        self.assertLess(late["rss_kb"] - early["rss_kb"], 16 * 1024, (early, late))
        self.press("Escape")
        self.assertEqual(1, self.wait_exit(proc, 15))


if __name__ == "__main__":
    unittest.main()
