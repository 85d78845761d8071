# quillmere-check: the saver's own query and painting code. Natively (no Wine)
# the queries run against a scripted emulator serving report text built here.
# Under Wine: the user's choices over real reports, and pictures painted as
# the splash paints them.
import os
import shutil
import subprocess

import pytest
from PIL import Image

from harness import BUILD, ROOT, WORK, Emulator, count, wait_until, winpath

NATIVE = os.path.join(ROOT, "build", "native", "quillmere-check")
FAKE = os.path.join(WORK, "native-emu")
DTD = ('<?xml version="1.0"?>\n<!DOCTYPE mame [\n<!ELEMENT device (instance?, extension*)>\n'
       '<!ATTLIST instance name CDATA #REQUIRED>\n<!ATTLIST extension name CDATA #REQUIRED>\n]>\n')


def machine(inner):
    return DTD + '<mame build="0.251">\n\t<machine name="sys" sourcefile="sys.cpp">\n%s\t</machine>\n</mame>\n' % inner


def device(name, *extensions):
    return ('\t\t<device type="cartridge" tag="c">\n\t\t\t<instance name="%s" briefname="c"/>\n' % name +
            "".join('\t\t\t<extension name="%s"/>\n' % e for e in extensions) + "\t\t</device>\n")


def scripted_emulator():   # logs its arguments to runs and prints the file report
    if not os.path.exists(FAKE):
        os.makedirs(FAKE)
        with open(os.path.join(FAKE, "emu"), "w") as f:
            f.write('#!/bin/sh\necho "$*" >> "${0%/*}/runs"\ncat "${0%/*}/report"\n')
        os.chmod(os.path.join(FAKE, "emu"), 0o755)
    return os.path.join(FAKE, "emu")


def native(*args, report=None, emulator=None):
    # The native quillmere-check with the scripted emulator (serving report for
    # every machine) or the given one: (exit code, output, emulator runs).
    exe = (emulator or scripted_emulator()).replace("/", "\\")
    with open(os.path.join(FAKE, "report"), "wb") as f:
        f.write((report or "").encode("latin-1"))
    open(os.path.join(FAKE, "runs"), "w").close()
    # No user's settings file, and a fresh facts cache: the scripted emulator
    # changes its report without becoming another file.
    shutil.rmtree(os.path.join(FAKE, "cache"), ignore_errors=True)
    result = subprocess.run([NATIVE, "--mame", exe, "--mess", exe] + list(args), timeout=120, capture_output=True,
                            env=dict(os.environ, XDG_CONFIG_HOME=FAKE, XDG_CACHE_HOME=os.path.join(FAKE, "cache")))
    return result.returncode, result.stdout.decode("latin-1").rstrip("\n"), open(FAKE + "/runs").read().splitlines()


