"""The session window as a user meets it: refusals, the dark screen, the hot keys
and shutdown, with the real Quillmere.scr and the stand-in emulator."""
import time
import unittest

from harness import Emulator, WineTestCase, process_alive, wait_until

DARK = (20, 20, 20)
GREEN = (0, 255, 0)


class Refusals(WineTestCase):
    def test_no_settings_key_shows_registry_error_and_exits_0(self):
        proc = self.start_saver("/s")
        box = self.env.message_box()
        self.assertIsNotNone(box, "no message box")
        self.assertEqual("Registry error", box["caption"])
        self.assertEqual("Error while reading configuration from registry", box["text"])
        self.assertIsNone(proc.poll(), "the saver must wait for the answer")
        self.env.driver("answer", box["hwnd"])
        self.assertEqual(0, self.wait_exit(proc, 15))

    def test_preview_without_a_key_shows_no_box(self):
        parent, hwnd = self.env.preview_parent()
        self.started.append(parent)
        self.assertTrue(hwnd.isdigit())
        proc = self.start_saver("/p", hwnd)
        self.assertTrue(wait_until(lambda: self.env.driver("children", hwnd)[1].strip(), 10))
        self.assertIsNone(self.env.message_box(timeout_ms=2000))
        self.assertIsNone(proc.poll())

    def test_both_executables_missing_shows_binary_not_found(self):
        self.env.configure(MamePath=r"C:\nowhere\mame.exe", MessPath=r"C:\nowhere\mess.exe")
        proc = self.start_saver("/s")
        box = self.env.message_box()
        self.assertIsNotNone(box, "no message box")
        self.assertEqual("Binary not found", box["caption"])
        self.assertEqual("Please configure Quillmere with at least one of MESS or MAME binary",
                         box["text"])
        self.env.driver("answer", box["hwnd"])
        self.assertEqual(0, self.wait_exit(proc, 15))


class DarkScreen(WineTestCase):
    """MAME is the stand-in, MESS is missing, and there are no ROMs: nothing can be
    chosen, so the saver keeps its dark screen with "Searching..."."""

    def setUp(self):
        super().setUp()
        self.emu = Emulator("emu-session")
        self.env.configure(MamePath=self.emu.win_exe, MessPath=r"C:\nowhere\mess.exe",
                           PollTimer=100)

    def start_and_wait(self):
        proc = self.start_saver("/s")
        self.assertIsNotNone(self.env.wait_window("WindowsScreenSaverClass", "SCREENSAVER"))
        time.sleep(1.0)
        return proc

    def test_window_is_dark_grey_and_survives_mouse_moves(self):
        proc = self.start_and_wait()
        shot = self.env.screenshot("session-dark")
        for x, y in ((0, 0), (1023, 0), (0, 767), (1023, 767), (100, 600), (900, 100)):
            self.assertEqual(DARK, shot.pixel(x, y), (x, y))
        self.assertGreater(shot.count(DARK), 0.9 * 1024 * 768)
        # Nothing else but the searching text may be on the screen.
        others = 1024 * 768 - shot.count(DARK) - shot.count(GREEN)
        self.assertLess(others, 0.02 * 1024 * 768)
        for x, y in ((10, 10), (500, 400), (900, 700), (20, 700)):
            self.env.move_mouse(x, y)
            time.sleep(0.2)
        time.sleep(0.5)
        self.assertIsNone(proc.poll(), "moving the mouse ended the saver")
        self.assertIsNotNone(self.env.wait_window("WindowsScreenSaverClass", "SCREENSAVER",
                                                  timeout_ms=500))

    def test_key_press_ends_the_session(self):
        proc = self.start_and_wait()
        self.env.key("a")
        self.assertEqual(0, self.wait_exit(proc, 10))

    def test_mouse_click_ends_the_session(self):
        proc = self.start_and_wait()
        self.env.click(512, 700)
        self.assertEqual(0, self.wait_exit(proc, 10))


class HotKeys(WineTestCase):
    """A stand-in emulator is already running when the saver starts; the saver waits
    for it and the hot keys act on it."""

    def setUp(self):
        super().setUp()
        self.emu = Emulator("emu-hotkeys")
        self.env.configure(MamePath=self.emu.win_exe, PollTimer=100,
                           SystemChangeTimer=600000)

    def start_both(self):
        emulator = self.env.start(self.emu.exe, "pacman")
        self.started.append(emulator)
        self.assertIsNotNone(self.env.wait_window("MAME"), "the stand-in shows no window")
        saver = self.start_saver("/s")
        self.assertIsNotNone(self.env.wait_window("WindowsScreenSaverClass", "SCREENSAVER"))
        time.sleep(1.0)   # the hot keys are registered after the window is made
        return emulator, saver

    def test_escape_ends_the_saver_and_the_emulator(self):
        emulator, saver = self.start_both()
        self.env.key("Escape")
        self.assertEqual(1, self.wait_exit(saver, 15))
        self.assertIsNotNone(wait_until(lambda: emulator.poll() is not None, 10),
                             "the emulator still runs")
        self.assertEqual(0, self.env.driver("gone", "MAME", 1000)[0])
        self.assertEqual("close", self.emu.log()[-1][0])

    def test_backspace_ends_the_saver_and_keeps_the_emulator(self):
        emulator, saver = self.start_both()
        self.env.key("BackSpace")
        self.assertEqual(1, self.wait_exit(saver, 15))
        time.sleep(1.0)
        self.assertIsNone(emulator.poll(), "the emulator was ended")
        self.assertIsNotNone(self.env.wait_window("MAME", timeout_ms=500))

    def test_pause_closes_the_emulator_and_the_saver_goes_on(self):
        emulator, saver = self.start_both()
        self.env.key("Pause")
        self.assertIsNotNone(wait_until(lambda: emulator.poll() is not None, 10),
                             "the emulator still runs")
        time.sleep(1.0)
        self.assertIsNone(saver.poll(), "Pause ended the saver")
        # Pause with no emulator changes nothing.
        self.env.key("Pause")
        time.sleep(1.0)
        self.assertIsNone(saver.poll())
        self.assertIsNotNone(self.env.wait_window("WindowsScreenSaverClass", "SCREENSAVER",
                                                  timeout_ms=500))

    def test_escape_leaves_the_users_own_emulator_that_ignores_close(self):
        self.emu.switch("fake-ignore-close")
        emulator, saver = self.start_both()
        started = time.time()
        self.env.key("Escape")
        self.assertEqual(1, self.wait_exit(saver, 25))
        elapsed = time.time() - started
        self.assertLess(elapsed, 16, "shutdown waited too long")
        self.assertGreater(elapsed, 8, "shutdown gave up before its wait")
        self.assertTrue(process_alive(emulator.pid), "the saver ended a process it did not start")


if __name__ == "__main__":
    unittest.main()
