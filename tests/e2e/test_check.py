# quillmere-check: the saver's own choice, query, lookup and painting code.
# Natively (no Wine) the queries run against a scripted emulator serving report
# text built here and against Debian's real mame, each answer checked against an
# independent reading of the report. Under Wine: fifty choices over real folder
# trees and archives, and pictures painted as the splash paints them.
import os
import re
import shutil
import subprocess
import xml.etree.ElementTree as ET
import zipfile

import pytest
from PIL import Image

from harness import BUILD, ROOT, WORK, Emulator, count, real_report, winpath

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
    result = subprocess.run([NATIVE, "--mame", exe, "--mess", exe] + list(args), timeout=120, capture_output=True)
    return result.returncode, result.stdout.decode("latin-1").rstrip("\n"), open(FAKE + "/runs").read().splitlines()


GOOD = '\t\t<driver status="good" emulation="good"/>\n'
ROM = '\t\t<rom name="%s" size="1" status="%s"/>\n'
LONG = "d" * 1023
REPORT_ROWS = [
    # device SYSTEM FILE: the file's extension (within its last four
    # characters, any case) against the first device listing it.
    ("extension in capitals", ["device", "sys", "x.BIN"], machine(device("cartA", "bin", "rom")), "1\tcartA"),
    ("Windows path", ["device", "sys", r"C:\soft\nes\game.Rom"], machine(device("cartA", "bin", "rom")), "1\tcartA"),
    ("no device takes it", ["device", "sys", "x.img"], machine(device("cartA", "bin")), "0\t"),
    ("no dot", ["device", "sys", "nodot"], machine(device("cartA", "bin")), "0\t"),
    ("four letters", ["device", "sys", "x.jpeg"], machine(device("cartA", "jpeg")), "0\t"),
    ("prefix of an extension", ["device", "sys", "x.bi"], machine(device("cartA", "bin")), "0\t"),
    ("longer than an extension", ["device", "sys", "x.binn"], machine(device("cartA", "bin")), "0\t"),
    ("only a dot and the extension", ["device", "sys", ".bin"], machine(device("cartA", "bin")), "1\tcartA"),
    ("trailing dot", ["device", "sys", "a.bin."], machine(device("cartA", "bin")), "0\t"),
    ("empty value, name ending in a dot", ["device", "sys", "x."], machine(device("cartA", "bin", "")), "1\tcartA"),
    ("one letter", ["device", "sys", "x.b"], machine(device("cartA", "a", "b")), "1\tcartA"),
    ("values in capitals never match", ["device", "sys", "x.BIN"], machine(device("cartA", "BIN")), "0\t"),
    ("first of two devices", ["device", "sys", "x.bin"], machine(device("c1", "bin") + device("c2", "bin")), "1\tc1"),
    ("second device's own", ["device", "sys", "x.e0"], machine(device("c1", "a0") + device("c2", "bin", "e0")), "1\tc2"),
    ("a device without extensions lends its name", ["device", "sys", "x.bin"],
     machine(device("printer") + device("cartB", "bin")), "1\tprinter"),
    ("the DTD is no machine", ["device", "sys", "x.bin"],
     '<!DOCTYPE x [ <instance name="cartA"/><extension name="bin"/></device> ]>\n<mame><machine name="sys">'
     '<description>S</description></machine></mame>', "0\t"),
    ("empty report", ["device", "sys", "x.bin"], "", "0\t"),
    ("cut inside a value", ["device", "sys", "x.bin"], '<machine name="sys"><instance name="c"/><extension name="bi', "0\t"),
    ("cut inside the device's name", ["device", "sys", "x.bin"], '<machine name="sys"><instance name="car', "0\t"),
    ("cut before the closing tag", ["device", "sys", "x.bin"],
     '<machine name="sys"><instance name="c"/><extension name="rom"', "0\t"),
    ("unquoted name", ["device", "sys", "x.bin"], '<machine name="sys"><instance name=c/>', "0\t"),
    ("any next element's first value", ["device", "sys", "x.bin"],
     machine('<device><instance name="cartA"/><extension name="rom"/><foo bar="bin"/></device>\n'), "1\tcartA"),
    ("device name of 1023 characters", ["device", "sys", "x.bin"], machine(device(LONG, "bin")), "1\t" + LONG),
    ("device name of 1024 characters", ["device", "sys", "x.bin"], machine(device(LONG + "d", "bin")), "0\t"),
    ("a later device after an overlong one", ["device", "sys", "x.bin"],
     machine(device(LONG + "d", "rom") + device("cart2", "bin")), "1\tcart2"),
    ("extension value beyond 127 characters", ["device", "sys", "x.bin"],
     machine(device("cartA", "bin" + "x" * 200, "bin")), "1\tcartA"),
    ("only an overlong value", ["device", "sys", "x.bin"], machine(device("cartA", "bin" + "x" * 200)), "0\t"),
    # status GAME: 0 good, 1 no status or imperfect, 2 preliminary, 3 bad dump, 4 missing dump.
    ("unknown machine", ["status", "game"], "No matching machines found for 'game'\n", "1"),
    ("no driver element", ["status", "game"], machine(ROM % ("a", "good")), "1"),
    ("good", ["status", "game"], machine(ROM % ("a", "good") + GOOD), "0"),
    ("another attribute imperfect", ["status", "game"], machine('<driver status="good" emulation="imperfect"/>'), "1"),
    ("imperfect feature after the driver", ["status", "game"],
     machine(GOOD + '<feature type="sound" status="imperfect"/>'), "1"),
    ("preliminary", ["status", "game"], machine('<driver status="preliminary"/>'), "2"),
    ("preliminary and imperfect", ["status", "game"], machine('<driver status="preliminary" emulation="imperfect"/>'), "1"),
    ("bad dump", ["status", "game"], machine(GOOD + ROM % ("b", "baddump")), "3"),
    ("missing dump", ["status", "game"], machine(ROM % ("c", "nodump") + GOOD), "4"),
    ("bad and missing dumps", ["status", "game"], machine(ROM % ("c", "nodump") + ROM % ("b", "baddump") + GOOD), "3"),
    ("imperfect before the driver", ["status", "game"], machine('<feature status="imperfect"/>' + GOOD), "0"),
    ("preliminary beats a bad dump", ["status", "game"], machine(ROM % ("b", "baddump") + '<driver status="preliminary"/>'), "2"),
    ("unquoted dump status", ["status", "game"], machine(GOOD + "<rom status=baddump/>"), "0"),
    # info mame NAME: the first description and the first year after it, as written.
    ("both", ["info", "mame", "g"], machine("<description>Game One</description><year>1984</year>"), "1\tGame One\t1984"),
    ("no year", ["info", "mame", "g"], machine("<description>Game One</description>"), "0\tGame One\t"),
    ("no description", ["info", "mame", "g"], machine("<year>1984</year>"), "0\t\t"),
    ("empty description", ["info", "mame", "g"], machine("<description></description><year>19??</year>"), "1\t\t19??"),
    ("year before the description", ["info", "mame", "g"], machine("<year>1984</year><description>G</description>"), "0\tG\t"),
    ("year far after it", ["info", "mame", "g"], machine("<description>G</description><rom/>\n<year>2001</year>"), "1\tG\t2001"),
    ("entities and blanks kept", ["info", "mame", "g"],
     machine("<description> Pac &amp; Pal</description><year> 1983 </year>"), "1\t Pac &amp; Pal\t 1983 "),
    ("first machine's values", ["info", "mame", "g"],
     machine("<description>First</description><year>1</year><machine><description>S</description><year>2</year>"),
     "1\tFirst\t1"),
    ("unclosed description", ["info", "mame", "g"], machine("<description>Game One\n"), "0\t\t"),
    ("unclosed year", ["info", "mame", "g"], machine("<description>G</description><year>1984"), "0\tG\t"),
    ("description of 1023 characters", ["info", "mame", "g"],
     machine("<description>%s</description><year>%s</year>" % (LONG, LONG)), "1\t%s\t%s" % (LONG, LONG)),
    ("description of 1024 characters", ["info", "mame", "g"],
     machine("<description>%sd</description><year>1984</year>" % LONG), "0\t\t"),
    ("year of 1024 characters", ["info", "mame", "g"], machine("<description>G</description><year>%sd</year>" % LONG), "0\tG\t"),
    # The scans end at the report's first NUL, and inside a report cut at 99999 characters.
    ("device after a NUL", ["device", "sys", "x.bin"], '<machine name="sys"><instance name="c"/>\0<extension name="bin"/>', "0\t"),
    ("status after a NUL", ["status", "g"], '<machine name="g">\0<driver status="good"/>', "1"),
    ("info after a NUL", ["info", "mame", "g"], "<description>D\0</description><year>1</year>", "0\t\t"),
    ("device in a cut report", ["device", "sys", "x.bin"],
     '<machine name="s"><instance name="c"/><extension name="' + "a" * 150000, "0\t"),
    ("status in a cut report", ["status", "g"], '<driver status="' + "a" * 150000, "0"),
]