GOOD = '\t\t<driver status="good" emulation="good"/>\n'
REPORT_ROWS = [
    # device SYSTEM FILE: the file's extension, its last four characters in any
    # case, against the first device listing it.
    ("extension in capitals", ["device", "sys", "x.BIN"], machine(device("cartA", "bin", "rom")), "1\tcartA"),
    ("Windows path", ["device", "sys", r"C:\soft\nes\game.Rom"], machine(device("cartA", "bin", "rom")), "1\tcartA"),
    ("no device takes it", ["device", "sys", "x.img"], machine(device("cartA", "bin")), "0\t"),
    ("no dot", ["device", "sys", "nodot"], machine(device("cartA", "bin")), "0\t"),
    ("four letters", ["device", "sys", "x.jpeg"], machine(device("cartA", "jpeg")), "0\t"),
    ("prefix of an extension", ["device", "sys", "x.bi"], machine(device("cartA", "bin")), "0\t"),
    ("trailing dot", ["device", "sys", "a.bin."], machine(device("cartA", "bin")), "0\t"),
    ("first of two devices", ["device", "sys", "x.bin"], machine(device("c1", "bin") + device("c2", "bin")), "1\tc1"),
    ("a device without extensions lends its name", ["device", "sys", "x.bin"],
     machine(device("printer") + device("cartB", "bin")), "1\tprinter"),
    ("a report cut short", ["device", "sys", "x.bin"], '<machine name="sys"><instance name="c"/><extension name="bi', "0\t"),
    # status GAME: 0 good, 1 no status or imperfect, 2 preliminary, 3 bad dump, 4 missing dump.
    ("unknown machine", ["status", "game"], "No matching machines found for 'game'\n", "1"),
    ("imperfect feature after the driver", ["status", "game"],
     machine(GOOD + '<feature type="sound" status="imperfect"/>'), "1"),
    ("imperfect before the driver", ["status", "game"], machine('<feature status="imperfect"/>' + GOOD), "0"),
    ("preliminary and imperfect", ["status", "game"], machine('<driver status="preliminary" emulation="imperfect"/>'), "1"),
    ("preliminary beats a bad dump", ["status", "game"], machine('<rom status="baddump"/><driver status="preliminary"/>'), "2"),
    ("bad and missing dumps", ["status", "game"], machine('<rom status="nodump"/><rom status="baddump"/>' + GOOD), "3"),
    # info mame NAME: the first description and the first year after it, as written.
    ("no year", ["info", "mame", "g"], machine("<description>Game One</description>"), "0\tGame One\t"),
    ("year before the description", ["info", "mame", "g"], machine("<year>1984</year><description>G</description>"), "0\tG\t"),
    ("entities decoded, blanks and other ampersands kept", ["info", "mame", "g"],
     machine("<description> Pac &amp; Pal &lt;&#38;&#x41;&quot;&apos;&gt;&#233; &bogus; &#xD800; &amp</description>"
             "<year> 198&#x33; </year>"), "1\t Pac & Pal <&A\"'>\u00c3\u00a9 &bogus; &#xD800; &amp\t 1983 "),
    # Every scan ends inside the 99999 characters kept of a longer report.
    ("device in a cut report", ["device", "sys", "x.bin"],
     '<machine name="s"><instance name="c"/><extension name="' + "a" * 150000, "0\t"),
    ("status in a cut report", ["status", "g"], '<driver status="' + "a" * 150000, "0"),
    ("info in a cut report", ["info", "mame", "g"], "<description>" + "a" * 150000, "0\t\t"),
]


@pytest.mark.parametrize("args,report,expected", [r[1:] for r in REPORT_ROWS],
                         ids=[r[0] for r in REPORT_ROWS])
def test_queries_on_built_reports(args, report, expected):
    rc, out, runs = native(*args, report=report)
    assert (rc, out) == (0, expected)
    assert runs == ["-listxml " + args[-2 if args[0] == "device" else -1]], "the emulator is asked once"


@pytest.mark.parametrize("program", ["quillmere-check", "quillmere"])
@pytest.mark.parametrize("args,code,out", [(["--help"], 0, "usage: %s "), (["--version"], 0, "%s 1."), (["nosuch"], 2, "")])
def test_help_and_version_on_standard_output(program, args, code, out):
    out = out.replace("%s", program)
    result = subprocess.run([os.path.join(ROOT, "build", "native", program)] + args, capture_output=True, timeout=30)
    assert (result.returncode, result.stdout.decode().startswith(out)) == (code, True), result


def test_natively_the_choice_is_printed_with_native_paths():
    emulator = scripted_emulator()
    roms = os.path.join(FAKE, "roms")
    os.makedirs(roms, exist_ok=True)
    open(os.path.join(roms, "sys.zip"), "w").close()
    with open(os.path.join(FAKE, "settings"), "w") as f:
        f.write("MameRomsPath=%s\n" % roms)
    rc, out, _ = native("--settings", os.path.join(FAKE, "settings"), "choose", "1",
                        report=machine('\t\t<display type="raster"/>\n' + GOOD))   # a machine with a screen
    assert rc == 0 and out.splitlines()[0].split("\t")[3] == '"%s"  -rompath "%s" "sys"' % (emulator, roms)


