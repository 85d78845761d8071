"""quillmere-check.exe under Wine: the saver's own choice, query, artwork lookup
and painting code run over registry settings, a stand-in emulator serving real
machine reports, a ROM folder and a software tree made here. Every line of
output is checked against what the reports and the folders allow, derived in
Python from the report text and the files themselves."""
import os
import re
import shutil
import struct
import subprocess
import unittest
import xml.etree.ElementTree as ET
import zipfile

from harness import BUILD, WORK, Emulator, WineTestCase, real_report, winpath

CHECK = os.path.join(BUILD, "quillmere-check.exe")
MAME_OPTION = "-skip_gameinfo -nowindow"
MESS_OPTION = "-skip_gameinfo -skip_warnings -nonu  -nowindow"

# ROM entries and the game names they stand for.
ROM_ENTRIES = {"pacman.zip": "pacman", "Galaga.ZIP": "galaga", "dkong.zip": "dkong",
               "1942": "1942", "18w.zip": "18w"}
GAMES = ["pacman", "galaga", "dkong", "1942", "18w"]
SYSTEMS = ["nes", "a2600", "coleco"]       # reports served
ALLOWED = ["nes", "a2600"]                  # the allowed-systems list (coleco is left out)

# Software tree: loose files and zip archives, per system folder.
LOOSE = ["nes/Mystery Quest.nes", "nes/sub/deep/Rom Two.NES", "nes/readme.txt",
         "nes/Only For Atari.a26", "a2600/homebrew/Space Walk.bin", "a2600/cover.jpeg",
         "coleco/Never Chosen.col"]
ARCHIVES = {"nes/pack.zip": ["game1.nes", "folder/game2.unf", "notes.doc"],
            "a2600/classics.zip": ["Combat.bin", "Outlaw.a26", "manual.pdf"],
            "coleco/pack.zip": ["Also Never.col"]}


def report_text(name):
    """The report as the saver reads it: what the stand-in prints, cut where
    the query's output buffer ends."""
    return real_report(name)[:99999]


def devices_in_order(text):
    """(instance name, extensions) of every device element, machines in report
    order, read with an XML parser."""
    root = ET.fromstring(text)
    result = []
    for machine in root.iter("machine"):
        for device in machine.findall("device"):
            instance = device.find("instance")
            extensions = [e.get("name") for e in device.findall("extension")]
            result.append((instance.get("name") if instance is not None else None, extensions))
    return result


def expected_device(system, file_name):
    """The device option the report of system gives for file_name's extension:
    the first device in report order listing it. A device that lists no
    extension lends its name to the next one that does. None when no device
    takes the extension (or the name has no usable one)."""
    tail = file_name[-4:]
    if "." not in tail:
        return None
    extension = tail[tail.rfind(".") + 1:].lower()
    pending = None
    for instance, extensions in devices_in_order(report_text(system)):
        if pending is None:
            pending = instance
        if extensions:
            if extension in extensions:
                return pending
            pending = None
    return None


def expected_status(game):
    """The driver verdict, by the documented marker rules over the report text."""
    text = report_text(game)
    at = text.find("<driver status=")
    if at < 0 or "imperfect" in text[at:]:
        return 1
    if "preliminary" in text[at:]:
        return 2
    if 'status="baddump"' in text:
        return 3
    if 'status="nodump"' in text:
        return 4
    return 0


def expected_info(name):
    text = real_report(name)
    description = re.search(r"<description>(.*?)</description>", text, re.S).group(1)
    year = re.search(r"<year>(.*?)</year>", text[text.find("<description>"):], re.S).group(1)
    return description, year