@pytest.mark.parametrize("args,report,expected", [r[1:] for r in REPORT_ROWS],
                         ids=[r[0] for r in REPORT_ROWS])
def test_queries_on_built_reports(args, report, expected):
    rc, out, runs = native(*args, report=report)
    assert (rc, out) == (0, expected)
    assert runs == ["-listxml " + args[-2 if args[0] == "device" else -1]], "the emulator is asked once"


@pytest.mark.parametrize("name", ["a -b", "-listfull", 'game"x', "x\ty", "pac.man"])
def test_names_that_would_add_options_run_nothing(name):
    report = machine("<description>D</description><year>1</year>" + GOOD + device("cartA", "bin"))
    for args, expected in ((["device", name, "x.bin"], "0\t"), (["status", name], "1"),
                           (["info", "mame", name], "0\t\t")):
        assert native(*args, report=report) == (0, expected, [])
    assert native("status", "pac_man2", report=report) == (0, "0", ["-listxml pac_man2"])


def test_command_lines_that_do_not_fit_run_nothing():
    # Slashes added to the emulator's folder leave its path the same.
    for length, runs in ((1023, 1), (1024, 0)):
        padding = length - len('"%s\\emu" -listxml sys' % FAKE)
        folder = FAKE[:1] + "/" * padding + FAKE[1:]
        rc, out, ran = native("device", "sys", "x.bin", report=machine(device("c", "bin")),
                              emulator=folder + "/emu")
        assert (rc, out, len(ran)) == (0, "1\tc" if runs else "0\t", runs), length


