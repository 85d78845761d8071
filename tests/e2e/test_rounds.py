"""Rounds worth watching, with the real Quillmere.scr under Wine: a broken game
comes back at most twice, a folder of broken games slows the tries down, a
small folder shows every game once before any repeats, a set whose files are
missing runs once and never again."""
import os
import shutil
import time

from harness import BUILD, SCREEN, WORK, Emulator, bounds, count, wait_until, winpath

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
    mame = start(env, GAMES, SoundVolume=12, MameOption="-skip_gameinfo")
    mame.switch("fake-quit-galaga")
    saver = env.start_saver("/s")
    assert wait_until(lambda: len(launched(mame)) >= 50, 240), launched(mame)
    games = launched(mame)[:50]
    # The sound level goes before the user's own options.
    assert {e[2:5] for e in mame.log() if e[0] == "args"} == {("-volume", "-12", "-skip_gameinfo")}
    assert games.count("galaga") <= 2, games
    # Every game once before any repeats (galaga's quick end makes no difference).
    assert sorted(games[:8]) == sorted(GAMES), games[:8]
    env.key("Escape")
    assert saver.wait(timeout=15) == 1


def launch_times(mame, launches, seconds):
    times, deadline = [], time.time() + seconds
    while len(times) < launches and time.time() < deadline:
        times.extend([time.time()] * (len(launched(mame)) - len(times)))
        time.sleep(0.05)
    return times


NOTE = (0, SCREEN[1] // 2 + 40) + SCREEN   # the line under "Searching..."


def searching_note(env, name):   # pixels of the line under "Searching..."
    return count(env.screenshot(name), GREEN, NOTE)


def note_width(env, name):
    box = bounds(env.screenshot(name), GREEN, NOTE)
    return box[2] - box[0] if box else 0


def test_sets_whose_files_are_missing_run_once_and_do_not_slow_the_tries(env):
    # Exit code 2: the emulator found the set's files missing, though -verifyroms did not.
    mame = start(env, GAMES)
    for game in GAMES:
        mame.switch("fake-exit2-" + game)
    saver = env.start_saver("/s")
    times = launch_times(mame, len(GAMES), 90)
    assert sorted(launched(mame)) == sorted(GAMES)
    gaps = [later - earlier for earlier, later in zip(times, times[1:])]
    assert max(gaps) < 5, gaps
    # "Searching..." says how many were found broken, and nothing is launched
    # again. Escape only once the last has been judged: the line then says that
    # every set is broken, wider than any count.
    assert wait_until(lambda: searching_note(env, "rounds-broken") > 200, 10)
    assert wait_until(lambda: note_width(env, "rounds-all-broken") > 500, 10), "not every set found broken"
    assert sorted(launched(mame)) == sorted(GAMES)
    env.key("Escape")
    assert saver.wait(timeout=15) == 1
    assert sorted(e[1] for e in mame.log() if e[0] == "verifyroms") == sorted(GAMES), "verified once each"
    # The next session knows them broken without asking the emulator.
    out = env.wine(os.path.join(BUILD, "quillmere-check.exe"), "choose", "1", timeout=120).stdout
    assert out.endswith("choices: 0, failed calls: 1000, queries: 0\r\n"), out


def test_every_game_failing_slows_the_tries_and_escape_answers(env):
    # (The waits themselves, 10 s doubling up to 300 s, are the cycle's unit rows.)
    mame = start(env, GAMES[:4])
    mame.switch("fake-quit")
    saver = env.start_saver("/s")
    assert wait_until(lambda: len(launched(mame)) >= 5, 60), launched(mame)
    # While it waits, the searching screen says why, under "Searching...", and
    # nothing more is launched.
    assert wait_until(lambda: searching_note(env, "rounds-failing") > 200, 15)
    assert len(launched(mame)) == 5, launched(mame)
    started = time.time()
    env.key("Escape")
    assert saver.wait(timeout=15) == 1
    assert time.time() - started < 1.0
