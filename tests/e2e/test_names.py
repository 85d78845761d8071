# Names in every language, with the real Quillmere.scr under Wine in code
# pages 1252 (en_US) and 932 (ja_JP): as it runs on Windows 10 1903 and later
# (its manifest asks for UTF-8) and as on older Windows, which keep the
# system's code page (a copy whose manifest does not ask). What the stand-in
# emulator receives (its command line as Windows holds it) and the width of
# the title card's software name tell whether a name arrived whole; a name the
# code page cannot hold is never chosen, and a box left alone keeps it.
import os
import shutil
import zipfile

import pytest

from harness import BUILD, SCREEN, WORK, Emulator, bounds, count, wait_until, winpath
from test_dialog import Dialog, export

W, H = SCREEN
WHITE = (255, 255, 255)
CP1252, CP932 = "en_US.UTF-8", "ja_JP.UTF-8"
# case: (software root, file in the system's folder, zip member or None)
CASES = {"accented folder": ("Jeux vidéo", "Quest.nes", None), "Japanese file": ("soft", "ゲーム.nes", None),
         "UTF-8 member": ("soft", "pack.zip", "Café.nes"), "CP437 member": ("soft", "pack.zip", "Crème.nes")}
ROWS = [(cp, "utf-8", case, True) for cp in (CP1252, CP932) for case in CASES] + [
    (CP1252, "system", "accented folder", True), (CP1252, "system", "Japanese file", False),
    (CP1252, "system", "UTF-8 member", True), (CP1252, "system", "CP437 member", True),
    (CP932, "system", "Japanese file", True), (CP932, "system", "UTF-8 member", False),
    (CP932, "system", "CP437 member", False)]


def system_code_page_saver():
    # The saver as older Windows run it: its manifest's activeCodePage element
    # blanked out (XML allows the spaces), everything else byte for byte.
    path = os.path.join(WORK, "Quillmere-system-cp.scr")
    with open(os.path.join(BUILD, "Quillmere.scr"), "rb") as f:
        data = f.read()
    start, end = data.index(b"<activeCodePage"), data.index(b"</activeCodePage>") + len(b"</activeCodePage>")
    with open(path, "wb") as f:
        f.write(data[:start] + b" " * (end - start) + data[end:])
    return path


def lay_out(case, sibling):
    # The software tree for a case; sibling adds a plain name beside it. The
    # path the emulator should receive for each name.
    root_name, name, member = CASES[case]
    shutil.rmtree(os.path.join(WORK, "names"), ignore_errors=True)
    root = os.path.join(WORK, "names", root_name)
    nes = os.path.join(root, "nes")
    os.makedirs(nes)
    names = [member or name] + (["Plain.nes"] if sibling else [])
    if not member:
        for each in names:
            open(os.path.join(nes, each), "wb").close()
        return root, {each: winpath(os.path.join(nes, each)) for each in names}
    archive = os.path.join(nes, name)
    with zipfile.ZipFile(archive, "w") as pack:   # zipfile writes a name that is not ASCII in flagged UTF-8
        for each in names:
            pack.writestr(each if case == "UTF-8 member" else each.replace("è", "_"), b"\0" * 16)
    if case == "CP437 member":   # the same name in code page 437, unflagged, as old tools write it
        with open(archive, "rb") as f:
            data = f.read().replace(b"Cr_me.nes", "Crème.nes".encode("cp437"))
        with open(archive, "wb") as f:
            f.write(data)
    return root, {each: winpath(archive) + "\\" + each for each in names}


@pytest.mark.parametrize("locale,code_page,case,chosen", ROWS,
                         ids=["%s-%s-%s" % (r[0][:5], r[1], r[2].replace(" ", "-")) for r in ROWS])
def test_names_reach_the_emulator_and_the_title_card_whole_or_not_at_all(env, locale, code_page, case, chosen):
    mess = Emulator("names-mess", "mess.exe", reports=["nes"])
    root, paths = lay_out(case, sibling=not chosen)
    env.configure(MessPath=mess.win_exe, MessSoftwarePath=winpath(root), MessBiosPath=winpath(WORK),
                  MessOption="-skip_gameinfo", SystemsList=["nes nes"], PollTimer=100, SplashScreenTimer=1500,
                  WaitForMESSTimer=300, SystemChangeTimer=1000)
    saver = system_code_page_saver() if code_page == "system" else None
    proc = env.start_saver("/s", locale=locale, saver=saver)
    name = next(iter(paths))
    if chosen:
        # The card: the system's description over the software's name, whose
        # width is that of the name drawn in the splash's font.
        lower, shots = (0, H // 2, W, H), []
        assert wait_until(lambda: shots.append(env.screenshot("names-card")) or count(shots[-1], WHITE, lower) > 200, 30)
        card = shots[-1]
        left, _, right, _ = bounds(card, WHITE, lower)
        expected = int(env.driver("extent", name if case != "accented folder" else "Quest.nes", locale=locale)[1])
        assert abs((right - left) - expected) <= 12, (right - left, expected, card.path)
        if "Japanese" in case and locale == CP932:
            card.save(os.path.join(WORK, "title-card-japanese-%s.png" % code_page))
    launches = 1 if chosen else 2   # a second launch repeats a name only when no other can be chosen
    wide = wait_until(lambda: [e for e in mess.log() if e[0] == "wide"][launches - 1:], 40)
    assert wide, mess.log()
    received = [e[2] for e in mess.log() if e[0] == "wide"][:launches]
    expected_path = paths[name] if chosen else paths["Plain.nes"]
    assert all(line.endswith(' nes -cartridge "%s"' % expected_path) for line in received), received
    env.key("Escape")
    assert proc.wait(timeout=20) == 1


def test_a_box_left_alone_keeps_a_name_its_code_page_cannot_hold(env):
    folder = winpath(os.path.join(WORK, "names", "Jeux vidéo"))
    for saver, whole in ((system_code_page_saver(), False), (None, True)):
        env.configure(MessSoftwarePath=folder, SystemChangeTimer=60000)
        d = Dialog(env, locale=CP932, saver=saver)
        assert (d.get(104) == folder) == whole, d.get(104)
        d.set(110, "5000")
        d.end(201)
        values = export(env)
        assert (values["MessSoftwarePath"], values["SystemChangeTimer"]) == (("REG_SZ", folder), ("REG_DWORD", 5000))
