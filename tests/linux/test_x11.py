# The Linux edition end to end: `quillmere` on a virtual X server of its own,
# driving Debian's real MAME (Pong and Breakout need no ROM files).
import contextlib
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
# Emulators the saver leaves behind (Backspace), and those a launcher started, become this process's to reap.
ctypes.CDLL(None).prctl(36, 1)  # PR_SET_CHILD_SUBREAPER
# Other clients of the display, as a desktop has them: one holds Alt+Escape on the root window (a
# window manager's key), one suspends the server's screen saver (a video player) until told to let go.
X = 'import ctypes, sys; x = ctypes.CDLL("libX11.so.6"); x.XOpenDisplay.restype = ctypes.c_void_p; ' \
    'd = ctypes.c_void_p(x.XOpenDisplay(None)); x.XDefaultRootWindow.restype = ctypes.c_ulong; '
HOLD_ALT_ESCAPE = X + 'x.XGrabKey(d, x.XKeysymToKeycode(d, 0xff1b), 8, ctypes.c_ulong(x.XDefaultRootWindow(d)), 1, 1, 1)'
SUSPEND_SAVER = X + 'xss = ctypes.CDLL("libXss.so.1"); xss.XScreenSaverSuspend(d, 1); x.XSync(d, 0); print(flush=True); ' \
    'sys.stdin.readline(); xss.XScreenSaverSuspend(d, 0)'


def wait_for(condition, seconds, what, every=0.05):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = condition()
        if found:
            return found
        time.sleep(every)
    raise AssertionError(f'not within {seconds} s: {what}')


@pytest.fixture(scope='module')
def display():
    read, write = os.pipe()  # Xvfb takes a free display itself and tells which
    with subprocess.Popen(['Xvfb', '-displayfd', str(write), '-screen', '0', '1024x768x24', '-nolisten', 'tcp'],
                          pass_fds=[write], stderr=subprocess.DEVNULL) as xvfb:
        assert select.select([read], [], [], 20)[0], 'Xvfb up'
        yield ':' + os.read(read, 16).decode().strip()
        xvfb.terminate()  # and it removes its lock


@contextlib.contextmanager
def client(display, program):  # runs until the block ends; its line on stdin makes it go on
    with subprocess.Popen(['python3', '-c', program + '; x.XSync(d, 0); print(flush=True); sys.stdin.readline()'],
                          env={**os.environ, 'DISPLAY': display}, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                          text=True) as proc:
        try:
            assert select.select([proc.stdout], [], [], 10)[0] and proc.stdout.readline() == '\n', 'the client is ready'
            yield proc
        finally:
            proc.kill()


@pytest.fixture
def start(display, tmp_path):
    savers = []
    yield lambda *args, **settings: savers.append(Saver(display, tmp_path, *args, **settings)) or savers[-1]
    for saver in savers:  # a failed test leaves nothing running behind it
        saver.proc.terminate()
        saver.proc.wait(timeout=15)


class Saver:  # one quillmere process with a home, settings and a ROM folder of its own

    def __init__(self, display, tmp, args, games=('pong', 'breakout'), run_ms=8000, splash_ms=3000, exe=MAME,
                 timers='WaitForMESSTimer=2000\nPollTimer=100\n', settings=None, mame_ini=None):
        # settings: None for the usual file, a text for that file, '' for none at all.
        self.display, self.roms, home = display, tmp / 'roms', tmp / 'home'
        (home / '.config/quillmere').mkdir(parents=True)
        for game in games:
            (self.roms / game).mkdir(parents=True)
        if mame_ini:
            (home / '.mame').mkdir()
            (home / '.mame/mame.ini').write_text(mame_ini)
        if settings is None:
            settings = (f'MamePath={exe}\nMameRomsPath={self.roms}\nMameOption=-sound none -skip_gameinfo\n'
                        f'SystemChangeTimer={run_ms}\nSplashScreenTimer={splash_ms}\n{timers}')
        if settings:
            (home / '.config/quillmere/settings').write_text(settings)
        self.log = tmp / 'saver.log'
        self.env = {**os.environ, 'DISPLAY': display, 'HOME': str(home), 'XDG_CONFIG_HOME': str(home / '.config')}
        self.x('mousemove', '5', '5')  # input now: the idle time starts from here
        self.started = time.monotonic()
        self.proc = subprocess.Popen([QUILLMERE, *args], env=self.env, stderr=open(self.log, 'w'))
        self.seen = set()

    def x(self, *args):
        return subprocess.run(['xdotool', *args], env=self.env, capture_output=True, text=True, timeout=10).stdout

    def windows(self, name):
        return windows(self.display, name)

    def has_keyboard(self):  # the session's window is shown and has the keyboard: a key now reaches it
        return set(self.windows('quillmere')) & {int(w) for w in self.x('getwindowfocus').split()}

    def shot(self, name):
        png = subprocess.run(['import', '-window', 'root', '-display', self.display, 'png:-'],
                             capture_output=True, timeout=20).stdout
        SHOTS.mkdir(parents=True, exist_ok=True)
        (SHOTS / f'{name}.png').write_bytes(png)
        return Image.open(io.BytesIO(png)).convert('RGB')

    def emulators(self):  # running emulators (not queries) that this saver launched: pid -> argv
        return {pid: argv for pid, parent, _, argv in processes()
                if parent == self.proc.pid and '-rompath' in argv and '-verifyroms' not in argv}

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

    def running(self):  # emulators of this saver's ROM folder still running, whoever started them
        return [p for p in processes() if str(self.roms) in p[3]]

    def finish(self, seconds, status=0):
        assert self.proc.wait(timeout=seconds) == status
        for pid, parent, name, _ in processes():  # what a launcher started is orphaned to us when it ends
            if parent == os.getpid() and 'mame' in name:
                os.waitpid(pid, os.WNOHANG)
        # No emulator left running or unreaped, as the saver's child or orphaned to us.
        assert not [p for p in processes() if p[1] in (self.proc.pid, os.getpid()) and 'mame' in p[2]]


