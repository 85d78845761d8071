"""The installer under Wine, one cycle: silent install, a round of the installed saver,
an upgrade in place, silent uninstall (the replaced saver returns, settings stay)."""
import contextlib
import os
import re
import unittest

import harness
from harness import BUILD, ROOT, WORK, Emulator, wait_until, winpath

SETUP = os.path.join(os.path.dirname(BUILD), "Quillmere-setup.exe")
ENTRY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmere"
DESKTOP = r"HKCU\Control Panel\Desktop"
SAVER = r"C:\windows\system32\Quillmere.scr"
FOLDER = r"C:\Program Files\Quillmere"
UNINSTALLER, CHECK = FOLDER + r"\uninstall.exe", FOLDER + r"\quillmere-check.exe"
PREVIOUS = r"C:\windows\system32\previous.scr"


class Installer(unittest.TestCase):
    def setUp(self):
        self.env = harness.environment()
        self.env.reset()
        self.uninstall()        # what a failed earlier run may have left
        self.addCleanup(self.env.wine, "reg", "delete", DESKTOP, "/v", "SCRNSAVE.EXE", "/f")
        self.addCleanup(self.uninstall)

    def values(self, key):
        """{name: data} of a registry key, or None when the key is missing."""
        result = self.env.wine("reg", "query", key)
        rows = [line.split(None, 2) for line in result.stdout.splitlines()]
        return {row[0]: row[2] if len(row) > 2 else "" for row in rows
                if len(row) > 1 and row[1].startswith("REG_")} if result.returncode == 0 else None

    def uninstall(self):
        if self.env.wine(UNINSTALLER, "/S", timeout=60).returncode == 0:
            # The uninstaller goes on in a copy of itself after it returns.
            self.assertTrue(wait_until(lambda: self.values(ENTRY) is None, 60, 0.5))

    def unix(self, path):
        return self.env.wine("winepath", "-u", path, timeout=30, check=True).stdout.strip()

    def running(self, word):   # a Windows program of the tree whose command line holds word runs
        lines = []
        for pid in self.env.our_processes():
            with contextlib.suppress(OSError), open("/proc/%d/cmdline" % pid, "rb") as f:
                lines.append(f.read())
        return any(word in line for line in lines)

    def same(self, installed, built):
        with open(self.unix(installed), "rb") as a, open(os.path.join(BUILD, built), "rb") as b:
            return a.read() == b.read()

    def test_install_run_a_round_upgrade_and_uninstall(self):
        env = self.env
        with open(os.path.join(ROOT, "resources", "resource.h")) as f:
            version = re.search(r'QUILLMERE_VERSION_TEXT "(.*)"', f.read()).group(1)
        emu = Emulator("installer-mame", reports=["pacman"])
        roms = os.path.join(WORK, "installer-roms")
        os.makedirs(roms, exist_ok=True)
        open(os.path.join(roms, "pacman.zip"), "wb").close()
        env.configure(MamePath=emu.win_exe, MameRomsPath=winpath(roms), MameCheckOnlyPerfect=0,
                      SplashScreenTimer=300, WaitForMESSTimer=500, SystemChangeTimer=1500)
        env.wine("reg", "add", DESKTOP, "/v", "SCRNSAVE.EXE", "/d", PREVIOUS, "/f", check=True)

        self.assertEqual(0, env.wine(SETUP, "/S", timeout=120).returncode)
        self.assertTrue(self.same(SAVER, "Quillmere.scr") and self.same(CHECK, "quillmere-check.exe"))
        entry = self.values(ENTRY)
        names = ("DisplayName", "DisplayVersion", "DisplayIcon", "UninstallString")
        self.assertEqual(("Quillmere", version, SAVER + ",0", '"%s"' % UNINSTALLER),
                         tuple(entry.get(name) for name in names))
        self.assertTrue(entry["Publisher"] and int(entry["EstimatedSize"], 16) > 1000)  # KB
        self.assertEqual(SAVER, self.values(DESKTOP)["SCRNSAVE.EXE"])

        # An older saver (bytes appended: still a program) runs its rounds.
        with open(self.unix(SAVER), "ab") as f:
            f.write(b"an older build")
        saver = env.start(SAVER, "/s")
        first = wait_until(emu.starts, 30)
        ended = first and wait_until(lambda: ("close", first[0][1]) in emu.log(), 30)
        self.assertTrue(first and '"pacman"' in first[0][-1], "no round: %s" % emu.log())
        self.assertTrue(ended, "the round did not end: %s" % emu.log())

        # The upgrade while it runs: asked to close, it closes its emulator, and
        # the new saver is in place.
        with open(self.unix(CHECK), "wb") as f:
            f.write(b"an older version")
        self.assertEqual(0, env.wine(SETUP, "/S", timeout=120).returncode)
        self.assertTrue(wait_until(lambda: saver.poll() is not None, 30), "the old saver still runs")
        self.assertEqual(*({e[1] for e in emu.log() if e[0] == kind} for kind in ("start", "close")))
        self.assertTrue(self.same(SAVER, "Quillmere.scr") and self.same(CHECK, "quillmere-check.exe"))
        self.assertEqual(entry, self.values(ENTRY))
        self.assertEqual(SAVER, self.values(DESKTOP)["SCRNSAVE.EXE"])

        # A file that stays in use (a query of quillmere-check that hangs): it
        # takes its place at the next restart, and the exit code says so (3010,
        # of which Wine passes on the low byte).
        hung = Emulator("installer-hung")
        hung.switch("fake-hang-listxml")
        with open(self.unix(CHECK), "ab") as f:
            f.write(b"an older build")
        env.start(CHECK, "--mame", hung.win_exe, "facts", "mame", "pacman")
        self.assertTrue(wait_until(lambda: self.running(b"-listxml"), 30), "the query did not start")
        self.assertEqual(3010 & 0xFF, env.wine(SETUP, "/S", timeout=120).returncode)
        self.assertFalse(self.same(CHECK, "quillmere-check.exe"))
        env.reset()
        env.wine("wineboot", "-r", timeout=120, check=True)
        self.assertTrue(self.same(CHECK, "quillmere-check.exe"))

        self.uninstall()
        for path in (SAVER, FOLDER):
            self.assertFalse(os.path.exists(self.unix(path)), path)
        self.assertIsNone(self.values(r"HKCU\Software\Quillmere Setup"))
        self.assertEqual(PREVIOUS, self.values(DESKTOP)["SCRNSAVE.EXE"])
        self.assertEqual(("REG_SZ", emu.win_exe), env.reg_query("MamePath"))
