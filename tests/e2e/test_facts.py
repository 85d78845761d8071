# Machine facts under Wine: the real Quillmere.scr never launches the BIOS sets,
# devices, unknown names and machines that show nothing (no screen, mechanical,
# a disk missing) of a ROM folder, asks the emulator once per machine, asks
# nothing in a second session, keeps titles as text, and replaces a damaged
# cache file.
import os
import shutil
import unittest

from harness import BUILD, Emulator, environment, wait_until, winpath

GAMES = {"pacman", "galaga", "1942", "dkong", "asuka"}
# 30test has no screen, 2mindril is mechanical, area51 needs a disk that is not there.
SHOW_NOTHING = ["30test", "2mindril", "area51"]
ENTRIES = ["pacman.zip", "Galaga.7z", "dkong.zip", "asuka.zip", "neogeo.zip", "pgm.zip", "naomi.zip",
           "qsound.zip", "nosuchgame.zip"] + [name + ".zip" for name in SHOW_NOTHING]


class MachineFacts(unittest.TestCase):
    def setUp(self):
        self.env = environment()
        self.addCleanup(self.env.reset)
        self.emu = Emulator("facts", reports=list(GAMES) + SHOW_NOTHING + ["neogeo", "pgm", "naomi", "qsound"])
        roms = os.path.join(self.emu.folder, "roms")   # made afresh with the stand-in
        os.makedirs(os.path.join(roms, "1942"))
        for entry in ENTRIES:
            open(os.path.join(roms, entry), "w").close()
        # Not-working drivers shown, so that each of SHOW_NOTHING is refused for its own reason.
        self.env.configure(MamePath=self.emu.win_exe, MameRomsPath=winpath(roms), PollTimer=50, MameShowNotWorking=1,
                           SplashScreenTimer=50, WaitForMESSTimer=200, SystemChangeTimer=200)
        local = self.env.wine("cmd", "/c", "echo", "%LOCALAPPDATA%").stdout.strip()
        self.cache = self.env.wine("winepath", "-u", local + "\\Quillmere").stdout.strip()
        shutil.rmtree(self.cache, ignore_errors=True)

    def queries(self):
        return [entry[1] for entry in self.emu.log() if entry[0] == "listxml"]

    # Runs the saver until it launched `launches` more games; the queries it made.
    def session(self, launches):
        before, asked = len(self.emu.starts()), len(self.queries())
        saver = self.env.start_saver("/s")
        self.assertTrue(wait_until(lambda: len(self.emu.starts()) >= before + launches, 180))
        self.env.driver("close", "WindowsScreenSaverClass")   # it closes its emulator and ends
        saver.wait(timeout=30)
        return self.queries()[asked:]

    def check(self, *args):
        return self.env.wine(os.path.join(BUILD, "quillmere-check.exe"), *args).stdout

    def test_only_runnable_games_one_query_each_remembered_across_sessions(self):
        asked = self.session(50)
        self.assertEqual(GAMES, {e[3].rsplit('"', 2)[1] for e in self.emu.starts()})
        self.assertEqual(sorted(set(asked)), sorted(asked), "a machine was asked twice")
        # A second session asks nothing about machines the first one saw.
        self.assertEqual([], [name for name in self.session(5) if name in asked])
        self.assertIn("source\tcache\r\nknown\t1\r\nbios\t0\r\ndevice\t1\r\nrunnable\t0\r\n",
                      self.check("facts", "mame", "qsound"))
        self.assertRegex(self.check("choose", "3"), r"\nchoices: 3, failed calls: \d+, queries: 0\r\n$")
        self.assertIn("\tAsuka & Asuka (World)\t1988\r\n", self.check("facts", "mame", "asuka"))

        # A damaged cache file is ignored, the session runs and the file is replaced.
        [path] = [os.path.join(self.cache, name) for name in os.listdir(self.cache)]
        with open(path, "wb") as f:
            f.write(b"quillmere machine facts 1\n\x00garbage\tm\tpacman\n")
        self.assertTrue(self.session(3), "the damaged file was believed")
        with open(path, "rb") as f:
            self.assertRegex(f.read(), rb"^quillmere machine facts 2\nexe\t.+\n(m\t.+\n)+(v\t.+\t1\n)+end\t\d+\t0\t\d+\n$")
