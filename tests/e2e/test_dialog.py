"""The configuration dialog of the real Quillmere.scr /c: what it shows, its
commands, the allowed-systems list filled through the stand-in emulator with
real reports, what OK stores, and the resources the .scr carries."""
import os
import re
import shutil
import subprocess
import time
import unittest

from harness import BUILD, WORK, Emulator, WineTestCase, parse_info, wait_until, winpath

MESS_DEFAULT = "-skip_gameinfo -skip_warnings -nonu  -nowindow"
MAME_DEFAULT = "-skip_gameinfo -nowindow"

WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
WM_SYSCOMMAND = 0x0112
SC_CLOSE = 0xF060

WS_VISIBLE = 0x10000000
WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
WS_BORDER = 0x00800000
WS_TABSTOP = 0x00010000
WS_VSCROLL = 0x00200000
DS_MODALFRAME = 0x80
DS_SETFONT = 0x40
ES_AUTOHSCROLL = 0x80
LBS_NOTIFY = 0x1
LBS_SORT = 0x2
BS_AUTOCHECKBOX = 0x3
WS_EX_CLIENTEDGE = 0x200

# The dialog's controls in template order (which is the tab order):
# id, kind, caption, x, y, width, height in dialog units.
CONTROLS = [
    (100, "text", "", 7, 15, 138, 12),
    (101, "label", "MESS executable path", 7, 4, 66, 8),
    (202, "button", "...", 148, 15, 14, 12),
    (201, "button", "OK", 247, 226, 60, 12),
    (203, "button", "Cancel", 247, 208, 60, 12),
    (104, "text", "", 7, 39, 155, 12),
    (105, "label", "MESS software path", 7, 29, 95, 8),
    (107, "text", "", 7, 62, 155, 12),
    (106, "label", "MESS BIOS path", 7, 52, 87, 8),
    (108, "label", "MESS options", 7, 74, 100, 10),
    (103, "text", "", 7, 84, 123, 12),
    (109, "label", "Change system every", 7, 110, 68, 10),
    (110, "text", "", 78, 108, 32, 12),
    (111, "label", "Milliseconds", 112, 110, 39, 10),
    (112, "label", "Splash screen lasts", 7, 125, 63, 10),
    (114, "text", "", 71, 122, 32, 12),
    (113, "label", "Milliseconds", 105, 125, 40, 10),
    (116, "list", "", 170, 23, 140, 94),
    (115, "label", "List of systems allowed to be run (all systems if list is empty)",
     170, 5, 141, 17),
    (117, "button", "Fill with available systems", 170, 116, 140, 12),
    (119, "text", "", 170, 130, 50, 12),
    (118, "button", "Add this system", 222, 130, 87, 12),
    (120, "button", "Delete selected", 170, 145, 69, 12),
    (121, "button", "Reset List", 240, 145, 69, 12),
    (122, "button", "About", 247, 191, 60, 12),
    (123, "button", "Default", 132, 84, 30, 12),
    (125, "label", "MAME executable", 7, 150, 66, 9),
    (126, "text", "", 7, 161, 139, 12),
    (127, "button", "...", 148, 161, 14, 12),
    (128, "label", "MAME ROMs path", 7, 175, 87, 9),
    (129, "text", "", 7, 184, 155, 12),
    (130, "label", "MAME options", 7, 198, 80, 8),
    (131, "text", "", 7, 207, 123, 12),
    (132, "button", "Default", 132, 207, 30, 12),
    (133, "check", "Run only perfect emulation (avoid typing OK for imperfect drivers)",
     7, 228, 218, 10),
]

# The style each kind has in the template (WS_CHILD | WS_VISIBLE included).
TEMPLATE_STYLE = {
    "text": 0x50000000 | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP,
    "label": 0x50000000 | 0x00020000,   # LTEXT: SS_LEFT | WS_GROUP
    "button": 0x50000000 | WS_TABSTOP,  # BS_PUSHBUTTON, never the default button
    "check": 0x50000000 | BS_AUTOCHECKBOX | WS_TABSTOP,
    "list": 0x50000000 | LBS_SORT | LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP,
}
WINDOW_CLASS = {"text": "Edit", "label": "Static", "button": "Button", "check": "Button",
                "list": "ListBox"}