# ---- under Wine ----------------------------------------------------------------------

def check(env, *args):
    result = env.wine(os.path.join(BUILD, "quillmere-check.exe"), *args, timeout=60)
    return result.returncode, result.stdout.replace("\r\n", "\n")


CATVER = ("[FOLDER_SETTINGS]\nRootFolderIcon mame\n\n[Category]\npacman=Maze / Collect * Mature *\n"
          "galaga=Shooter / Flying Vertical\n[VerAdded]\ndkong=Quiz\n")
# settings, ROM entries, games chosen, queries (-listxml and -verifyroms)
CHOICE_ROWS = {
    "a list of 3 games in a folder of 5,000": (
        {"MameGameList": "[ROOT_FOLDER]\npacman\n# galaga\ngalaga\ndkong\nnothere\n"},
        ["g%04d" % i for i in range(4997)] + ["pacman", "galaga", "dkong"], {"pacman", "galaga", "dkong"}, 6),
    "a Mature game in the catver.ini beside MAME": ({"catver.ini": CATVER}, ["pacman", "galaga", "dkong"],
                                                    {"galaga", "dkong"}, 4),
    "parents only": ({"MameParentsOnly": 1}, ["pacman", "puckman", "galaga"], {"puckman", "galaga"}, 5),
}


@pytest.mark.parametrize("what", CHOICE_ROWS)
def test_choose_applies_the_users_choices(env, what):
    settings, entries, chosen, queries = CHOICE_ROWS[what]
    mame = Emulator("choices", reports=["pacman", "puckman", "galaga", "dkong"])
    roms = os.path.join(mame.folder, "roms")
    os.makedirs(roms)
    for entry in entries:
        open(os.path.join(roms, entry + ".zip"), "w").close()
    values = dict(MamePath=mame.win_exe, MameRomsPath=winpath(roms))
    for name, value in settings.items():   # texts are files beside the stand-in
        if isinstance(value, str):
            with open(os.path.join(mame.folder, name), "w") as f:
                f.write(value)
            value = winpath(os.path.join(mame.folder, name))
        values[name] = value
    values.pop("catver.ini", None)
    env.configure(**values)
    rc, out = check(env, "choose", "30")
    assert rc == 0, out
    assert {line.split("\t")[1] for line in out.splitlines()[:-1]} == chosen
    assert out.splitlines()[-1].endswith(", queries: %d" % queries)


RED, GREEN, BLUE, BACKGROUND = (255, 0, 0), (0, 255, 0), (0, 0, 255), (20, 20, 20)
# (picture size and colour, mode, [(pixel, colour)], [(colour, box, pixels)])
RENDER_ROWS = {
    # Rows of 301 pixels are no whole number of 4-byte words: a bitmap copy
    # ignoring the row padding would shear the tiles.
    "301x200 tiles from (-240, -116)": ("301x200", "#ff0000", 1, [
        ((x, y), GREEN) for x in (61, 362, 663, 964) for y in (84, 284, 484, 684)] + [
        ((x + 300, y + 199), BLUE) for x in (-240, 61, 362, 663) for y in (-116, 84, 284, 484)],
        [(GREEN, None, 16), (BLUE, None, 16), (RED, None, 1024 * 768 - 32)]),
    "window-sized picture tiled once": ("1024x768", "#ff0000", 1, [((0, 0), GREEN), ((1023, 767), BLUE)],
                                        [(RED, None, 1024 * 768 - 2)]),
    "taller picture fitted to the height": ("800x1000", "#00c8ff", 1, [
        ((203, 384), BACKGROUND), ((819, 384), BACKGROUND)], [((0, 200, 255), (204, 0, 819, 768), 615 * 768),
                                                              ((0, 200, 255), None, 615 * 768)]),
    "wider picture fitted to the width": ("2048x1024", "#c8ff00", 1, [
        ((512, 127), BACKGROUND), ((512, 640), BACKGROUND)], [((200, 255, 0), (0, 128, 1024, 640), 1024 * 512),
                                                              ((200, 255, 0), None, 1024 * 512)]),
    "shrunk rows are dropped, not mixed": ("800x1000", "stripes", 1, [], [((0, 0, 0), None, 0),
                                                                          (BACKGROUND, None, 409 * 768)]),
    "snapshot stretched": ("300x200", "#ff0000", 0, [((0, 0), GREEN), ((1023, 767), BLUE)],
                           [(BACKGROUND, None, 0)]),
}


