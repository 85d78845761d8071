"""Rounds worth watching, with the real Quillmere.scr under Wine: a broken game
comes back at most twice, a folder of broken games slows the tries down, a
small folder shows every game once before any repeats."""
import os
import shutil
import time

from harness import SCREEN, WORK, Emulator, count, wait_until, winpath

GAMES = ["pacman", "galaga", "mspacman", "digdug", "xevious", "bosco", "dkong", "frogger"]
GREEN = (0, 255, 0)


def start(env, games, **settings):
    roms = os.path.join(WORK, "rounds-roms")
    shutil.rmtree(roms, ignore_errors=True)
    os.makedirs(roms)
    for game in games:
        open(os.path.join(roms, game + ".zip"), "wb").close()
    mame = Emulator("rounds-mame", "mame.exe", reports=games)
    values = dict(MamePath=mame.win_exe, MameRomsPath=winpath(roms), PollTimer=100,
                  SplashScreenTimer=100, WaitForMESSTimer=300, SystemChangeTimer=400)
    values.update(settings)
    env.configure(**values)
    return mame


def launched(mame):
    """(time seen, game) of every launch so far, the game being the last word."""
    return [entry[-1] for entry in mame.log() if entry[0] == "args"]


def test_broken_game_comes_back_at_most_twice_and_small_folders_do_not_repeat(env):
    mame = start(env, GAMES)
    mame.switch("fake-quit-galaga")
    saver = env.start_saver("/s")
    assert wait_until(lambda: len(launched(mame)) >= 50, 240), launched(mame)
    games = launched(mame)[:50]
    assert games.count("galaga") <= 2, games
    # Every game once before any repeats (galaga's quick end makes no difference).
    assert sorted(games[:8]) == sorted(GAMES), games[:8]
    env.key("Escape")
    assert saver.wait(timeout=15) == 1


def test_every_game_failing_slows_the_tries_and_escape_answers(env):
    # (The waits themselves, 10 s doubling up to 300 s, are the cycle's unit rows.)
    mame = start(env, GAMES[:4])
    mame.switch("fake-quit")
    saver = env.start_saver("/s")
    assert wait_until(lambda: len(launched(mame)) >= 5, 60), launched(mame)
    # While it waits, the searching screen says why, under "Searching...", and
    # nothing more is launched.
    width, height = SCREEN
    note = (0, height // 2 + 40, width, height)
    assert wait_until(lambda: count(env.screenshot("rounds-failing"), GREEN, note) > 200, 15)
    assert len(launched(mame)) == 5, launched(mame)
    started = time.time()
    env.key("Escape")
    assert saver.wait(timeout=15) == 1
    assert time.time() - started < 1.0
