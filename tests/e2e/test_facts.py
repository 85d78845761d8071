"""Machine facts under Wine: the real Quillmere.scr never launches the BIOS
sets, devices and unknown names of a ROM folder, asks the emulator once per
machine, asks nothing in a second session, and replaces a damaged cache file."""
import os
import re
import shutil
import unittest

from harness import BUILD, WORK, Emulator, environment, wait_until, winpath

GAMES = {"pacman.zip": "pacman", "Galaga.7z": "galaga", "1942": "1942", "dkong.zip": "dkong"}
NEVER = ["neogeo.zip", "pgm.zip", "naomi.zip", "qsound.zip", "nosuchgame.zip"]


class MachineFacts(unittest.TestCase):
    def setUp(self):
        self.env = environment()
        self.env.reset()
        self.addCleanup(self.env.reset)
        self.emu = Emulator("facts-mame", "mame.exe",
                            reports=list(GAMES.values()) + ["neogeo", "pgm", "naomi", "qsound"])
        roms = os.path.join(WORK, "facts-roms")
        shutil.rmtree(roms, ignore_errors=True)
        os.makedirs(os.path.join(roms, "1942"))
        for entry in NEVER + [entry for entry in GAMES if "." in entry]:
            open(os.path.join(roms, entry), "w").close()
        self.env.configure(MamePath=self.emu.win_exe, MameRomsPath=winpath(roms), MessPath="",
                           MameCheckOnlyPerfect=0, PollTimer=50, SplashScreenTimer=50,
                           WaitForMESSTimer=200, SystemChangeTimer=200)
        local = self.env.wine("cmd", "/c", "echo", "%LOCALAPPDATA%").stdout.strip()
        self.cache = self.env.wine("winepath", "-u", local + "\\Quillmere").stdout.strip()
        shutil.rmtree(self.cache, ignore_errors=True)

    def queries(self):
        return [entry[1] for entry in self.emu.log() if entry[0] == "listxml"]

    def session(self, launches):
        """Runs the saver until `launches` more games were launched; the queries it made."""
        before, asked = len(self.emu.starts()), len(self.queries())
        self.env.start_saver("/s")
        self.assertTrue(wait_until(lambda: len(self.emu.starts()) >= before + launches, 180),
                        "%d launches only" % (len(self.emu.starts()) - before))
        self.env.reset()
        return self.queries()[asked:]

    def check(self, *args):
        result = self.env.wine(os.path.join(BUILD, "quillmere-check.exe"), *args, timeout=60)
        return result.stdout.replace("\r\n", "\n")

    def test_only_runnable_games_one_query_each_remembered_across_sessions(self):
        asked = self.session(50)
        launched = [re.search(r'"(\w+)"$', entry[3]).group(1) for entry in self.emu.starts()]
        self.assertEqual(set(GAMES.values()), set(launched))
        self.assertEqual(len(asked), len(set(asked)), "a machine asked twice: %s" % asked)

        # A second session asks nothing about machines the first one saw.
        self.assertEqual([], [name for name in self.session(5) if name in asked])
        facts = dict(line.split("\t", 1) for line in self.check("facts", "mame", "qsound").splitlines())
        self.assertEqual(("cache", "1", "0"), (facts["source"], facts["device"], facts["runnable"]))
        self.assertRegex(self.check("choose", "3"), r"\nchoices: 3, failed calls: \d+, queries: 0\n$")

        # A damaged cache file is ignored, the session runs and the file is replaced.
        files = [os.path.join(self.cache, name) for name in os.listdir(self.cache)]
        self.assertEqual(1, len(files), files)
        with open(files[0], "wb") as f:
            f.write(b"quillmere machine facts 1\n\x00garbage\tm\tpacman\n")
        self.assertTrue(self.session(3), "the damaged file was believed")
        with open(files[0], "rb") as f:
            text = f.read()
        self.assertTrue(text.startswith(b"quillmere machine facts 1\nexe\t"), text[:80])
        self.assertTrue(text.endswith(b"\n") and b"\nend\t" in text, text[-80:])


if __name__ == "__main__":
    unittest.main()