def windows(display, name):
    return [int(w) for w in subprocess.run(['xdotool', 'search', '--classname', f'^{name}$'], env={'DISPLAY': display},
                                           capture_output=True, text=True, timeout=10).stdout.split()]


def script(tmp, run):  # a shell script as MamePath: its queries go to the real MAME, its runs do run
    path = tmp / 'emu/mame'
    path.parent.mkdir()
    path.write_text(f'#!/bin/sh\ncase "$*" in *-listxml*|*-verifyroms*) exec {MAME} "$@";; esac\n{run}\n')
    path.chmod(0o755)
    return path


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


def test_rounds_run_their_time_pause_skips_escape_ends_both(start, display):
    with client(display, HOLD_ALT_ESCAPE):  # Escape still reaches the session
        rounds(start(['run']))


def rounds(saver):
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


@pytest.mark.parametrize('games,settings,why', [
    ((), None, 'The ROM folder {roms} cannot be opened'),
    (('pacman',), None, 'Every set in {roms} was found broken'),   # its files are missing
    ((), 'MamePath=/usr/games/mame\nMameRomsPath={empty}\n', 'The ROM folder {empty} is empty'),
    ((), 'MamePath=/usr/games/mame\n', 'No ROM folder is set')], ids=['missing', 'broken', 'empty', 'unset'])
def test_a_dead_end_says_why_under_searching_and_another_key_ends_the_session(start, tmp_path, games, settings, why):
    (tmp_path / 'empty').mkdir()
    settings = settings and settings.format(empty=tmp_path / 'empty')
    saver = start(['run', '--settings', str(tmp_path / 'home/.config/quillmere/settings')], games=games,
                  settings=settings)
    why = 'quillmere: ' + why.format(roms=tmp_path / 'roms', empty=tmp_path / 'empty')
    wait_for(lambda: why in saver.log.read_text().splitlines(), 60, why)
    shot = wait_for(lambda: (lambda s: count(s, GREEN, (0, 470, 1024, 600)) > 200 and s)(saver.shot('dead-end')), 10,
                    'the reason under "Searching..."')
    assert count(shot, GREEN, (0, 0, 1024, 470)) > 2000, '"Searching..." in green'
    saver.x('key', 'a')
    saver.finish(3)
    assert saver.log.read_text().splitlines().count(why) == 1, 'said once'