def make_png(path, size, fill, corner=None, far_corner=None):
    """A solid PNG of size 'WxH', optionally with its top-left and bottom-right
    pixels in other colours, so tile positions can be told apart."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    width, height = (int(v) for v in size.split("x"))
    args = ["convert", "-size", size, "xc:" + fill]
    if corner:
        args += ["-fill", corner, "-draw", "point 0,0"]
    if far_corner:
        args += ["-fill", far_corner, "-draw", "point %d,%d" % (width - 1, height - 1)]
    subprocess.run(args + ["-define", "png:color-type=2", "PNG24:" + path], check=True,
                   timeout=60)


class Bmp:
    """A 24-bit bottom-up BMP as quillmere-check render writes it."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        assert data[:2] == b"BM", path
        offset = struct.unpack_from("<I", data, 10)[0]
        self.width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
        assert bits == 24 and height > 0, (bits, height)
        self.height = height
        stride = (self.width * 3 + 3) & ~3
        # Rows top-down, each as B, G, R byte strings of one channel.
        self.rows = []
        for y in range(height):
            start = offset + (height - 1 - y) * stride
            row = data[start:start + self.width * 3]
            self.rows.append((row[2::3], row[1::3], row[0::3]))

    def pixel(self, x, y):
        r, g, b = self.rows[y]
        return (r[x], g[x], b[x])

    def count_channel(self, channel, value, box=None):
        """Pixels of box whose channel (0 red, 1 green, 2 blue) has value."""
        left, top, right, bottom = box or (0, 0, self.width, self.height)
        return sum(self.rows[y][channel][left:right].count(value) for y in range(top, bottom))


