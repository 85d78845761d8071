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
# (code page, what the manifest asks for, case, chosen): older Windows cannot name
# a Japanese file in 1252, nor é or è in 932.
ROWS = [(cp, "utf-8", case, True) for cp in (CP1252, CP932) for case in CASES] + [
    (CP1252, "system", case, case != "Japanese file") for case in CASES] + [
    (CP932, "system", case, case == "Japanese file") for case in list(CASES)[1:]]


def system_code_page_saver():
    # The saver as older Windows run it: its manifest's activeCodePage element
    # blanked out (XML allows the spaces), everything else byte for byte.
    with open(os.path.join(BUILD, "Quillmere.scr"), "rb") as f:
        data = f.read()
    start, end = data.index(b"<activeCodePage"), data.index(b"</activeCodePage>") + len(b"</activeCodePage>")
    with open(os.path.join(WORK, "Quillmere-system-cp.scr"), "wb") as f:
        f.write(data[:start] + b" " * (end - start) + data[end:])
    return f.name


def lay_out(case, sibling):
    # The software tree for a case, sibling adding a plain name beside the
    # case's; the path the emulator should receive for each name.
    root_name, name, member = CASES[case]
    shutil.rmtree(os.path.join(WORK, "names"), ignore_errors=True)
    root, names = os.path.join(WORK, "names", root_name), [member or name] + (["Plain.nes"] if sibling else [])
    os.makedirs(nes := os.path.join(root, "nes"))
    if member:   # zipfile writes a name that is not ASCII in flagged UTF-8; old tools, in code page 437
        with zipfile.ZipFile(os.path.join(nes, name), "w") as pack:
            for each in names:
                pack.writestr(each.replace("è", "_"), b"\0" * 16)
        with open(os.path.join(nes, name), "r+b") as f:
            data = f.read().replace(b"Cr_me.nes", "Crème.nes".encode("cp437"))
            f.seek(0), f.write(data)
    for each in names if not member else []:
        open(os.path.join(nes, each), "wb").close()
    return root, {each: winpath(os.path.join(nes, *([name, each] if member else [each]))) for each in names}


@pytest.mark.parametrize("locale,code_page,case,chosen", ROWS,
                         ids=["%s-%s-%s" % (r[0][:5], r[1], r[2].replace(" ", "-")) for r in ROWS])
def test_names_reach_the_emulator_and_the_title_card_whole_or_not_at_all(env, locale, code_page, case, chosen):
    mess = Emulator("names-mess", "mess.exe", reports=["nes"])
    root, paths = lay_out(case, sibling=not chosen)
    env.configure(MessPath=mess.win_exe, MessSoftwarePath=winpath(root), MessBiosPath=winpath(WORK),
                  MessOption="-skip_gameinfo", SystemsList=["nes nes"], PollTimer=100, SplashScreenTimer=1500,
                  WaitForMESSTimer=300, SystemChangeTimer=1000)
    proc = env.start_saver("/s", locale=locale, saver=system_code_page_saver() if code_page == "system" else None)
    name = next(iter(paths)) if chosen else "Plain.nes"
    if chosen:
        # The card: the system's description over the software's name, as
        # wide as the name drawn in the splash's font.
        lower, shots = (0, H // 2, W, H), []
        assert wait_until(lambda: shots.append(env.screenshot("names-card")) or count(shots[-1], WHITE, lower) > 200, 30)
        left, _, right, _ = bounds(shots[-1], WHITE, lower)
        expected = int(env.driver("measure", "Arial", 56, 900, 0, name, locale=locale)[1].split()[0])
        assert abs((right - left) - expected) <= 12, (right - left, expected, shots[-1].path)
        if "Japanese" in case and locale == CP932:
            shots[-1].save(os.path.join(WORK, "title-card-japanese-%s.png" % code_page))
    # A second launch repeats a name only when no other can be chosen.
    launches, received = 1 if chosen else 2, lambda: [e[3] for e in mess.log() if e[0] == "start"]
    assert wait_until(lambda: len(received()) >= launches, 40), mess.log()
    assert all(line.endswith(' nes -cartridge "%s"' % paths[name]) for line in received()[:launches]), mess.log()
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
