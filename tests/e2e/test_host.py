"""The screen-saver host: modes, the window Windows expects, exit codes."""
import unittest

from harness import Emulator, WineTestCase, parse_info, wait_until, SCREEN

WS_POPUP = 0x80000000
WS_CHILD = 0x40000000
WS_VISIBLE = 0x10000000
WS_EX_TOPMOST = 0x00000008


class HostModes(WineTestCase):
    def test_full_screen_window(self):
        emu = self.stand_in()
        proc = self.start_saver("/s")
        hwnd = self.env.wait_window("WindowsScreenSaverClass", "SCREENSAVER")
        self.assertIsNotNone(hwnd, "no screen saver window")
        info = self.env.window_info(hwnd)
        self.assertEqual("WindowsScreenSaverClass", info["class"])
        self.assertEqual("SCREENSAVER", info["title"])
        self.assertTrue(info["style"] & WS_POPUP)
        self.assertTrue(info["style"] & WS_VISIBLE)
        self.assertTrue(info["exstyle"] & WS_EX_TOPMOST)
        self.assertEqual((0, 0) + SCREEN, info["rect"])
        self.assertEqual(0, info["parent"])
        self.assertIsNone(proc.poll())
        del emu

    def test_preview_is_a_child_filling_its_parent(self):
        parent, line = self.env.preview_parent()
        self.started.append(parent)
        self.assertTrue(line.isdigit(), line)
        proc = self.start_saver("/p", line)
        children = wait_until(lambda: self.env.driver("children", line)[1].strip(), 10)
        self.assertTrue(children, "no preview window inside the parent")
        child = parse_info(children.splitlines()[0])
        self.assertEqual("WindowsScreenSaverClass", child["class"])
        self.assertTrue(child["style"] & WS_CHILD)
        self.assertEqual(int(line), child["parent"])
        width = child["rect"][2] - child["rect"][0]
        height = child["rect"][3] - child["rect"][1]
        self.assertEqual((152, 112), (width, height))
        self.assertIsNone(proc.poll())

    def test_preview_without_a_valid_parent_exits_0(self):
        proc = self.start_saver("/p", "12345")
        self.assertEqual(0, self.wait_exit(proc, 15))

    def test_configure_mode_and_no_letter_open_the_dialog(self):
        for args in (["/c"], [], ["/C:1234"]):
            with self.subTest(args=args):
                proc = self.start_saver(*args)
                hwnd = self.env.wait_window("#32770", "Quillmere")
                self.assertIsNotNone(hwnd, "no configuration dialog")
                self.env.driver("click", hwnd, 203)   # Cancel
                self.assertEqual(0, self.wait_exit(proc, 15))

    def test_password_mode_exits_0_at_once(self):
        proc = self.start_saver("/a")
        self.assertEqual(0, self.wait_exit(proc, 15))

    def stand_in(self):
        emu = Emulator("emu-host")
        self.env.configure(MamePath=emu.win_exe, SystemChangeTimer=600000)
        return emu


if __name__ == "__main__":
    unittest.main()
