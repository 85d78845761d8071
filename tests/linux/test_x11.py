# The Linux edition end to end: `quillmere` on a virtual X server of its own,
# driving Debian's real MAME (Pong and Breakout need no ROM files).
import ctypes
import io
import os
import pathlib
import select
import signal
import subprocess
import time

import pytest
from PIL import Image

ROOT = pathlib.Path(__file__).resolve().parents[2]
QUILLMERE = os.environ.get('QUILLMERE_X11', str(ROOT / 'build/native/quillmere'))
MAME = '/usr/games/mame'
SHOTS = ROOT / 'build/test-results/linux-shots'
BACKGROUND, GREEN, WHITE, BLACK, BLUE = (20, 20, 20), (0, 255, 0), (255, 255, 255), (0, 0, 0), (0, 0, 255)
# Emulators the saver leaves behind (Backspace) become this process's to reap.
ctypes.CDLL(None).prctl(36, 1)  # PR_SET_CHILD_SUBREAPER


def wait_for(condition, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = condition()
        if found:
            return found
        time.sleep(0.05)
    raise AssertionError(f'not within {seconds} s: {what}')


@pytest.fixture(scope='module')
def display():
    read, write = os.pipe()  # Xvfb takes a free display itself and tells which
    with subprocess.Popen(['Xvfb', '-displayfd', str(write), '-screen', '0', '1024x768x24', '-nolisten', 'tcp'],
                          pass_fds=[write], stderr=subprocess.DEVNULL) as xvfb:
        assert select.select([read], [], [], 20)[0], 'Xvfb up'
        yield ':' + os.read(read, 16).decode().strip()
        xvfb.terminate()  # and it removes its lock


@pytest.fixture
def start(display, tmp_path):
    savers = []
    yield lambda *args, **settings: savers.append(Saver(display, tmp_path, *args, **settings)) or savers[-1]
    for saver in savers:  # a failed test leaves nothing running behind it
        saver.proc.terminate()
        saver.proc.wait(timeout=15)


class Saver:  # one quillmere process with a home, settings and a ROM folder of its own

    def __init__(self, display, tmp, args, games=('pong', 'breakout'), run_ms=8000, splash_ms=3000, exe=MAME):
        self.display, self.roms, home = display, tmp / 'roms', tmp / 'home'
        (home / '.config/quillmere').mkdir(parents=True)
        for game in games:
            (self.roms / game).mkdir(parents=True)
        (home / '.config/quillmere/settings').write_text(
            f'MamePath={exe}\nMameRomsPath={self.roms}\nMameOption=-sound none -skip_gameinfo\n'
            f'SystemChangeTimer={run_ms}\nSplashScreenTimer={splash_ms}\nWaitForMESSTimer=2000\nPollTimer=100\n')
        self.env = {**os.environ, 'DISPLAY': display, 'HOME': str(home), 'XDG_CONFIG_HOME': str(home / '.config')}
        self.x('mousemove', '5', '5')  # input now: the idle time starts from here
        self.started = time.monotonic()
        self.proc = subprocess.Popen([QUILLMERE, *args], env=self.env, stderr=open(tmp / 'saver.log', 'w'))
        self.seen = set()

    def x(self, *args):
        return subprocess.run(['xdotool', *args], env=self.env, capture_output=True, text=True, timeout=10).stdout

    def windows(self, name):
        return [int(w) for w in self.x('search', '--classname', f'^{name}$').split()]

    def shot(self, name):
        png = subprocess.run(['import', '-window', 'root', '-display', self.display, 'png:-'],
                             capture_output=True, timeout=20).stdout
        SHOTS.mkdir(parents=True, exist_ok=True)
        (SHOTS / f'{name}.png').write_bytes(png)
        return Image.open(io.BytesIO(png)).convert('RGB')

    def emulators(self):  # running emulators (not queries) that this saver launched: pid -> argv
        return {pid: argv for pid, parent, _, argv in processes() if parent == self.proc.pid and '-rompath' in argv}

    def launch(self, seconds=40):
        new = wait_for(lambda: {p: a for p, a in self.emulators().items() if p not in self.seen}, seconds, 'a launch')
        launched = time.monotonic()
        pid, argv = next(iter(new.items()))
        self.seen.add(pid)
        assert argv == [MAME, '-sound', 'none', '-skip_gameinfo', '-rompath', str(self.roms), argv[-1]]
        window = wait_for(lambda: [w for w in self.windows('mame') if self.x('getwindowpid', str(w)).strip() == str(pid)],
                          20, "the emulator's window")[0]
        assert f'[{argv[-1]}]' in self.x('getwindowname', str(window))
        return pid, argv[-1], launched

    def finish(self, seconds, status=0):
        assert self.proc.wait(timeout=seconds) == status
        # No emulator left running or unreaped, as the saver's child or orphaned to us.
        assert not [p for p in processes() if p[1] in (self.proc.pid, os.getpid()) and 'mame' in p[2]]


def processes():  # (pid, parent, name, argv) of every process
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            name, stat = open(f'/proc/{pid}/stat').read().rsplit(')', 1)
            argv = open(f'/proc/{pid}/cmdline', 'rb').read().decode().split('\0')[:-1]
        except OSError:
            continue
        yield int(pid), int(stat.split()[1]), name, argv


def count(image, colour, box=None):
    return sum(1 for pixel in image.crop(box or (0, 0) + image.size).getdata() if pixel == colour)


def shadowed(image, box):  # white pixels with the black shadow one pixel down and right
    data, (x0, y0, x1, y1) = image.load(), box
    return sum(1 for y in range(y0, y1 - 1) for x in range(x0, x1 - 1)
               if data[x, y] == WHITE and data[x + 1, y + 1] == BLACK)


def test_rounds_run_their_time_pause_skips_escape_ends_both(start):
    saver = start(['run'])
    card = wait_for(lambda: (lambda s: shadowed(s, (0, 0, 1024, 384)) > 50 and s)(saver.shot('title-card')), 20,
                    'the title card')
    assert shadowed(card, (0, 384, 1024, 768)) > 200, 'the description under the title'
    assert card.getpixel((5, 5)) == BACKGROUND and not saver.emulators(), 'the card comes before the launch'
    pid, first, launched = saver.launch()
    time.sleep(3)
    game = saver.shot(f'game-{first}')
    assert count(game, BACKGROUND) < 1000 and count(game, BLACK) > 500000, "MAME's window covers the saver's"
    wait_for(lambda: not saver.windows('mame'), 14, 'the close at the end of the run time')
    assert 7.7 <= time.monotonic() - launched <= 10.5, 'asked to close after the run time'
    wait_for(lambda: not os.path.exists(f'/proc/{pid}'), 15, 'the emulator reaped')

    pid, second, launched = saver.launch()
    assert second != first, 'no repeat while another game is left'
    saver.x('key', 'Pause')
    wait_for(lambda: not saver.windows('mame'), 3, 'Pause closes the emulator')
    assert time.monotonic() - launched < 7
    saver.launch()
    saver.x('key', 'Escape')
    wait_for(lambda: not saver.windows('mame') and not saver.windows('quillmere'), 2, 'Escape closes both windows')
    saver.finish(15)


def test_backspace_ends_the_session_and_leaves_the_game_running(start):
    saver = start(['run'], games=('pong',), splash_ms=500)
    pid, _, _ = saver.launch()
    saver.x('key', 'BackSpace')
    assert saver.proc.wait(timeout=3) == 0
    time.sleep(2)
    assert saver.windows('mame') and open(f'/proc/{pid}/stat').read().split()[2] != 'Z'
    os.killpg(pid, signal.SIGKILL)
    os.waitpid(pid, 0)


def test_searching_stays_without_games_and_another_key_ends_the_session(start, tmp_path):
    saver = start(['run', '--settings', str(tmp_path / 'home/.config/quillmere/settings')], games=())
    wait_for(lambda: count(saver.shot('searching'), GREEN) > 2000, 10, '"Searching..." in green')
    saver.x('key', 'a')
    saver.finish(3)


def test_idle_starts_a_session_after_two_quiet_seconds_and_again_after_a_click(start, tmp_path):
    emulator = tmp_path / 'emu/mame'  # the real MAME, with a snapshot beside it
    (tmp_path / 'emu/snap/pong').mkdir(parents=True)
    emulator.symlink_to(MAME)
    Image.new('RGB', (64, 48), BLUE).save(tmp_path / 'emu/snap/pong/0000.png')
    saver = start(['idle', '--after', '2'], games=('pong',), splash_ms=60000, exe=emulator)
    for start in range(2):
        # Never before two quiet seconds; the upper bound only guards against a
        # saver that never starts (a loaded machine may be slow to show it).
        wait_for(lambda: saver.windows('quillmere'), 20, 'a session')
        assert 1.9 <= time.monotonic() - saver.started <= 20
        card = wait_for(lambda: (lambda s: count(s, BLUE) > 300000 and s)(saver.shot(f'idle-{start}')), 30, 'the snapshot')
        assert shadowed(card, (0, 0, 1024, 384)) > 50, 'the title over the stretched snapshot'
        saver.x('mousemove', '600', '400')
        time.sleep(0.5)
        assert saver.windows('quillmere'), 'mouse motion does not end the session'
        saver.x('click', '1')
        saver.started = time.monotonic()
        wait_for(lambda: not saver.windows('quillmere'), 2, 'a click ends the session')
        assert saver.proc.poll() is None and not saver.emulators()
    saver.proc.send_signal(signal.SIGTERM)
    saver.finish(5)
