#!/usr/bin/env python3
"""Rounds from a real collection with Debian's real MAME; run by
scripts/bench-collection.sh, which says what is measured.

    bench_collection.py WORK LABEL=LINUX_BUILD [LABEL=LINUX_BUILD ...]
"""
import json
import os
import select
import shutil
import signal
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

MAME = "/usr/games/mame"
ROMLESS = 20
BROKEN = 2000
SECONDS = int(os.environ.get("QUILLMERE_BENCH_SECONDS", "600"))
PARTS = os.environ.get("QUILLMERE_BENCH_PARTS", "a b").split()


def machines(work):
    """Every machine of the full -listxml: name -> facts, derived once and kept."""
    path = os.path.join(work, "machines.json")
    if not os.path.exists(path):
        os.makedirs(work, exist_ok=True)
        xml = os.path.join(work, "listxml.xml")
        with open(xml, "wb") as out:
            subprocess.run([MAME, "-listxml"], stdout=out, stderr=subprocess.DEVNULL, check=True)
        found = {}
        for _, element in ET.iterparse(xml):
            if element.tag != "machine":
                continue
            a, driver = element.attrib, element.find("driver")
            found[a["name"]] = dict(
                launchable=a.get("isbios") != "yes" and a.get("isdevice") != "yes" and a.get("runnable") != "no",
                screen=element.find("display") is not None or element.find("video") is not None,
                mechanical=a.get("ismechanical") == "yes",
                status=driver.get("status") if driver is not None else "",
                disks=[d.get("name") for d in element.findall("disk")
                       if d.get("optional") != "yes" and d.get("status") != "nodump"],
                roms=len(element.findall("rom")), clone=bool(a.get("cloneof")))
            element.clear()
        with open(path + ".tmp", "w") as f:
            json.dump(found, f)
        os.replace(path + ".tmp", path)
        os.remove(xml)
    with open(path) as f:
        return json.load(f)


def worth_watching(facts):
    return facts["screen"] and not facts["mechanical"] and facts["status"] != "preliminary" and not facts["disks"]


def romless_that_run(work, known):
    """ROM-less machines that verify and run for 2 s without files, kept."""
    path = os.path.join(work, "romless.txt")
    if not os.path.exists(path):
        empty = os.path.join(work, "empty")   # an empty entry of each, as in the folder of (b)
        first = ["pong", "pongd", "breakout", "rebound"]
        names = first + sorted(n for n, f in known.items() if n not in first and f["launchable"] and
                               f["roms"] == 0 and worth_watching(f) and f["status"] == "good" and not f["clone"])
        running = []
        for name in names:
            if len(running) == ROMLESS:
                break
            fill(empty, [name])
            checks = [[MAME, "-rompath", empty, "-verifyroms", name],
                      [MAME, "-rompath", empty, name, "-video", "none", "-sound", "none", "-seconds_to_run", "2"]]
            if all(subprocess.run(c, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60,
                                  cwd=work).returncode == 0 for c in checks):
                running.append(name)
        with open(path, "w") as f:
            f.write("\n".join(running) + "\n")
    with open(path) as f:
        return f.read().split()


def fill(folder, names):
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for name in names:
        open(os.path.join(folder, name + ".zip"), "w").close()


def wrapper(path, log, verify_good):
    """A MAME that logs each run and, with verify_good, finds every set complete."""
    with open(path, "w") as f:
        f.write("#!/bin/sh\nprintf '%%s\\n' \"$*\" >> '%s'\n" % log +
                ('case " $* " in *" -verifyroms "*) exit 0;; esac\n' if verify_good else "") +
                "exec %s \"$@\"\n" % MAME)
    os.chmod(path, 0o755)


def settings(path, mame, roms):
    with open(path, "w") as f:
        f.write("MamePath=%s\nMameRomsPath=%s\nMameOption=-skip_gameinfo -sound none\n" % (mame, roms))


def environment(work, label):
    cache = os.path.join(work, "cache-" + label)
    shutil.rmtree(cache, ignore_errors=True)   # every run starts cold
    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    return dict(os.environ, XDG_CACHE_HOME=cache, HOME=home)