class CheckTool(WineTestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = os.path.join(WORK, "check")
        shutil.rmtree(cls.root, ignore_errors=True)
        cls.mame = Emulator("check-mame", "mame.exe", reports=GAMES)
        cls.mess = Emulator("check-mess", "mess.exe", reports=SYSTEMS)
        cls.roms = os.path.join(cls.root, "roms")
        cls.software = os.path.join(cls.root, "software")
        cls.bios = os.path.join(cls.root, "bios")
        os.makedirs(cls.bios)
        for entry in ROM_ENTRIES:
            path = os.path.join(cls.roms, entry)
            if "." in entry:
                os.makedirs(cls.roms, exist_ok=True)
                open(path, "wb").close()
            else:
                os.makedirs(path)
        for name in LOOSE:
            path = os.path.join(cls.software, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(os.urandom(512))
        staging = os.path.join(cls.root, "staging")
        for archive, members in ARCHIVES.items():
            shutil.rmtree(staging, ignore_errors=True)
            for member in members:
                path = os.path.join(staging, member)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "wb") as f:
                    f.write(os.urandom(256))
            target = os.path.join(cls.software, archive)
            subprocess.run(["zip", "-q", "-r", target] + members, cwd=staging, check=True,
                           timeout=60)
        shutil.rmtree(staging)

    def configure(self, **extra):
        values = dict(MamePath=self.mame.win_exe, MameRomsPath=winpath(self.roms),
                      MameOption=MAME_OPTION, MessPath=self.mess.win_exe,
                      MessSoftwarePath=winpath(self.software), MessBiosPath=winpath(self.bios),
                      MessOption=MESS_OPTION, MameCheckOnlyPerfect=1,
                      SystemsList=["nes nes", "nes unf", "a2600 bin", "a2600 a26"])
        values.update(extra)
        self.env.configure(**values)

    def check(self, *args, timeout=60):
        result = self.env.wine(CHECK, *args, timeout=timeout)
        return result.returncode, result.stdout.replace("\r\n", "\n")

    # ---- choose ---------------------------------------------------------------

    def test_choose_50_every_line_is_a_valid_choice(self):
        self.configure()
        rc, out = self.check("choose", "50", timeout=240)
        lines = out.rstrip("\n").split("\n")
        self.assertEqual(0, rc, out)
        self.assertEqual(51, len(lines), out)
        summary = re.fullmatch(r"choices: 50, failed calls: (\d+), queries: \d+", lines[-1])
        self.assertIsNotNone(summary, lines[-1])
        self.assertLessEqual(50 + int(summary.group(1)), 1000)

        good_games = {g for g in GAMES if expected_status(g) == 0}
        self.assertNotIn("18w", good_games)   # the refused one must stay refusable
        mame_prefix = '"%s" %s -rompath "%s" ' % (self.mame.win_exe, MAME_OPTION,
                                                  winpath(self.roms))
        kinds = set()
        for number, line in enumerate(lines[:-1]):
            with self.subTest(line=number, text=line):
                fields = line.split("\t")
                self.assertEqual(4, len(fields))
                kind, machine, software, command = fields
                if kind == "MAME":
                    kinds.add("MAME")
                    self.assertIn(software, good_games)
                    self.assertEqual(software, machine)
                    self.assertEqual(mame_prefix + '"%s"' % software, command)
                    continue
                self.assertEqual("MESS", kind)
                self.assertIn(machine, ALLOWED)
                prefix = '"%s" -biospath "%s" %s %s -' % (self.mess.win_exe, winpath(self.bios),
                                                          MESS_OPTION, machine)
                self.assertTrue(command.startswith(prefix), command)
                match = re.fullmatch(r'(\S+) "(.*)"', command[len(prefix):])
                self.assertIsNotNone(match, command)
                device, target = match.groups()
                system_folder = winpath(os.path.join(self.software, machine)) + "\\"
                self.assertTrue(target.startswith(system_folder), target)
                relative = target[len(system_folder):]
                archive = next((a for a in ARCHIVES if a.startswith(machine + "/") and
                                relative.startswith(a[len(machine) + 1:].replace("/", "\\") +
                                                    "\\")), None)
                if archive:
                    kinds.add("archive")
                    member = relative[len(archive) - len(machine):]
                    self.assertEqual(member, software)
                    with zipfile.ZipFile(os.path.join(self.software, archive)) as z:
                        self.assertIn(member, z.namelist())
                else:
                    kinds.add("file")
                    linux = os.path.join(self.software, machine, relative.replace("\\", "/"))
                    self.assertTrue(os.path.isfile(linux), linux)
                    self.assertEqual(os.path.basename(linux), software)
                self.assertEqual(expected_device(machine, software), device)
        # 50 fair draws all but surely show every kind of choice.
        self.assertEqual({"MAME", "archive", "file"}, kinds)

    def test_choose_without_any_choosable_entry_fails_with_the_count(self):
        # MAME only, over an empty ROM folder: every call fails, and the
        # command gives up after its 1000 calls.
        empty = os.path.join(self.root, "no-roms")
        os.makedirs(empty, exist_ok=True)
        self.configure(MessPath="", MameRomsPath=winpath(empty), MameCheckOnlyPerfect=0)
        rc, out = self.check("choose", "3", timeout=120)
        self.assertEqual(1, rc, out)
        self.assertEqual("choices: 0, failed calls: 1000, queries: 0", out.strip())

    # ---- queries --------------------------------------------------------------

    def test_device_status_and_info(self):
        self.configure()
        software = os.path.join(self.software)
        devices = [("nes", os.path.join(software, "nes/sub/deep/Rom Two.NES")),
                   ("nes", "x.unif"), ("nes", "x.bin"), ("nes", "readme.txt"),
                   ("a2600", "Outlaw.a26"), ("a2600", "cover.jpeg"), ("coleco", "x.col"),
                   ("nosuch", "x.nes")]
        for system, name in devices:
            with self.subTest(device=(system, name)):
                arg = winpath(name) if os.path.isabs(name) else name
                rc, out = self.check("device", system, arg)
                self.assertEqual(0, rc)
                want = expected_device(system, name) if system != "nosuch" else None
                self.assertEqual("1\t%s" % want if want else "0\t", out.rstrip("\n"))
        for game in ("pacman", "galaga", "18w", "nosuchgame"):
            with self.subTest(status=game):
                rc, out = self.check("status", game)
                self.assertEqual(0, rc)
                want = expected_status(game) if game != "nosuchgame" else 1
                self.assertEqual(str(want), out.strip())
        for which, name in (("mame", "galaga"), ("mame", "1942"), ("mess", "nes"),
                            ("mess", "a2600")):
            with self.subTest(info=(which, name)):
                rc, out = self.check("info", which, name)
                self.assertEqual(0, rc)
                self.assertEqual("1\t%s\t%s" % expected_info(name), out.rstrip("\n"))
        rc, out = self.check("info", "mame", "nosuchgame")
        self.assertEqual((0, "0\t\t"), (rc, out.rstrip("\n")))
        # The derivation itself, on one known machine.
        self.assertEqual(("Galaga (Namco rev. B)", "1981"), expected_info("galaga"))

    # ---- artwork lookup -------------------------------------------------------

    def test_picture_lookup(self):
        art = os.path.join(self.root, "art")
        shutil.rmtree(art, ignore_errors=True)
        mame_art = Emulator("check-art-mame", "mame.exe")
        mess_art = Emulator("check-art-mess", "mess.exe")
        categories = ["cabinets", "cpanel", "flyers", "marquees", "titles", "pcb"]
        for folder in categories:
            make_png(os.path.join(mame_art.folder, folder, "galaga.png"), "8x8", "red")
            make_png(os.path.join(mess_art.folder, folder, "a2600.png"), "8x8", "blue")
        for n in range(2):
            make_png(os.path.join(mame_art.folder, "snap", "pacman", "%04d.png" % n), "8x8",
                     "green")
        make_png(os.path.join(mess_art.folder, "snap", "nes", "Mystery Quest.png"), "8x8",
                 "yellow")
        self.configure(MamePath=mame_art.win_exe, MessPath=mess_art.win_exe)

        def lookup(*args, tries=1):
            for _ in range(tries):
                rc, out = self.check("picture", *args)
                if rc == 0:
                    break
            return rc, out.rstrip("\n")

        # Every category file of galaga exists: each attempt that tries one
        # finds it; "titles" is a snapshot-like picture for arcade games.
        seen = set()
        for _ in range(4):
            rc, out = lookup("mame", "galaga")
            self.assertEqual(0, rc, out)
            path, mode = out.split("\t")
            folder = next((c for c in categories
                           if path == "%s\\%s\\galaga.png" % (mame_art.win_folder, c)), None)
            self.assertIsNotNone(folder, path)
            self.assertEqual("0" if folder == "titles" else "1", mode, out)
            seen.add(folder)
        # A system's category pictures always show in artwork mode.
        rc, out = lookup("mess", "a2600", "Combat.bin")
        self.assertEqual(0, rc, out)
        path, mode = out.split("\t")
        self.assertRegex(path, r"^%s\\(%s)\\a2600\.png$" % (re.escape(mess_art.win_folder),
                                                             "|".join(categories)))
        self.assertEqual("1", mode)
        # Snapshots only: a random entry of snap\pacman (each attempt finds
        # one with chance 1/5, so a lookup may miss; three lookups hardly).
        rc, out = lookup("mame", "pacman", tries=3)
        self.assertEqual(0, rc, out)
        self.assertRegex(out, r"^%s\\snap\\pacman\\000[01]\.png\t0$" %
                         re.escape(mame_art.win_folder))
        rc, out = lookup("mess", "nes", "Mystery Quest.nes", tries=3)
        self.assertEqual(0, rc, out)
        self.assertEqual("%s\\snap\\nes\\Mystery Quest.png\t0" % mess_art.win_folder, out)
        # No artwork at all.
        self.assertEqual((1, "none"), lookup("mame", "dkong"))
        self.assertEqual((1, "none"), lookup("mess", "nes", "Other Game.nes"))

    # ---- painting -------------------------------------------------------------

    def test_render_layouts_for_a_1024x768_window(self):
        art = os.path.join(self.root, "render")
        shutil.rmtree(art, ignore_errors=True)
        # Red tiles with a green top-left and a blue bottom-right pixel.
        tile = os.path.join(art, "tile.png")
        make_png(tile, "300x200", "#ff0000", corner="#00ff00", far_corner="#0000ff")
        full = os.path.join(art, "full.png")
        make_png(full, "1024x768", "#ff0000", corner="#00ff00", far_corner="#0000ff")
        tall = os.path.join(art, "tall.png")
        make_png(tall, "800x1000", "#00c8ff")
        wide = os.path.join(art, "wide.png")
        make_png(wide, "2048x1024", "#c8ff00")

        def render(png, mode):
            out = png[:-4] + "-%d.bmp" % mode
            if os.path.exists(out):
                os.remove(out)
            rc, text = self.check("render", winpath(png), "1024x768", str(mode), winpath(out))
            self.assertEqual(0, rc, text)
            bmp = Bmp(out)
            self.assertEqual((1024, 768), (bmp.width, bmp.height))
            return bmp

        # 300x200, artwork mode: 5x5 tiles from (-238, -116).
        bmp = render(tile, 1)
        xs, ys = [-238, 62, 362, 662, 962], [-116, 84, 284, 484, 684]
        for x in xs:
            for y in ys:
                with self.subTest(tile=(x, y)):
                    if 0 <= x < 1024 and 0 <= y < 768:
                        self.assertEqual((0, 255, 0), bmp.pixel(x, y))
                    if 0 <= x + 299 < 1024 and 0 <= y + 199 < 768:
                        self.assertEqual((0, 0, 255), bmp.pixel(x + 299, y + 199))
        self.assertEqual(16, bmp.count_channel(1, 255))      # green corners seen
        self.assertEqual(16, bmp.count_channel(2, 255))      # blue corners seen
        self.assertEqual(1024 * 768 - 32, bmp.count_channel(0, 255))   # red everywhere else

        # Exactly the window's size: tiled, one copy visible at (0, 0).
        bmp = render(full, 1)
        self.assertEqual((0, 255, 0), bmp.pixel(0, 0))
        self.assertEqual((0, 0, 255), bmp.pixel(1023, 767))
        self.assertEqual(1024 * 768 - 2, bmp.count_channel(0, 255))

        # 800x1000: fitted to the height, x 204, width 615.
        bmp = render(tall, 1)
        self.assertEqual(615 * 768, bmp.count_channel(1, 200))
        self.assertEqual(615 * 768, bmp.count_channel(1, 200, (204, 0, 819, 768)))
        self.assertEqual((20, 20, 20), bmp.pixel(203, 384))
        self.assertEqual((20, 20, 20), bmp.pixel(819, 384))
        self.assertEqual((0, 200, 255), bmp.pixel(204, 0))
        self.assertEqual((0, 200, 255), bmp.pixel(818, 767))

        # 2048x1024: fitted to the width, y 128, height 512.
        bmp = render(wide, 1)
        self.assertEqual(1024 * 512, bmp.count_channel(0, 200))
        self.assertEqual(1024 * 512, bmp.count_channel(0, 200, (0, 128, 1024, 640)))
        self.assertEqual((20, 20, 20), bmp.pixel(512, 127))
        self.assertEqual((20, 20, 20), bmp.pixel(512, 640))

        # Snapshot mode: any picture covers the window, no background left.
        for png, colour_channel in ((tile, 0), (tall, 1), (wide, 0)):
            with self.subTest(stretched=os.path.basename(png)):
                bmp = render(png, 0)
                self.assertEqual(0, bmp.count_channel(0, 20) + bmp.count_channel(1, 20))
                self.assertGreater(bmp.count_channel(colour_channel, 255 if png == tile
                                                     else 200), 1024 * 768 * 0.99)
        bmp = render(tile, 0)
        self.assertEqual((0, 255, 0), bmp.pixel(0, 0))
        self.assertEqual((0, 0, 255), bmp.pixel(1023, 767))


if __name__ == "__main__":
    unittest.main()