# Every value OK writes, with its registry type.
SAVED_TYPES = {
    "MessPath": "REG_SZ", "MessSoftwarePath": "REG_SZ", "MessBiosPath": "REG_SZ",
    "MessOption": "REG_SZ", "MamePath": "REG_SZ", "MameRomsPath": "REG_SZ",
    "MameOption": "REG_SZ", "MameCheckOnlyPerfect": "REG_DWORD",
    "SystemChangeTimer": "REG_DWORD", "SplashScreenTimer": "REG_DWORD",
    "WaitForMESSTimer": "REG_DWORD", "PollTimer": "REG_DWORD", "SystemsList": "REG_MULTI_SZ",
}

# Real reports: 705p3prg has two cartridge slots taking bin and rom each;
# 1292apvs takes pgm and tvc (quickload) and bin and rom (cartridge).
LINES_705 = ["705p3prg bin", "705p3prg rom"]
LINES_1292 = ["1292apvs bin", "1292apvs pgm", "1292apvs rom", "1292apvs tvc"]


def muldiv(a, b, c):
    """Windows' MulDiv for non-negative values: a * b / c, rounded."""
    return (a * b + c // 2) // c


class ConfigurationDialog(WineTestCase):

    # ---- driving the dialog ------------------------------------------------------

    def open_dialog(self):
        self.proc = self.start_saver("/c")
        hwnd = self.env.wait_window("#32770", "Quillmere", 15000)
        self.assertIsNotNone(hwnd, "no configuration dialog")
        self.hwnd = hwnd
        return hwnd

    def get(self, control):
        rc, out = self.env.driver("get", self.hwnd, control)
        self.assertEqual(0, rc, "no control %d" % control)
        return out[:-1] if out.endswith("\n") else out

    def set(self, control, text):
        rc, _ = self.env.driver("set", self.hwnd, control, text)
        self.assertEqual(0, rc)

    def click(self, control, hwnd=None):
        rc, _ = self.env.driver("click", hwnd or self.hwnd, control)
        self.assertEqual(0, rc)

    def lines(self):
        rc, out = self.env.driver("list", self.hwnd, 116)
        self.assertEqual(0, rc)
        return [line for line in out.split("\n") if line]

    def selection(self):
        return int(self.env.driver("selection", self.hwnd, 116)[1])

    def select(self, index):
        self.env.driver("select", self.hwnd, 116, index)

    def checked(self):
        return int(self.env.driver("check", self.hwnd, 133)[1])

    def settle(self):
        """Gives a posted click time to be handled when nothing visible is expected.
        A later driver call that reads a control waits for a command still running."""
        time.sleep(0.5)
        self.get(100)

    def expect_lines(self, expected, timeout=30):
        got = wait_until(lambda: self.lines() == expected, timeout, 0.2)
        self.assertTrue(got, "list is %s, expected %s" % (self.lines(), expected))

    def expect_message(self, caption, text):
        box = self.env.message_box(10000)
        self.assertIsNotNone(box, "no message box")
        self.assertEqual(caption, box["caption"])
        self.assertEqual(text, box["text"])
        self.env.driver("answer", box["hwnd"])
        self.assertTrue(wait_until(lambda: self.env.window_info(box["hwnd"]) is None, 10),
                        "message box stays")

    def expect_no_message(self):
        self.assertIsNone(self.env.message_box(1500), "unexpected message box")

    def expect_open(self):
        self.assertIsNone(self.proc.poll(), "the dialog's process ended")
        info = self.env.window_info(self.hwnd)
        self.assertIsNotNone(info, "the dialog is gone")
        self.assertTrue(info["visible"])

    def ok(self):
        self.click(201)
        self.assertEqual(0, self.wait_exit(self.proc, 20))

    def export(self):
        """The settings key as {name: (type, raw)}; raw is the text of a REG_SZ, the
        number of a REG_DWORD, the UTF-16 bytes of a REG_MULTI_SZ. None: no key."""
        path = os.path.join(WORK, "dialog-export.reg")
        if os.path.exists(path):
            os.remove(path)
        result = self.env.wine("reg", "export", r"HKCU\Software\Quillmere", winpath(path), "/y")
        if result.returncode != 0:
            return None
        with open(path, "rb") as f:
            text = f.read().decode("utf-16")
        text = text.replace("\\\r\n", "").replace("\\\n", "")
        values = {}
        for line in text.splitlines():
            m = re.match(r'^"((?:[^"\\]|\\.)*)"=(.*)$', line)
            if not m:
                continue
            name, data = m.group(1), m.group(2)
            if data.startswith('"'):
                values[name] = ("REG_SZ", data[1:-1].replace("\\\\", "\\").replace('\\"', '"'))
            elif data.startswith("dword:"):
                values[name] = ("REG_DWORD", int(data[6:], 16))
            elif data.startswith("hex(7):"):
                values[name] = ("REG_MULTI_SZ", bytes(int(b, 16) for b in data[7:].split(",")))
            else:
                values[name] = ("other", data)
        return values

    def stand_in(self, reports=("705p3prg", "1292apvs")):
        return Emulator("emu-dialog", exe_name="mess.exe", reports=reports)

    # ---- opening and saving -----------------------------------------------------------

    def test_no_key_shows_defaults_and_ok_stores_all_values(self):
        self.assertIsNone(self.export())
        self.open_dialog()
        for control in (100, 104, 107, 126, 129, 119):
            self.assertEqual("", self.get(control), "box %d" % control)
        self.assertEqual(MESS_DEFAULT, self.get(103))
        self.assertEqual(MAME_DEFAULT, self.get(131))
        self.assertEqual("60000", self.get(110))
        self.assertEqual("1000", self.get(114))
        self.assertEqual(0, self.checked())
        self.assertEqual([], self.lines())

        self.ok()
        values = self.export()
        self.assertEqual(SAVED_TYPES, {name: kind for name, (kind, _) in values.items()})
        for name in ("MessPath", "MessSoftwarePath", "MessBiosPath", "MamePath",
                     "MameRomsPath"):
            self.assertEqual("", values[name][1], name)
        self.assertEqual(MESS_DEFAULT, values["MessOption"][1])
        self.assertEqual(MAME_DEFAULT, values["MameOption"][1])
        self.assertEqual(0, values["MameCheckOnlyPerfect"][1])
        self.assertEqual(60000, values["SystemChangeTimer"][1])
        self.assertEqual(1000, values["SplashScreenTimer"][1])
        self.assertEqual(2000, values["WaitForMESSTimer"][1])
        self.assertEqual(100, values["PollTimer"][1])
        # One NUL, no line: one UTF-16 NUL as the registry keeps it.
        self.assertEqual(b"\0\0", values["SystemsList"][1])
        # reg itself agrees on the types.
        for name, kind in SAVED_TYPES.items():
            self.assertEqual(kind, self.env.reg_query(name)[0], name)

    def test_seeded_key_is_shown_and_ok_writes_it_back(self):
        self.env.configure(
            MessPath=r"C:\Emu\mess.exe", MessSoftwarePath=r"C:\Emu\software",
            MessBiosPath=r"C:\Emu\bios", MessOption="-nowindow", MamePath=r"D:\Arcade\mame.exe",
            MameRomsPath=r"D:\Arcade\roms", MameOption="-verbose", MameCheckOnlyPerfect=1,
            SystemChangeTimer=12345, SplashScreenTimer=678, WaitForMESSTimer=9, PollTimer=10,
            SystemsList=["nes nes", "a2600 bin", "nes unf"])
        before = self.export()
        self.open_dialog()
        expected = {100: r"C:\Emu\mess.exe", 104: r"C:\Emu\software", 107: r"C:\Emu\bios",
                    103: "-nowindow", 126: r"D:\Arcade\mame.exe", 129: r"D:\Arcade\roms",
                    131: "-verbose", 110: "12345", 114: "678"}
        for control, text in expected.items():
            self.assertEqual(text, self.get(control), "box %d" % control)
        self.assertEqual(1, self.checked())
        self.assertEqual(["a2600 bin", "nes nes", "nes unf"], self.lines())

        self.ok()
        after = self.export()
        for name in SAVED_TYPES:
            if name == "SystemsList":
                continue
            self.assertEqual(before[name], after[name], name)
        # The list comes back in the dialog's (sorted) order.
        self.assertEqual("a2600 bin\0nes nes\0nes unf\0\0".encode("utf-16-le"),
                         after["SystemsList"][1])

    def test_zero_timers_and_empty_options_open_as_defaults(self):
        self.env.configure(SystemChangeTimer=0, SplashScreenTimer=0, MessOption="",
                           MameOption="")
        self.open_dialog()
        self.assertEqual("60000", self.get(110))
        self.assertEqual("1000", self.get(114))
        self.assertEqual(MESS_DEFAULT, self.get(103))
        self.assertEqual(MAME_DEFAULT, self.get(131))

    def test_cancel_after_edits_leaves_the_registry_as_it_was(self):
        self.env.configure(MessOption="-kept", SystemChangeTimer=5000, SystemsList=["nes nes"])
        before = self.export()
        self.open_dialog()
        self.set(103, "-changed")
        self.set(110, "1")
        self.click(121)   # Reset List
        self.expect_lines([])
        self.click(203)
        self.assertEqual(0, self.wait_exit(self.proc, 20))
        self.assertEqual(before, self.export())

    # ---- keys and the close box -------------------------------------------------------

    def test_escape_enter_and_the_close_box_leave_the_dialog_open(self):
        self.open_dialog()
        left, top, right, bottom = self.child(110)["rect"]
        self.env.click((left + right) // 2, (top + bottom) // 2)
        self.env.key("End", "7")
        # The keys reach the text box: it holds what was typed.
        self.assertTrue(wait_until(lambda: self.get(110) == "600007", 5),
                        "typing did not reach box 110: %r" % self.get(110))
        self.env.key("Return")
        self.settle()
        self.expect_open()
        self.env.key("Escape")
        self.settle()
        self.expect_open()
        # The caption's close box: SC_CLOSE, then WM_CLOSE, both become IDCANCEL (2);
        # Enter with no button focused gives IDOK (1).
        for message, wparam in ((WM_SYSCOMMAND, SC_CLOSE), (WM_CLOSE, 0), (WM_COMMAND, 1),
                                (WM_COMMAND, 2)):
            with self.subTest(message=hex(message), wparam=wparam):
                rc, _ = self.env.driver("send", self.hwnd, message, wparam, 0)
                self.assertEqual(0, rc)
                self.settle()
                self.expect_open()
        self.expect_no_message()
        self.assertIsNone(self.export(), "something was saved")
        self.assertEqual("600007", self.get(110))
        # The dialog still answers its own buttons.
        self.click(203)
        self.assertEqual(0, self.wait_exit(self.proc, 20))

    def child(self, control):
        rc, out = self.env.driver("children", self.hwnd)
        self.assertEqual(0, rc)
        for line in out.splitlines():
            info = parse_info(line)
            if info["id"] == control and info["parent"] == self.hwnd:
                return info
        self.fail("no control %d" % control)

    # ---- the allowed-systems list -----------------------------------------------------

    def test_add_this_system_from_real_reports(self):
        emu = self.stand_in()
        self.env.configure(MessPath=emu.win_exe)
        self.open_dialog()
        self.set(119, "705p3prg")
        self.click(118)
        self.expect_lines(LINES_705)
        self.set(119, "1292apvs")
        self.click(118)
        self.expect_lines(LINES_1292 + LINES_705)
        # Asked again, the same lines are not added twice.
        self.set(119, "705p3prg")
        self.click(118)
        self.settle()
        self.assertEqual(LINES_1292 + LINES_705, self.lines())
        self.expect_no_message()

    def test_names_that_add_nothing_and_say_nothing(self):
        emu = self.stand_in()
        self.env.configure(MessPath=emu.win_exe)
        self.open_dialog()
        # Unknown to the emulator; another letter case; not a plain driver name
        # (would put options on the emulator's command line).
        for name in ("nosuchsys", "705P3PRG", "705p3prg -verbose", "-listxml"):
            with self.subTest(name=name):
                self.set(119, name)
                self.click(118)
                self.settle()
                self.assertEqual([], self.lines())
                self.expect_no_message()
                self.expect_open()

    def test_empty_name_and_empty_executable_are_reported(self):
        emu = self.stand_in()
        self.open_dialog()
        self.click(118)
        self.expect_message("No system name error", "Enter a system name (driver name)")
        self.set(119, "705p3prg")
        self.click(118)
        self.expect_message("No executable error", "You must first set an executable path")
        self.click(117)
        self.expect_message("No executable error", "You must first set an executable path")
        self.set(100, emu.win_exe)
        self.click(117)
        self.expect_message("No softare path error", "You must first set a software path")
        self.assertEqual([], self.lines())
        self.expect_open()

    def test_fill_from_a_software_folder(self):
        emu = self.stand_in()
        software = os.path.join(WORK, "software-dialog")
        shutil.rmtree(software, ignore_errors=True)
        for system in ("705p3prg", "1292apvs"):
            os.makedirs(os.path.join(software, system))
        with open(os.path.join(software, "notes.txt"), "w") as f:
            f.write("not a system\n")
        self.env.configure(MessPath=emu.win_exe, MessSoftwarePath=winpath(software))
        self.open_dialog()
        self.click(117)
        self.expect_lines(LINES_1292 + LINES_705, timeout=60)
        self.expect_no_message()

    def test_delete_selected_and_reset(self):
        self.env.configure(SystemsList=["a a", "b b", "c c", "d d", "e e"])
        self.open_dialog()
        self.assertEqual(["a a", "b b", "c c", "d d", "e e"], self.lines())
        # Nothing selected: nothing changes.
        self.select(-1)
        self.click(120)
        self.settle()
        self.assertEqual(["a a", "b b", "c c", "d d", "e e"], self.lines())
        self.assertEqual(-1, self.selection())
        # The last line: the new last line is selected.
        self.select(4)
        self.click(120)
        self.expect_lines(["a a", "b b", "c c", "d d"])
        self.assertEqual(3, self.selection())
        # A middle line: the line that followed it is selected.
        self.select(1)
        self.click(120)
        self.expect_lines(["a a", "c c", "d d"])
        self.assertEqual(1, self.selection())
        self.click(121)
        self.expect_lines([])
        self.assertEqual(-1, self.selection())

    # ---- buttons that only change boxes -----------------------------------------------

    def test_default_buttons_and_about(self):
        self.env.configure(MessOption="-mine", MameOption="-mine too")
        self.open_dialog()
        self.click(123)
        self.assertTrue(wait_until(lambda: self.get(103) == MESS_DEFAULT, 10))
        self.assertEqual("-mine too", self.get(131))
        self.click(132)
        self.assertTrue(wait_until(lambda: self.get(131) == MAME_DEFAULT, 10))
        self.click(122)
        box = self.env.message_box(10000)
        self.assertIsNotNone(box, "no About box")
        self.assertEqual("About Quillmere", box["caption"])
        self.assertEqual("Quillmere", box["text"])   # the first of its three lines
        self.env.driver("answer", box["hwnd"])
        self.assertTrue(wait_until(lambda: self.env.window_info(box["hwnd"]) is None, 10))
        self.expect_open()

    def test_browse_sets_the_folders_and_cancel_changes_nothing(self):
        mess = Emulator("emu-dialog", exe_name="mess.exe")
        mame = Emulator("emu-dialog-mame", exe_name="mame.exe")
        self.env.configure(MessSoftwarePath=r"E:\old", MessBiosPath=r"E:\bios",
                           MameRomsPath=r"F:\roms")
        self.open_dialog()
        boxes = (100, 104, 107, 126, 129)
        before = {c: self.get(c) for c in boxes}

        for control in (202, 127):
            with self.subTest(cancel=control):
                chooser = self.file_dialog(control)
                self.click(2, chooser)
                self.assertTrue(wait_until(lambda: self.env.window_info(chooser) is None, 10))
                self.assertEqual(before, {c: self.get(c) for c in boxes})

        chooser = self.file_dialog(202)
        self.env.driver("set", chooser, 1148, mess.win_exe)
        self.click(1, chooser)
        self.assertTrue(wait_until(lambda: self.get(100) == mess.win_exe, 10))
        self.assertEqual(mess.win_folder + r"\software", self.get(104))
        self.assertEqual(mess.win_folder + r"\roms", self.get(107))
        self.assertEqual(before[126], self.get(126))
        self.assertEqual(before[129], self.get(129))

        chooser = self.file_dialog(127)
        self.env.driver("set", chooser, 1148, mame.win_exe)
        self.click(1, chooser)
        self.assertTrue(wait_until(lambda: self.get(126) == mame.win_exe, 10))
        self.assertEqual(mame.win_folder + r"\roms", self.get(129))
        self.assertEqual(mess.win_folder + r"\software", self.get(104))

        self.ok()
        self.assertEqual(("REG_SZ", mess.win_exe), self.env.reg_query("MessPath"))
        self.assertEqual(("REG_SZ", mame.win_folder + r"\roms"),
                         self.env.reg_query("MameRomsPath"))

    def file_dialog(self, button):
        self.click(button)
        chooser = self.env.wait_window("#32770", "Open", 15000)
        self.assertIsNotNone(chooser, "no open-file dialog")
        info = self.env.window_info(chooser)
        self.assertEqual(self.proc_pid_of(self.hwnd), info["pid"])
        return chooser

    def proc_pid_of(self, hwnd):
        return self.env.window_info(hwnd)["pid"]

    # ---- the template, on screen and in the file -------------------------------------

    def test_layout_matches_the_template(self):
        self.env.configure(MessPath=r"C:\Emu\mess.exe", SystemsList=["a2600 bin", "nes nes"])
        self.open_dialog()
        dialog = self.env.window_info(self.hwnd)
        self.assertEqual("Quillmere", dialog["title"])
        for bit in (WS_VISIBLE, WS_CAPTION, WS_SYSMENU, DS_MODALFRAME):
            self.assertTrue(dialog["style"] & bit, hex(bit))

        rc, out = self.env.driver("children", self.hwnd)
        children = [parse_info(line) for line in out.splitlines()]
        children = [c for c in children if c["parent"] == self.hwnd]
        # Creation order is template order, which is the tab order.
        self.assertEqual([c[0] for c in CONTROLS], [c["id"] for c in children])

        # Dialog units to pixels, with the base units the dialog's font gives.
        rects = {c["id"]: c["rect"] for c in children}
        bx = round((rects[116][2] - rects[116][0]) * 4 / 140)
        by = round((rects[201][1] - rects[100][1]) * 8 / (226 - 15))
        ox = rects[100][0] - muldiv(7, bx, 4)
        oy = rects[100][1] - muldiv(15, by, 8)
        for (control, kind, caption, x, y, w, h), info in zip(CONTROLS, children):
            with self.subTest(control=control):
                self.assertEqual(WINDOW_CLASS[kind], info["class"])
                self.assertEqual(caption, info["title"])
                self.assertTrue(info["visible"])
                style = TEMPLATE_STYLE[kind]
                # Borders of edit and list controls become a client edge at run time,
                # and a list shows its scroll bar only when it needs one.
                border = info["style"] & WS_BORDER or info["exstyle"] & WS_EX_CLIENTEDGE
                self.assertEqual(bool(style & WS_BORDER), bool(border))
                runtime = style & ~(WS_BORDER | WS_VSCROLL)
                self.assertEqual(runtime, info["style"] & ~(WS_BORDER | WS_VSCROLL) & 0xFFFFFFFF,
                                 "style %08x" % info["style"])
                left, top, right, bottom = info["rect"]
                expected = (ox + muldiv(x, bx, 4), oy + muldiv(y, by, 8), muldiv(w, bx, 4),
                            muldiv(h, by, 8))
                got = (left, top, right - left, bottom - top)
                for i, what in enumerate(("left", "top", "width", "height")):
                    if kind == "list" and what == "height":
                        # Lists shrink to a whole number of lines.
                        self.assertLessEqual(got[i], expected[i] + 1)
                        self.assertGreater(got[i], expected[i] * 3 // 4)
                        continue
                    self.assertLessEqual(abs(got[i] - expected[i]), 1,
                                         "%s %d, expected %d" % (what, got[i], expected[i]))

        # A picture to look at, cut to the dialog.
        shot = self.env.screenshot("dialog-full")
        left, top, right, bottom = dialog["rect"]
        path = os.path.join(self.env.shots, "dialog.png")
        subprocess.run(["convert", shot.path, "-crop",
                        "%dx%d+%d+%d" % (right - left, bottom - top, left, top), "+repage", path],
                       check=True, timeout=30)
        # Text boxes are painted white on the dialog's face colour.
        for control in (100, 104, 129):
            l, t, r, b = rects[control]
            self.assertEqual((255, 255, 255), shot.pixel((l + r) // 2 + 40, (t + b) // 2),
                             "box %d" % control)
        face = shot.pixel(ox + muldiv(165, bx, 4), oy + muldiv(180, by, 8))
        self.assertNotEqual((255, 255, 255), face)
        self.assertNotEqual((0, 0, 0), face)

    def test_scr_carries_its_resources(self):
        scr = os.path.join(BUILD, "Quillmere.scr")
        result = subprocess.run(["x86_64-w64-mingw32-windres", "-i", scr, "-O", "rc"],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        self.assertEqual(0, result.returncode, result.stderr.decode(errors="replace"))
        rc = result.stdout.decode("latin-1")

        self.assertRegex(rc, r'STRINGTABLE[^\n]*\nBEGIN\n\s*1, "Quillmere"\n')
        self.assertRegex(rc, r"\n\d+ 14 /\* RT_GROUP_ICON \*/")
        self.assertRegex(rc, r"\n\d+ 3 /\* RT_ICON \*/")
        self.assertIn(" VERSIONINFO", rc)
        self.assertRegex(rc, r'VALUE "ProductName", "Quillmere"')
        self.assertRegex(rc, r'VALUE "OriginalFilename", "Quillmere.scr"')
        self.assertRegex(rc, r'VALUE "FileVersion", "\d+\.\d+\.\d+\.\d+"')
        manifest = rc[rc.index("RT_MANIFEST"):]
        self.assertIn("Microsoft.Windows.Common-Controls", manifest)
        self.assertIn('version=""6.0.0.0""', manifest)
        self.assertRegex(manifest, r"dpiAware[^>]*>true<")

        dialog = re.search(r"\n2003 DIALOG[^\n]*20, 31, 321, 244\nSTYLE (0x[0-9a-f]+)\n"
                           r'CAPTION "Quillmere"\nFONT 8, "Helv"\nBEGIN\n(.*?)\nEND', rc, re.S)
        self.assertIsNotNone(dialog, "no dialog 2003 of the expected frame")
        self.assertEqual(WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
                         int(dialog.group(1), 16))
        rows = dialog.group(2).split("\n")
        self.assertEqual(len(CONTROLS), len(rows))
        for (control, kind, caption, x, y, w, h), row in zip(CONTROLS, rows):
            with self.subTest(control=control):
                fields = re.sub(r'^\s*[A-Z]+\s*(?:"[^"]*",)?\s*', "", row)
                numbers = [int(v, 0) for v in fields.split(", ")]
                self.assertEqual([control, x, y, w, h, TEMPLATE_STYLE[kind]], numbers, row)
                if caption:
                    self.assertIn('"%s"' % caption, row)


if __name__ == "__main__":
    unittest.main()