@pytest.mark.parametrize('end', ['Escape', 'Pause', 'a', 'SIGTERM'])
def test_a_users_own_emulator_holds_the_rounds_off_and_is_never_asked_to_close(start, display, tmp_path, end):
    (tmp_path / 'mine').mkdir()
    mine = subprocess.Popen([MAME, '-rompath', str(tmp_path / 'mine'), '-sound', 'none', '-skip_gameinfo', 'pong'],
                            env={**os.environ, 'DISPLAY': display}, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        wait_for(lambda: windows(display, 'mame'), 20, "the user's emulator")
        saver = start(['run'], games=('pong',), splash_ms=300)
        wait_for(saver.has_keyboard, 10, 'the session')  # not the user's emulator: its Escape would end it
        if end == 'SIGTERM':
            saver.proc.send_signal(signal.SIGTERM)
        else:
            saver.x('key', end, 'Escape')  # Pause skips; Escape then ends
        assert saver.proc.wait(timeout=15) == 0 and not saver.emulators()
        with pytest.raises(subprocess.TimeoutExpired):
            mine.wait(timeout=3)
        assert windows(display, 'mame'), "the user's emulator runs on"
    finally:
        mine.kill()
        mine.wait()


def test_a_start_that_fails_after_four_and_a_half_seconds_fails_whatever_the_timers(start, tmp_path):
    saver = start(['run'], games=('pong', 'pongd', 'breakout', 'rebound'), run_ms=60000, splash_ms=300,
                  exe=script(tmp_path, 'sleep 4.5; exit 1'), timers='WaitForMESSTimer=3000\nPollTimer=3000\n')
    # Five failed starts in a row: the back-off, and its note under "Searching..."
    wait_for(lambda: count(saver.shot('failed-starts'), GREEN, (0, 470, 1024, 600)) > 200, 100,
             'the note of the failed starts', every=1)
    saver.x('key', 'Escape')
    saver.finish(15)


def test_a_launcher_that_returns_runs_full_rounds_and_escape_ends_its_emulator(start, tmp_path):
    runs = tmp_path / 'runs'
    saver = start(['run'], games=('pong',), run_ms=3000, splash_ms=300,
                  exe=script(tmp_path, f'echo >> {runs}; {MAME} "$@" &'))
    # The one game would be refused after two failed starts.
    wait_for(lambda: runs.exists() and len(runs.read_text()) == 3 and saver.windows('mame'), 90, 'a third run')
    saver.x('key', 'Escape')
    wait_for(lambda: not saver.running(), 10, 'Escape ends the emulator the launcher started')
    saver.finish(15)


def test_dark_after_a_minute_closes_the_game_launches_nothing_more_and_a_key_ends_it(start):
    saver = start(['run'], games=('pong',), run_ms=4000, splash_ms=300,
                  timers='WaitForMESSTimer=2000\nPollTimer=100\nDarkAfterMinutes=1\n')
    wait_for(lambda: saver.windows('quillmere'), 20, 'the session')   # an empty display is black too
    dark = lambda: not saver.windows('mame') and saver.shot('dark').getextrema() == ((0, 0),) * 3  # noqa: E731
    wait_for(dark, 100, 'the dark screen', every=1)
    time.sleep(3)
    assert dark() and not saver.emulators(), 'no round after the dark'
    saver.x('key', 'a')
    saver.finish(5)


# Last: --after changes the X server's own screen-saver timeout.
def test_idle_follows_the_server_saver_held_off_by_a_client_and_starts_again_after_a_click(start, display, tmp_path):
    emulator = tmp_path / 'emu/mame'  # the real MAME, with a snapshot beside it
    (tmp_path / 'emu/snap/pong').mkdir(parents=True)
    emulator.symlink_to(MAME)
    Image.new('RGB', (64, 48), BLUE).save(tmp_path / 'emu/snap/pong/0000.png')
    with client(display, SUSPEND_SAVER) as player:  # a video player
        saver = start(['idle', '--after', '2'], games=('pong',), splash_ms=60000, exe=emulator)
        time.sleep(5)
        assert not saver.windows('quillmere'), 'no session while a client suspends the screen saver'
        player.stdin.write('\n')
        player.stdin.flush()
        assert select.select([player.stdout], [], [], 10)[0] and player.stdout.readline() == '\n', 'it lets go'
        saver.started = time.monotonic()
        sessions(saver)
    saver.proc.send_signal(signal.SIGTERM)
    saver.finish(5)


def sessions(saver):
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


@pytest.mark.parametrize('holder,finding', [(HOLD_ALT_ESCAPE, 'ok'), (HOLD_ALT_ESCAPE.replace(', 8,', ', 0,'), 'warn')],
                         ids=['alt-escape elsewhere', 'escape elsewhere'])
def test_doctor_tells_a_key_another_program_holds(display, tmp_path, holder, finding):
    (tmp_path / 'settings').write_text(f'MamePath={MAME}\n')
    with client(display, holder):
        out = subprocess.run([str(pathlib.Path(QUILLMERE).parent / 'quillmere-check'), '--settings',
                              str(tmp_path / 'settings'), 'doctor'], env={**os.environ, 'DISPLAY': display},
                             capture_output=True, text=True, timeout=120).stdout
    keys = [line.split('\t') for line in out.splitlines() if line.split('\t')[1:2] == ['hot keys']]
    assert [line[0] for line in keys] == [finding], out
    assert finding == 'ok' or keys[0][2].startswith('Escape is held by another program'), out


@pytest.mark.parametrize('settings,said', [
    ('', 'no settings file {home}/.config/quillmere/settings: using /usr/games/mame and the ROM folder {roms} '
         '(rompath of {home}/.mame/mame.ini)'),
    ('  mamepath = /usr/games/mame \nMAMEROMSPATH= ~/../roms\nMameRomPath=/typo\n',
     '{home}/.config/quillmere/settings: unknown setting "MameRomPath" (did you mean MameRomsPath?)')],
    ids=['no settings file', 'as people write it'])
def test_settings_as_a_new_user_has_them(start, tmp_path, settings, said):
    home, roms = tmp_path / 'home', tmp_path / 'roms'
    saver = start(['run'], games=('pong',), settings=settings, mame_ini='rompath  $HOME/../roms;/nowhere\n')
    pid, argv = wait_for(lambda: next(iter(saver.emulators().items()), None), 40, 'a Pong round')
    assert argv[-3:] == ['-rompath', f'{home}/../roms', 'pong'], argv
    said = said.format(home=home, roms=f'{home}/../roms')
    assert f'quillmere: {said}' in saver.log.read_text().splitlines(), saver.log.read_text()
    saver.x('key', 'Escape')
    saver.finish(15)