def expected_status(text):   # the verdict by the marker rules
    driver = text.find("<driver status=")
    if driver < 0 or "imperfect" in text[driver:]:
        return 1
    if "preliminary" in text[driver:]:
        return 2
    return 3 if 'status="baddump"' in text else 4 if 'status="nodump"' in text else 0


def expected_device(text, extension):
    # The device of the first device element, in report order, whose extensions
    # hold extension; a device listing none lends its name to the next one.
    pending = None
    for element in ET.fromstring(text).iter("device"):
        instance = element.find("instance")
        pending = pending or (instance.get("name") if instance is not None else None)
        names = [e.get("name") for e in element.findall("extension")]
        if names and extension in names:
            return pending
        pending = None if names else pending
    return None


MAME = "/usr/games/mame"


@pytest.mark.parametrize("game", ["pacman", "galaga", "18w", "1943", "3in1semi", "8ballact", "nes", "a2600",
                                  "nosuchgame"])
def test_status_of_real_reports(game):
    text = real_report(game) if game != "nosuchgame" else ""
    assert native("status", game, emulator=MAME)[:2] == (0, str(expected_status(text)))


def test_the_real_reports_chosen_give_every_verdict():
    games = ["pacman", "galaga", "18w", "1943", "3in1semi", "8ballact", "nes", "a2600"]
    assert {expected_status(real_report(g)) for g in games} | {expected_status("")} == {0, 1, 2, 3, 4}


