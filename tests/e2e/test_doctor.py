# quillmere-check doctor, natively against Debian's real mame (linked into a
# folder of its own, which holds the artwork): a healthy set-up (ROM-less games,
# whose empty sets are complete) and broken ones.
import os
import shutil
import subprocess

import pytest

from harness import ROOT, WORK

NATIVE = os.path.join(ROOT, "build", "native", "quillmere-check")
HOME = os.path.join(WORK, "doctor")

# (what is broken, settings changed, files removed, files added, findings expected, exit code)
ROWS = [
    ("nothing", {}, [], [], [], 0),
    ("missing executable", {"MamePath": HOME + "/emu/nomame"}, [], [],
     [("fail", "MAME executable", "cannot be opened"), ("warn", "ROM folder", "none can be checked")], 1),
    ("BIOS-only ROM folder", {"MameRomsPath": HOME + "/bios"}, [], ["bios/nosuchgame.zip"],
     [("fail", "ROM folder", "1 BIOS set, 0 devices, 1 unknown to this MAME (nosuchgame)"),
      ("warn", "artwork", "0 %")], 1),
    ("no folder at all", {"MameRomsPath": "", "MessSoftwarePath": ""}, [], [],
     [("fail", "ROM folder", "Neither a ROM folder nor a software folder"), ("warn", "artwork", "No ROM entry")], 1),
    ("unknown system folder", {}, [], ["software/games/x.nes"],
     [("warn", "software tree", "(games)")], 0),
    ("no artwork", {}, ["emu/snap", "emu/cabinets"], [],
     [("warn", "artwork", "0 % of the ROM entries"), ("warn", "artwork", "0 of 2 software systems")], 0),
    # Debian's MAME in /usr/games: its mame.ini's snapshot folder is looked in, and no
    # picture is ever suggested under the system's folder.
    ("pictures in Debian's places", {"MamePath": "/usr/games/mame", "MessPath": "/usr/games/mame"}, [],
     ["home/.mame/snap/pong/0001.png"],
     [("warn", "artwork", "0 of 2 software systems have a picture under /usr/games, %s/home/.mame," % HOME),
      ("ok", "artwork", "50 % of the ROM entries (1 of 2)")], 0),
    ("a list naming one set of the folder, a Mature game, a broken set",
     {"MameGameList": HOME + "/fav.ini", "MameCategoryFile": HOME + "/cat.ini"}, [],
     ["fav.ini=[ROOT_FOLDER]\npong\nnothere\n", "cat.ini=[Category]\npong=Ball & Paddle * Mature *\n", "roms/pacman.zip"],
     [("warn", "game list", "1 of the 2 names"), ("ok", "categories", "the category of 1 game; 1 of them is skipped"),
      ("warn", "sets", "1 of 2 sampled sets is broken or incomplete for this MAME"),
      ("ok", "filters", "1 in skipped categories: 2 are left")], 0),
    ("an unreadable list and category file", {"MameGameList": HOME + "/none", "MameCategoryFile": HOME + "/none"}, [],
     [], [("fail", "game list", "cannot be read"), ("fail", "categories", "cannot be read")], 1),
    ("bad timers and list", {"PollTimer": "0", "SystemChangeTimer": "500", "SystemsList": "nosuch bin"}, [], [],
     [("fail", "timers", "PollTimer"), ("warn", "timers", "shorter than the splash"),
      ("fail", "allowed systems", "(nosuch)"), ("warn", "allowed systems", "without a folder")], 1),
]


def lay_out(removed, added):
    for folder in ("emu", "software", "home", "roms", "bios"):
        shutil.rmtree(os.path.join(HOME, folder), ignore_errors=True)
    files = ["roms/pong.zip", "roms/breakout.zip", "bios/neogeo.zip", "software/nes/Quest.nes",
             "software/a2600/x.a26", "emu/snap/pong/0000.png", "emu/snap/nes/Quest.png", "emu/cabinets/a2600.png"]
    for name, _, text in (entry.partition("=") for entry in files + added):   # "name=text": a file of text
        os.makedirs(os.path.dirname(os.path.join(HOME, name)), exist_ok=True)
        with open(os.path.join(HOME, name), "w") as f:
            f.write(text)
    os.symlink("/usr/games/mame", os.path.join(HOME, "emu", "mame"))
    for name in removed:
        shutil.rmtree(os.path.join(HOME, name))


@pytest.mark.parametrize("changed,removed,added,expected,code", [r[1:] for r in ROWS], ids=[r[0] for r in ROWS])
def test_doctor_names_each_fault(env, changed, removed, added, expected, code):
    lay_out(removed, added)
    settings = dict(MamePath=HOME + "/emu/mame", MameRomsPath=HOME + "/roms", MessPath=HOME + "/emu/mame",
                    MessSoftwarePath=HOME + "/software", SystemsList="nes nes", SystemChangeTimer="60000",
                    SplashScreenTimer="1000", PollTimer="100")
    settings.update(changed)
    with open(os.path.join(HOME, "settings"), "w") as f:
        f.write("".join("%s=%s\n" % item for item in settings.items()))
    result = subprocess.run([NATIVE, "--settings", os.path.join(HOME, "settings"), "doctor"], capture_output=True,
                            timeout=120, env=dict(os.environ, XDG_CACHE_HOME=os.path.join(HOME, "cache"),
                                                  HOME=os.path.join(HOME, "home"), DISPLAY=env.display))
    lines = [line.split("\t") for line in result.stdout.decode().splitlines()]
    assert all(len(line) == 3 and line[0] in ("ok", "warn", "fail") for line in lines), lines
    assert {line[1] for line in lines} >= {"settings", "MAME executable", "MESS executable", "timers"}
    for level, topic, word in expected:
        assert any(line[:2] == [level, topic] and word in line[2] for line in lines), (level, topic, word, lines)
    assert sorted(line[:2] for line in lines if line[0] != "ok") == sorted([e[0], e[1]] for e in expected
                                                                          if e[0] != "ok"), lines
    assert not [line for line in lines if " in /usr" in line[2]], "a system folder suggested"
    assert result.returncode == code
