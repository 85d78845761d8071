# The configuration dialog of the real Quillmere.scr /c under Wine: what it
# shows, its commands, buttons and keys, the allowed-systems list filled
# through the stand-in emulator with real reports, what OK stores in the real
# registry and what it refuses. One opening of the dialog per starting key.
import os
import re

import pytest

from harness import ROOT, WORK, Emulator, parse_info, wait_until, winpath

MESS_DEFAULT = "-skip_gameinfo -skip_warnings -nonu  -nowindow"
MAME_DEFAULT = "-skip_gameinfo -nowindow"
LINES_705 = ["705p3prg bin", "705p3prg rom"]   # two cartridge slots, bin and rom each
LINES_1292 = ["1292apvs bin", "1292apvs pgm", "1292apvs rom", "1292apvs tvc"]
WS_VISIBLE, WS_TABSTOP = 0x10000000, 0x00010000
TIMERS = "takes a whole number of milliseconds from 1000 (1 second) to 86400000 (24 hours). Nothing was saved."
with open(os.path.join(ROOT, "resources", "resource.h")) as header:
    VERSION = re.search(r'QUILLMERE_VERSION_TEXT "([^"]+)"', header.read()).group(1)


class Dialog:
    def __init__(self, env, mode="/c", **start):
        self.env, self.proc = env, env.start_saver(mode, **start)
        self.hwnd = env.wait_window("#32770", "Quillmere", 15000)
        assert self.hwnd, "no configuration dialog"

    def driver(self, *args):   # waits while a command runs on the dialog's thread (a query: up to 30 s)
        return self.env.driver(*args, timeout=60)

    def get(self, control):
        rc, out = self.driver("get", self.hwnd, control)
        assert rc == 0, "no control %d" % control
        return out[:-1] if out.endswith("\n") else out

    def set(self, control, text):
        assert self.driver("set", self.hwnd, control, text)[0] == 0

    def click(self, control, hwnd=None):
        assert self.env.driver("click", hwnd or self.hwnd, control)[0] == 0

    def lines(self):
        return [line for line in self.driver("list", self.hwnd, 116)[1].split("\n") if line]

    def expect_lines(self, expected, timeout=30):
        assert wait_until(lambda: self.lines() == expected, timeout, 0.2), (self.lines(), expected)

    def settle(self):
        # Waits until the clicks posted so far are handled. A sent message (get,
        # set, list) is served before posted clicks still queued, so a next step
        # could overtake a click; the MESS Default button, clicked after them, is
        # pressed after them.
        self.set(103, "-")
        self.click(123)
        assert wait_until(lambda: self.get(103) == MESS_DEFAULT, 60), "a click was not handled"

    def expect_message(self, caption, text=None):   # text: the first line of the box's text
        box = self.env.message_box(10000)
        assert box and box["caption"] == caption and text in (None, box["text"].split("\n")[0]), box
        self.env.driver("answer", box["hwnd"])
        assert wait_until(lambda: self.env.window_info(box["hwnd"]) is None, 10), "the box stays"

    def children(self):
        return [parse_info(line) for line in self.env.driver("children", self.hwnd)[1].splitlines()]

    def focus(self, control):   # a real click into a control, which takes the keyboard focus
        box = next(c["rect"] for c in self.children() if c["id"] == control)
        self.env.click((box[0] + box[2]) // 2, (box[1] + box[3]) // 2)
        assert wait_until(lambda: self.env.driver("focus", self.hwnd)[1].strip() == str(control), 5)

    def expect_open(self):
        assert self.proc.poll() is None, "the dialog's process ended"
        assert self.env.window_info(self.hwnd)["visible"]
        assert self.env.message_box(1000) is None, "unexpected message box"

    def end(self, button):
        self.click(button)
        assert self.proc.wait(timeout=20) == 0

    def file_dialog(self, button):
        self.click(button)
        chooser = self.env.wait_window("#32770", "Open", 15000)
        assert chooser and self.env.window_info(chooser)["pid"] == self.env.window_info(self.hwnd)["pid"]
        return chooser


def export(env):
    # The settings key as {name: (type, value)}: the text of a REG_SZ, the number
    # of a REG_DWORD, the UTF-16 bytes of a REG_MULTI_SZ; None without a key.
    path = os.path.join(WORK, "dialog-export.reg")
    if os.path.exists(path):
        os.remove(path)
    if env.wine("reg", "export", r"HKCU\Software\Quillmere", winpath(path), "/y").returncode:
        return None
    with open(path, "rb") as f:
        text = f.read().decode("utf-16").replace("\r\n", "\n").replace("\\\n", "")
    values = {}
    for name, data in re.findall(r'^"((?:[^"\\]|\\.)*)"=(.*)$', text, re.M):
        if data.startswith('"'):
            values[name] = ("REG_SZ", data[1:-1].replace("\\\\", "\\").replace('\\"', '"'))
        elif data.startswith("dword:"):
            values[name] = ("REG_DWORD", int(data[6:], 16))
        else:
            values[name] = (data.split(":")[0], bytes(int(b, 16) for b in data.split(":")[1].split(",")))
    return values


def multi_sz(lines):
    return "".join(line + "\0" for line in lines + [""]).encode("utf-16-le")


def test_without_a_key_defaults_layout_keys_buttons_and_ok(env):
    assert export(env) is None
    parent_proc, parent = env.preview_parent(seconds=60)
    d = Dialog(env, "/c:" + parent)   # owned by the window the display settings name
    assert [d.get(c) for c in (100, 104, 107, 126, 129, 119, 103, 131, 110, 114, 135)] == \
        ["", "", "", "", "", "", MESS_DEFAULT, MAME_DEFAULT, "60000", "1000", "60"]
    assert env.driver("check", d.hwnd, 133)[1].strip() == "0" and d.lines() == []
    dialog = env.window_info(d.hwnd)
    assert dialog["title"] == "Quillmere" and dialog["style"] & WS_VISIBLE and dialog["owner"] == int(parent)

    # Every control shows. The tab order runs down the left column, then the
    # right one, then the rows under both, each row left to right.
    children = [c for c in d.children() if c["parent"] == d.hwnd]
    assert len(children) == 42 and all(c["visible"] for c in children)
    split, rows_top = [next(c["rect"][n] for c in children if c["id"] == i) for n, i in ((0, 116), (1, 133))]
    order = [(c["rect"][1] >= rows_top, c["rect"][0] >= split and c["rect"][1] < rows_top, c["rect"][1], c["rect"][0])
             for c in children if c["style"] & WS_TABSTOP]
    assert order == sorted(order), [c["id"] for c in children if c["style"] & WS_TABSTOP]

    # Each label's access key takes the keyboard to its box, where typed keys
    # land; nothing is saved before OK.
    d.focus(110)
    for key, box in zip("xsbomrtcpg", (100, 104, 107, 103, 126, 129, 131, 110, 114, 135)):
        env.key("alt+" + key, "1", "2", "0", "0")
        assert wait_until(lambda: d.get(box) == "1200", 5), (key, d.get(box))
    assert export(env) is None, "something was saved"

    # The Default buttons set their own option; About shows its box with the version.
    d.set(103, "-mine")
    d.set(131, "-mine too")
    d.click(123)
    assert wait_until(lambda: d.get(103) == MESS_DEFAULT, 10) and d.get(131) == "-mine too"
    d.click(132)
    assert wait_until(lambda: d.get(131) == MAME_DEFAULT, 10)
    d.click(122)
    d.expect_message("About Quillmere", "Quillmere " + VERSION)
    d.expect_open()

    d.end(201)
    parent_proc.kill()
    values = export(env)
    assert values == {
        "MessPath": ("REG_SZ", "1200"), "MessSoftwarePath": ("REG_SZ", "1200"), "MessBiosPath": ("REG_SZ", "1200"),
        "MessOption": ("REG_SZ", MESS_DEFAULT), "MamePath": ("REG_SZ", "1200"), "MameRomsPath": ("REG_SZ", "1200"),
        "MameOption": ("REG_SZ", MAME_DEFAULT), "MameCheckOnlyPerfect": ("REG_DWORD", 0),
        "SystemChangeTimer": ("REG_DWORD", 1200), "SplashScreenTimer": ("REG_DWORD", 1200),
        "WaitForMESSTimer": ("REG_DWORD", 2000), "PollTimer": ("REG_DWORD", 100), "DarkAfterMinutes": ("REG_DWORD", 1200),
        "SystemsList": ("hex(7)", b"\0\0")}   # one NUL, as the registry keeps it in UTF-16
    assert env.reg_query("SystemsList")[0] == "REG_MULTI_SZ"


@pytest.mark.parametrize("way,saved", [("Escape", False), ("Return", True), ("close box", False), ("alt+F4", False),
                                       ("WM_CLOSE", False)])
def test_ways_to_close(env, way, saved):
    env.configure(MessOption="-kept", SystemChangeTimer=60000, SystemsList=["a a", "b b"])
    before = export(env)
    d = Dialog(env)
    d.set(110, "5000")
    d.click(121)   # Reset List
    d.focus(114)
    if way == "close box":   # the title bar's x, drawn by Wine at the right end of the caption
        rect = env.window_info(d.hwnd)["rect"]
        env.click(rect[2] - 12, rect[1] + 12)
    elif way == "WM_CLOSE":
        assert env.driver("close", "#32770")[0] == 0
    else:
        env.key(way)
    assert d.proc.wait(timeout=20) == 0
    after = export(env)
    assert (after["SystemChangeTimer"], after["SystemsList"][1]) == ((("REG_DWORD", 5000), b"\0\0") if saved else
                                                                   (("REG_DWORD", 60000), multi_sz(["a a", "b b"])))
    assert saved or after == before


def test_timer_and_path_boxes_refuse_what_they_cannot_hold_and_save_nothing(env):
    d = Dialog(env)
    d.focus(110)
    env.key("End", "x", "minus", "comma", "5")   # the box takes digits only
    assert wait_until(lambda: d.get(110) == "600005", 5), d.get(110)
    dark = '"Go dark after" takes a whole number of minutes from 0 (never) to 1440 (24 hours). Nothing was saved.'
    long = '"MAME ROMs path" holds more than 1023 characters: the setting cannot keep it whole. Shorten it; nothing was saved.'
    rows = [(110, text, '"Change system every" ' + TIMERS) for text in ("abc", "0", "60,000")] + [
        (114, text, '"Splash screen lasts" ' + TIMERS) for text in ("-5", "86400001")] + [(135, "1441", dark), (129, "x" * 1024, long)]
    good = {110: "1000", 114: "86400000", 135: "0", 129: "y" * 1023}
    for box, text, message in rows:
        d.set(box, text)
        d.click(201)
        d.expect_message("Quillmere", message)
        # The focus goes back to the box once the message's box has gone.
        assert wait_until(lambda: env.driver("focus", d.hwnd)[1].strip() == str(box), 5), text[:20]
        d.set(box, good[box])
    d.expect_open()
    assert export(env) is None
    d.end(201)
    values = export(env)
    assert [values[n][1] for n in ("SystemChangeTimer", "SplashScreenTimer", "DarkAfterMinutes", "MameRomsPath")] == [
        1000, 86400000, 0, "y" * 1023]


@pytest.mark.parametrize("dpi", [96, 144])
def test_every_label_whole_at_96_and_144_dpi(env, dpi):
    desktop = r"HKCU\Control Panel\Desktop"
    env.wine("reg", "add", desktop, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f", check=True)
    try:
        d = Dialog(env)
        # Each label's and the check box's text, in the template's font, against the room it has.
        texts = [c for c in d.children() if c["class"] == "Static" or c["id"] == 133]
        for c in texts:
            width, height = c["rect"][2] - c["rect"][0], c["rect"][3] - c["rect"][1]
            width -= height + 4 if c["id"] == 133 else 0   # the box beside the check box's text
            needed = [int(v) for v in env.driver("measure", "MS Shell Dlg", 8, 400, width, c["title"])[1].split()]
            assert needed[0] <= width and needed[1] <= height, (c, needed)
        assert len(texts) == 15
        rect = env.window_info(d.hwnd)["rect"]
        env.screenshot("dialog-%d" % dpi).crop(rect).save(os.path.join(WORK, "dialog-%d.png" % dpi))
        d.end(203)
    finally:
        env.wine("reg", "add", desktop, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "96", "/f", check=True)


def test_odd_values_load_by_their_rules_and_save_as_shown(env):
    # Texts too long for their 1024 bytes load empty; one stored without its
    # NUL ends with its bytes; a number of the wrong size keeps its default or
    # fills the low bytes; list lines naming nothing or too long for their
    # fields are skipped, not cut, and a list beyond 10240 bytes keeps the
    # whole lines that fit. A blank option, timers other than zero and a path
    # that cannot be split stay as they are.
    odd = ["nes nes", "  c64   crt  extra", "   ", "n" * 64 + " nes", "nes " + "e" * 24, "m" * 63 + " " + "x" * 23,
           "nes nes", "solo"]
    packed = odd + ["sys%04d ext%03d" % (i, i) for i in range(1000)]
    fits = [line for n, line in enumerate(packed) if sum(len(l) + 1 for l in packed[:n + 1]) <= 10240]
    shown = ["c64 crt", "m" * 63 + " " + "x" * 23, "nes nes", "nes nes", "solo "] + fits[len(odd):]
    # A timer out of its range (a number of the wrong size among them) shows,
    # and is saved as, its default.
    env.configure(MessSoftwarePath="x" * 1024, MessBiosPath="y" * 1023, MameRomsPath=b"z" * 1024, MessOption=b"-opts",
                  MameOption=" ", MessPath="mess.exe", SystemChangeTimer="12345678", SplashScreenTimer=b"\x10\x27",
                  WaitForMESSTimer=0xFFFFFFF9, PollTimer=0x7FFFFFFF, SystemsList=packed, MameCheckOnlyPerfect=1,
                  DarkAfterMinutes=0xFFFFFFFB)
    d = Dialog(env)
    assert [d.get(c) for c in (104, 107, 129, 103, 131, 100, 110, 114, 135)] == [
        "", "y" * 1023, "", "-opts", " ", "mess.exe", "60000", "10000", "60"]
    assert len(fits) < len(packed) and d.lines() == sorted(shown, key=str.lower)
    assert env.driver("check", d.hwnd, 133)[1].strip() == "1"
    d.end(201)
    values = export(env)
    assert values["SystemsList"][1] == multi_sz(sorted(shown, key=str.lower))
    assert [values[n][1] for n in ("MessPath", "MameOption", "WaitForMESSTimer", "PollTimer", "SystemChangeTimer",
                                   "DarkAfterMinutes")] == ["mess.exe", " ", 0xFFFFFFF9, 0x7FFFFFFF, 60000, 60]


def test_deleting_lines_selects_the_line_that_took_the_place(env):
    env.configure(SystemsList=["a a", "b b", "c c", "d d", "e e"])
    d = Dialog(env)
    # (line selected, lines left, selection after): the line that took the
    # deleted one's place is selected, or the new last line.
    steps = [(-1, ["a a", "b b", "c c", "d d", "e e"], -1), (4, ["a a", "b b", "c c", "d d"], 3),
             (1, ["a a", "c c", "d d"], 1), (0, ["c c", "d d"], 0), (1, ["c c"], 0), (0, [], -1)]
    for selected, left, after in steps:
        env.driver("select", d.hwnd, 116, selected)
        d.click(120)
        d.settle()
        assert (d.lines(), int(env.driver("selection", d.hwnd, 116)[1])) == (left, after), selected
    d.end(203)


def test_allowed_systems_from_the_emulator_and_browsing(env):
    mess = Emulator("emu-dialog", "mess.exe", reports=["705p3prg", "1292apvs", "pacman"])
    mame = Emulator("emu-dialog-mame", "mame.exe")
    for system in ("705p3prg", "1292apvs"):
        os.makedirs(os.path.join(mess.folder, "software", system))
    open(os.path.join(mess.folder, "software", "notes.txt"), "w").close()
    env.configure(MameRomsPath=r"F:\roms", SystemsList=["705P3PRG BIN"])
    d = Dialog(env)
    d.click(118)
    d.expect_message("No system name error", "Enter a system name (driver name)")
    d.set(119, "705p3prg")
    for button in (118, 117):
        d.click(button)
        d.expect_message("No executable error", "You must first set an executable path")
    d.set(100, mess.win_exe)
    d.click(117)
    d.expect_message("No softare path error", "You must first set a software path")
    d.set(104, winpath(os.path.join(WORK, "no-such-folder")))
    d.click(117)
    d.settle()
    d.expect_open()
    # Unknown, in capitals, an arcade game without media, not a driver name:
    # nothing is added and nothing said.
    for name in ("nosuchsys", "705P3PRG", "pacman", "705p3prg -verbose", "-listxml"):
        d.set(119, name)
        d.click(118)
        d.settle()
        assert d.lines() == ["705P3PRG BIN"], name
    d.expect_open()
    # A line already there in other letter case is not added again, nor twice.
    d.set(119, "705p3prg")
    for _ in range(2):
        d.click(118)
        d.expect_lines(["705P3PRG BIN", "705p3prg rom"])
    d.click(121)
    d.expect_lines([])

    # Browsing: the chosen executable fills the folders beside it. The file
    # picker starts in the folder of the box's path, with "All files" too.
    boxes = (100, 104, 107, 126, 129)
    for button, emu in ((202, mess), (127, mame)):
        chooser = d.file_dialog(button)
        assert env.driver("list", chooser, 1136)[1].split("\n")[1] == "All files", env.driver("list", chooser, 1136)
        env.driver("set", chooser, 1148, "mess.exe" if emu is mess else emu.win_exe)
        d.click(1, chooser)
        assert wait_until(lambda: d.get(100 if emu is mess else 126) == emu.win_exe, 10)
    assert [d.get(c) for c in boxes] == [mess.win_exe, mess.win_folder + r"\software",
                                         mess.win_folder + r"\roms", mame.win_exe,
                                         mame.win_folder + r"\roms"]
    # The folder pickers, each titled for its box, start at the box's folder:
    # Cancel leaves the box as it was, OK gives that folder back (as the shell
    # writes it: the drive letter in capitals).
    for button, box, title in ((140, 104, "MESS software folder"), (141, 107, "MESS BIOS folder"), (142, 129, "MAME ROMs folder")):
        folder = d.get(box)
        os.makedirs(folder[2:].replace("\\", "/"), exist_ok=True)
        d.set(box, "z" + folder[1:])
        for answer, shown in ((2, "z" + folder[1:]), (1, folder)):
            d.click(button)
            picker = env.wait_window("#32770", "Browse for Folder", 10000)
            assert env.window_info(picker)["owner"] == d.hwnd and env.driver("get", picker, 14146)[1].strip() == title
            env.driver("answer", picker, answer)
            assert wait_until(lambda: d.get(box) == shown and env.window_info(picker) is None, 10), (title, d.get(box))
    # Every entry of the software folder is asked about; the file adds nothing.
    d.click(117)
    d.expect_lines(LINES_1292 + LINES_705, timeout=60)
    d.expect_open()
    d.end(201)
    assert env.reg_query("MessPath") == ("REG_SZ", mess.win_exe)
    assert env.reg_query("MameRomsPath") == ("REG_SZ", mame.win_folder + r"\roms")


def test_choices_show_the_settings_save_at_their_ok_and_cancel_keeps_them(env):
    env.configure(MameGameList=r"C:\fav.ini", SoundVolume=12, MameParentsOnly=1, MameSkipCategories="Mature;Quiz")
    catver = os.path.join(WORK, "catver.ini")
    open(catver, "w").close()
    d = Dialog(env)
    d.click(137)
    choices = env.wait_window("#32770", "Quillmere: which games", 15000)
    assert choices, "no Choices dialog"
    text = lambda control: env.driver("get", choices, control)[1].rstrip("\n")
    state = lambda control, what="check": env.driver(what, choices, control)[1].strip()
    assert [text(302), text(305), text(308), state(310), state(311), state(313, "selection")] == [
        r"C:\fav.ini", "", "Mature\r\nQuiz", "1", "0", "1"]
    d.click(306, choices)
    chooser = env.wait_window("#32770", "Open", 15000)
    env.driver("set", chooser, 1148, winpath(catver))
    d.click(1, chooser)
    assert wait_until(lambda: text(305) == winpath(catver), 10)
    # Cancel leaves the box as it was, and the chooser does not open again.
    d.click(303, choices)
    chooser = env.wait_window("#32770", "Open", 15000)
    d.click(2, chooser)
    assert wait_until(lambda: env.window_info(chooser) is None, 10)
    assert env.wait_window("#32770", "Open", 3000) is None, "the chooser opened again"
    assert text(302) == r"C:\fav.ini"
    env.driver("set", choices, 308, "Quiz\r\n Casino ;Slot Machine\r\n\r\n")
    d.click(311, choices)
    env.driver("select", choices, 313, 3)
    d.click(1, choices)
    assert wait_until(lambda: env.window_info(choices) is None, 10), "the Choices dialog stays"
    saved = export(env)
    assert {name: saved[name][1] for name in ("MameGameList", "MameCategoryFile", "MameSkipCategories",
                                              "MameParentsOnly", "MameShowNotWorking", "SoundVolume")} == {
        "MameGameList": r"C:\fav.ini", "MameCategoryFile": winpath(catver),
        "MameSkipCategories": "Quiz;Casino;Slot Machine", "MameParentsOnly": 1, "MameShowNotWorking": 1,
        "SoundVolume": 33}
    # Cancel (Escape's command) leaves them, and so does the main dialog's Cancel.
    d.click(137)
    choices = env.wait_window("#32770", "Quillmere: which games", 15000)
    env.driver("set", choices, 302, "changed")
    d.click(2, choices)
    assert wait_until(lambda: env.window_info(choices) is None, 10)
    d.end(203)
    assert export(env) == saved