@pytest.mark.parametrize("system,extensions", [("nes", ["nes", "unf", "unif", "fds", "bin", "zzz"]),
                                               ("a2600", ["a26", "bin", "wav", "zzz"]),
                                               ("pacman", ["bin"])])
def test_devices_of_real_reports(system, extensions):
    text = real_report(system)
    for n, extension in enumerate(extensions):
        # Capitals and a Windows path on every other name.
        name = ("C:\\SOFT\\GAME." + extension.upper()) if n % 2 else "game." + extension
        want = expected_device(text, extension) if len(extension) <= 3 else None
        assert native("device", system, name, emulator=MAME)[:2] == (0, "1\t" + want if want else "0\t"), name


@pytest.mark.parametrize("name", ["galaga", "1942", "nes", "a2600", "c64"])
def test_description_and_year_of_real_reports(name):
    text = real_report(name)
    description = re.search(r"<description>(.*?)</description>", text, re.S).group(1)
    year = re.search(r"<year>(.*?)</year>", text[text.find("<description>"):], re.S).group(1)
    assert native("info", "mame", name, emulator=MAME)[:2] == (0, "1\t%s\t%s" % (description, year))


def test_choose_fails_after_1000_calls_when_nothing_can_be_chosen():
    empty = os.path.join(WORK, "no-roms")
    os.makedirs(empty, exist_ok=True)
    settings = os.path.join(WORK, "no-roms.txt")
    with open(settings, "w") as f:
        f.write("# MAME only, over an empty ROM folder\nMamePath=%s\nMameRomsPath=%s\n" % (
            scripted_emulator().replace("/", "\\"), empty.replace("/", "\\")))
    result = subprocess.run([NATIVE, "--settings", settings, "choose", "3"], stdout=subprocess.PIPE,
                            timeout=120)
    assert (result.returncode, result.stdout.decode().strip()) == (1, "choices: 0, failed calls: 1000")


# ---- under Wine ----------------------------------------------------------------------

CHECK = os.path.join(BUILD, "quillmere-check.exe")
MAME_OPTION = "-skip_gameinfo -nowindow"
MESS_OPTION = "-skip_gameinfo -skip_warnings -nonu  -nowindow"
ROMS = {"pacman.zip": "pacman", "Galaga.ZIP": "galaga", "dkong.zip": "dkong", "1942": "1942", "18w.zip": "18w"}
LOOSE = ["nes/Mystery Quest.nes", "nes/sub/deep/Rom Two.NES", "nes/readme.txt", "nes/Only For Atari.a26",
         "a2600/homebrew/Space Walk.bin", "a2600/cover.jpeg", "coleco/Never Chosen.col"]
ARCHIVES = {"nes/pack.zip": ["game1.nes", "folder/game2.unf", "notes.doc"],
            "a2600/classics.zip": ["Combat.bin", "Outlaw.a26", "manual.pdf"],
            "coleco/pack.zip": ["Also Never.col"]}


def check(env, *args, timeout=60):
    result = env.wine(CHECK, *args, timeout=timeout)
    return result.returncode, result.stdout.replace("\r\n", "\n")