def part_a(work, label, build, known):
    roms = os.path.join(work, "full-roms")
    if not os.path.isdir(roms) or len(os.listdir(roms)) != len(known):
        fill(roms, known)
    rows = []
    for collection, verify_good in (("as it is", False), ("complete", True)):
        mame, log = os.path.join(work, "mame-" + label), os.path.join(work, "runs-%s.log" % label)
        wrapper(mame, log, verify_good)
        conf = os.path.join(work, "settings-a")
        settings(conf, mame, roms)
        started = time.time()
        out = subprocess.run([os.path.join(build, "quillmere-check"), "--settings", conf, "choose", "300"],
                             capture_output=True, text=True, env=environment(work, label), timeout=3600).stdout
        seconds = time.time() - started
        chosen = [line.split("\t")[1] for line in out.splitlines() if line.startswith("MAME\t")]
        good = sum(worth_watching(known[name]) for name in chosen)
        rows.append((label, collection, len(chosen), (out.splitlines() or ["(nothing)"])[-1], good, seconds))
    return rows


def start_display():
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    if not select.select([read], [], [], 20)[0]:
        raise RuntimeError("Xvfb did not start")
    return xvfb, ":" + os.read(read, 16).decode().strip()


def on_screen(display, good):
    """Is one of the good machines on screen? MAME's window is named "Pong (Rev E) [TTL] [pong] - MAME ...";
    a set whose files are missing can show its window for a moment before it gives up."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "^mame$", "getwindowname", "%@"],
                           capture_output=True, text=True, env=dict(os.environ, DISPLAY=display), timeout=10)
    return any("[%s]" % name in found.stdout for name in good)


def part_b(work, label, build, known, good):
    roms = os.path.join(work, "collection-roms")
    missing = sorted(n for n, f in known.items() if f["launchable"] and f["roms"] > 0 and worth_watching(f)
                     and f["status"] == "good")
    broken = missing[::max(1, len(missing) // BROKEN)][:BROKEN]
    fill(roms, good + broken)
    mame, log = os.path.join(work, "mame-" + label), os.path.join(work, "runs-%s.log" % label)
    wrapper(mame, log, False)
    if os.path.exists(log):
        os.remove(log)
    conf = os.path.join(work, "settings-b")
    settings(conf, mame, roms)
    xvfb, display = start_display()
    env = dict(environment(work, label), DISPLAY=display)
    saver = subprocess.Popen([os.path.join(build, "quillmere"), "run", "--settings", conf], env=env,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    started, samples = time.time(), []
    try:
        while time.time() - started < SECONDS and saver.poll() is None:
            samples.append((time.time() - started, on_screen(display, good)))
            time.sleep(max(0.0, 1 - (time.time() - started - samples[-1][0])))
    finally:
        saver.send_signal(signal.SIGTERM)   # ends the session as a key press does
        try:
            saver.wait(timeout=30)
        except subprocess.TimeoutExpired:
            os.killpg(saver.pid, signal.SIGKILL)
            saver.wait(timeout=10)
        xvfb.terminate()
        xvfb.wait(timeout=10)
    first = next((t for t, shown in samples if shown), None)
    late = [shown for t, shown in samples if t >= SECONDS / 2]
    with open(log) as f:
        runs = [line.split() for line in f if "-listxml" not in line and "-verifyroms" not in line]
    launched = [words[-1] for words in runs if words]
    return (label, first, 100.0 * sum(late) / max(1, len(late)), len(launched),
            sum(name not in good for name in launched), len(set(launched) & set(good)))


def main():
    work, builds = os.path.abspath(sys.argv[1]), [arg.split("=", 1) for arg in sys.argv[2:]]
    known = machines(work)
    if "a" in PARTS:
        print("(a) choose 300 over one empty entry per machine (%d)" % len(known))
        print("| build | MAME's -verifyroms | choices | last line | worth watching | seconds |")
        print("|---|---|---|---|---|---|")
        for label, build in builds:
            for label_, collection, made, last, good, seconds in part_a(work, label, build, known):
                print("| %s | %s | %d | %s | %d (%.0f %%) | %.0f |" % (
                    label_, collection, made, last, good, 100.0 * good / max(1, made), seconds), flush=True)
    if "b" in PARTS:
        good = romless_that_run(work, known)
        print("(b) quillmere run for %d s over %d ROM-less machines that run (%s) and %d entries whose files "
              "are missing" % (SECONDS, len(good), ", ".join(good), BROKEN))
        print("| build | first game on screen (s) | last half with a game on screen | launches | "
              "broken sets launched | machines that run shown |")
        print("|---|---|---|---|---|---|")
        for label, build in builds:
            row = part_b(work, label, build, known, good)
            print("| %s | %s | %.0f %% | %d | %d | %d |" % (
                row[0], "never" if row[1] is None else "%.0f" % row[1], row[2], row[3], row[4], row[5]),
                flush=True)


if __name__ == "__main__":
    main()