@pytest.mark.parametrize("what", RENDER_ROWS)
def test_render_paints_the_splash_layouts_to_the_pixel(env, what):
    size, fill, mode, pixels, counts = RENDER_ROWS[what]
    folder = os.path.join(WORK, "render")
    os.makedirs(folder, exist_ok=True)
    png, bmp = os.path.join(folder, size + fill[1:] + ".png"), os.path.join(folder, "out.bmp")
    w, h = (int(v) for v in size.split("x"))
    # Red pictures have a green top-left and a blue bottom-right pixel.
    corners = ["-fill", "#00ff00", "-draw", "point 0,0", "-fill", "#0000ff", "-draw",
               "point %d,%d" % (w - 1, h - 1)] if fill == "#ff0000" else []
    if fill == "stripes":   # rows of grey 0x7f and 0x80, which a shrink that ANDs rows turns black
        Image.frombytes("RGB", (w, h), b"".join(bytes([0x7f + y % 2]) * 3 * w for y in range(h))).save(png)
    else:
        subprocess.run(["convert", "-size", size, "xc:" + fill] + corners + ["PNG24:" + png], check=True, timeout=60)
    if os.path.exists(bmp):
        os.remove(bmp)
    assert check(env, "render", winpath(png), "1024x768", str(mode), winpath(bmp))[0] == 0
    image = Image.open(bmp).convert("RGB")
    assert image.size == (1024, 768)
    for (x, y), colour in pixels:
        assert image.getpixel((x, y)) == colour, (x, y)
    for colour, box, n in counts:
        assert count(image, colour, box) == n, (colour, box)


def test_render_refuses_what_is_not_a_picture(env):
    text = os.path.join(WORK, "render-text.png")
    with open(text, "w") as f:
        f.write("not a picture at all")
    assert check(env, "render", winpath(text), "1024x768", "1", winpath(text + ".bmp"))[0] != 0


def test_doctor_names_the_dialogs_boxes_and_the_keys_a_running_saver_holds(env):
    mame = Emulator("doctor-mame", reports=["pacman"])
    roms = os.path.join(WORK, "doctor-roms")
    os.makedirs(roms, exist_ok=True)
    open(os.path.join(roms, "pacman.zip"), "w").close()
    env.configure(MamePath=mame.win_exe, MameRomsPath=winpath(roms), MameOption="-nowindow",
                  SystemChangeTimer=600000, SplashScreenTimer=1000)
    saver = env.start_saver("/s")   # holds Escape, Pause and Backspace while it runs
    assert env.wait_window("WindowsScreenSaverClass", "SCREENSAVER")
    env.reg_set("SystemChangeTimer", "REG_DWORD", 500)
    env.reg_set("PollTimer", "REG_DWORD", 0)
    assert wait_until(lambda: mame.starts(), 20), "the saver's keys are registered by its first launch"
    rc, out = check(env, "doctor")
    lines = [line.split("\t") for line in out.splitlines()]
    found = {(line[0], line[1]): line[2] for line in lines if len(line) == 3 and line[0] != "ok"}
    assert rc == 1, out
    assert '"Change system every" in the screen saver\'s settings' in found[("warn", "timers")], out
    assert "the registry value PollTimer of HKEY_CURRENT_USER" in found[("fail", "timers")], out
    assert found[("warn", "hot keys")].startswith("Escape, Pause, Backspace are held by another program"), out
    env.key("Escape")
    assert saver.wait(timeout=15) == 1
    rc, out = check(env, "doctor")
    assert ("ok", "hot keys") in {tuple(line.split("\t")[:2]) for line in out.splitlines()}, out