def test_fifty_choices_over_real_trees_are_all_valid(env):
    root = os.path.join(WORK, "check")
    shutil.rmtree(root, ignore_errors=True)
    mame = Emulator("check-mame", "mame.exe", reports=set(ROMS.values()))
    mess = Emulator("check-mess", "mess.exe", reports=["nes", "a2600", "coleco"])
    roms, software, bios = (os.path.join(root, n) for n in ("roms", "software", "bios"))
    os.makedirs(bios)
    os.makedirs(roms)
    for entry in ROMS:   # a folder, or an empty file
        if "." in entry:
            open(os.path.join(roms, entry), "w").close()
        else:
            os.makedirs(os.path.join(roms, entry))
    for name in LOOSE:
        os.makedirs(os.path.dirname(os.path.join(software, name)), exist_ok=True)
        with open(os.path.join(software, name), "wb") as f:
            f.write(os.urandom(512))
    for archive, members in ARCHIVES.items():
        with zipfile.ZipFile(os.path.join(software, archive), "w") as z:
            for member in members:
                z.writestr(member, os.urandom(256))
    env.configure(MamePath=mame.win_exe, MameRomsPath=winpath(roms), MameOption=MAME_OPTION,
                  MessPath=mess.win_exe, MessSoftwarePath=winpath(software), MessBiosPath=winpath(bios),
                  MessOption=MESS_OPTION, MameCheckOnlyPerfect=1,
                  SystemsList=["nes nes", "nes unf", "a2600 bin", "a2600 a26"])   # coleco left out
    rc, out = check(env, "choose", "50", timeout=240)
    lines = out.rstrip("\n").split("\n")
    assert rc == 0 and len(lines) == 51, out
    assert re.fullmatch(r"choices: 50, failed calls: \d+", lines[-1])
    good = {game for game in ROMS.values() if expected_status(real_report(game)) == 0}
    assert "18w" not in good   # so the refused game stays refusable
    kinds = set()
    for line in lines[:-1]:
        kind, name, chosen, command = line.split("\t")
        if kind == "MAME":
            kinds.add(kind)
            assert chosen in good and name == chosen, line
            assert command == '"%s" %s -rompath "%s" "%s"' % (mame.win_exe, MAME_OPTION, winpath(roms), chosen)
            continue
        assert kind == "MESS" and name in ("nes", "a2600"), line
        prefix = '"%s" -biospath "%s" %s %s -' % (mess.win_exe, winpath(bios), MESS_OPTION, name)
        device, target = re.fullmatch(re.escape(prefix) + r'(\S+) "(.*)"', command).groups()
        relative = target[len(winpath(software)) + 1:].replace("\\", "/")
        archive = next((a for a in ARCHIVES if relative.startswith(a + "/")), None)
        if archive:
            kinds.add("archive")
            assert relative == archive + "/" + chosen and chosen in ARCHIVES[archive], line
        else:
            kinds.add("file")
            assert relative in LOOSE and os.path.basename(relative) == chosen, line
        assert device == expected_device(real_report(name), chosen.split(".")[-1].lower()), line
    assert kinds == {"MAME", "archive", "file"}   # 50 fair draws all but surely show each


RED, GREEN, BLUE, BACKGROUND = (255, 0, 0), (0, 255, 0), (0, 0, 255), (20, 20, 20)
# (picture size and colour, mode, [(pixel, colour)], [(colour, box, pixels)])
RENDER_ROWS = {
    "300x200 tiles from (-238, -116)": ("300x200", "#ff0000", 1, [
        ((x, y), GREEN) for x in (62, 362, 662, 962) for y in (84, 284, 484, 684)] + [
        ((x + 299, y + 199), BLUE) for x in (-238, 62, 362, 662) for y in (-116, 84, 284, 484)],
        [(GREEN, None, 16), (BLUE, None, 16), (RED, None, 1024 * 768 - 32)]),
    "window-sized picture tiled once": ("1024x768", "#ff0000", 1, [((0, 0), GREEN), ((1023, 767), BLUE)],
                                        [(RED, None, 1024 * 768 - 2)]),
    "taller picture fitted to the height": ("800x1000", "#00c8ff", 1, [
        ((203, 384), BACKGROUND), ((819, 384), BACKGROUND)], [((0, 200, 255), (204, 0, 819, 768), 615 * 768),
                                                              ((0, 200, 255), None, 615 * 768)]),
    "wider picture fitted to the width": ("2048x1024", "#c8ff00", 1, [
        ((512, 127), BACKGROUND), ((512, 640), BACKGROUND)], [((200, 255, 0), (0, 128, 1024, 640), 1024 * 512),
                                                              ((200, 255, 0), None, 1024 * 512)]),
    "snapshot stretched": ("300x200", "#ff0000", 0, [((0, 0), GREEN), ((1023, 767), BLUE)],
                           [(BACKGROUND, None, 0)]),
    "tall snapshot stretched": ("800x1000", "#00c8ff", 0, [], [(BACKGROUND, None, 0)]),
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
