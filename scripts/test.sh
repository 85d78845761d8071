#!/usr/bin/env bash
# Sets up the machine, builds the four configurations and runs every test:
# native unit tests (ASan+UBSan), Windows unit tests under Wine, the 32-bit
# build's PE check, the end-to-end tests (pytest): quillmere-check natively
# and the real Quillmere.scr under Wine on a fresh virtual X server, the
# Debian package's contents, and the end-to-end tests of the Linux edition
# with Debian's real MAME on a virtual X server of their own. Ends with one
# line `N passed, N failed` and exits non-zero on any failure.
#
#   scripts/test.sh            everything
#   QUILLMERE_SKIP_SETUP=1     skip the package set-up (already done)
#   QUILLMERE_E2E_ARGS="..."   arguments for pytest over tests/e2e (e.g. "-k dialog")
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"

if [ -z "${QUILLMERE_SKIP_SETUP:-}" ]; then
    bash scripts/setup.sh || { echo "set-up failed"; echo "0 passed, 1 failed"; exit 1; }
fi
bash scripts/build.sh || { echo "build failed"; echo "0 passed, 1 failed"; exit 1; }

passed=0
failed=0
results="$here/build/test-results"
rm -rf "$results"
mkdir -p "$results"

# Adds the passed and failed test cases of a JUnit-style XML report (GoogleTest
# and pytest both write one) to the totals. A missing report, or a run that
# failed without a failing case, counts as one failure.
count_xml() {
    local counts
    counts=$(/usr/bin/python3 -c '
import sys, xml.etree.ElementTree as ET
try:
    cases = list(ET.parse(sys.argv[1]).iter("testcase"))
except (OSError, ET.ParseError):
    sys.exit(print(0, 1))
failed = sum(c.find("failure") is not None or c.find("error") is not None for c in cases)
skipped = sum(c.find("skipped") is not None or c.get("result") == "skipped" for c in cases)
print(len(cases) - failed - skipped, failed)' "$1")
    passed=$((passed + ${counts% *}))
    failed=$((failed + ${counts#* }))
    [ "$2" -eq 0 ] || [ "${counts#* }" -gt 0 ] || failed=$((failed + 1))
}

echo "== native unit tests"
timeout 900 build/native/quillmere_tests --gtest_output="xml:$results/native.xml" \
    > "$results/native.log" 2>&1
rc=$?
tail -n 3 "$results/native.log"
count_xml "$results/native.xml" $rc
[ $rc -eq 0 ] || grep -E '^\[  FAILED|Failure|ERROR' "$results/native.log" | head -40

echo "== 32-bit build"
for exe in build/win32/Quillmere.scr build/Quillmere-setup-x86.exe; do
    if file "$exe" | grep -q 'PE32 executable (GUI) Intel 80386'; then
        passed=$((passed + 1)); echo "$exe is a PE32 GUI executable"
    else
        failed=$((failed + 1)); echo "FAILED: $(file "$exe")"
    fi
done
echo "== 64-bit build imports only system DLLs"
imports=$(x86_64-w64-mingw32-objdump -p build/win64/Quillmere.scr | awk '/DLL Name:/ {print tolower($3)}' | sort -u | tr '\n' ' ')
foreign=
for dll in $imports; do
    case "$dll" in
        kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|comdlg32.dll|psapi.dll|msvcrt.dll|shell32.dll|comctl32.dll) ;;
        *) foreign="$foreign $dll" ;;
    esac
done
if file build/win64/Quillmere.scr | grep -q 'PE32+ executable (GUI) x86-64' && [ -z "$foreign" ]; then
    passed=$((passed + 1)); echo "build/win64/Quillmere.scr: PE32+ GUI, imports: $imports"
else
    failed=$((failed + 1)); echo "FAILED: build/win64/Quillmere.scr: $(file build/win64/Quillmere.scr); imports: $imports"
fi

source scripts/wine-env.sh
start_display || { echo "0 passed, 1 failed"; exit 1; }
trap stop_wine_and_display EXIT

echo "== Windows unit tests under Wine"
make_prefix "$here/build/wine-unit"
(cd build/win64 && timeout 900 "$W" quillmere_wintests.exe \
    --gtest_output="xml:Z:$(echo "$results" | tr / '\\')\\win.xml" \
    > "$results/win.log" 2>&1)
rc=$?
tail -n 3 "$results/win.log"
count_xml "$results/win.xml" $rc
[ $rc -eq 0 ] || grep -E '^\[  FAILED|Failure' "$results/win.log" | head -40
timeout 20 wineserver -k 2>/dev/null

echo "== end-to-end tests: quillmere-check natively, Quillmere.scr under Wine"
export QUILLMERE_DISPLAY=$DISPLAY
# shellcheck disable=SC2086
timeout 1500 /usr/bin/python3 -m pytest tests/e2e -p no:cacheprovider -q -rfE \
    --junitxml="$results/e2e.xml" ${QUILLMERE_E2E_ARGS:-} > "$results/e2e.log" 2>&1
rc=$?
grep -E '^(FAILED|ERROR) ' "$results/e2e.log" | head -40
tail -n 1 "$results/e2e.log"
count_xml "$results/e2e.xml" $rc

stop_wine_and_display
trap - EXIT

echo "== Debian package"
deb=$(ls build/quillmere_*_amd64.deb 2>/dev/null | head -n 1)
contents=$([ -n "$deb" ] && dpkg-deb -c "$deb" | awk '{print $6}' | tr '\n' ' ')
missing=
for file in ./usr/bin/quillmere ./usr/bin/quillmere-check ./usr/share/man/man1/quillmere.1.gz \
            ./usr/share/quillmere/quillmere-idle.desktop ./usr/lib/systemd/user/quillmere-idle.service \
            ./usr/share/doc/quillmere/copyright ./usr/share/doc/quillmere/changelog.gz; do
    case " $contents " in *" $file "*) ;; *) missing="$missing $file" ;; esac
done
# lintian's errors are what Debian would refuse the package for.
complaints=$([ -n "$deb" ] && lintian --fail-on error "$deb" 2>/dev/null)
lintian_rc=$?
if [ -n "$deb" ] && [ -z "$missing" ] && [ $lintian_rc -eq 0 ]; then
    passed=$((passed + 1)); echo "$deb: $contents; lintian: ${complaints:-no complaints}"
else
    failed=$((failed + 1)); echo "FAILED: package ${deb:-missing}, lacking:$missing; lintian: $complaints"
fi

echo "== Linux edition on X11 with the real MAME"
timeout 600 /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/linux \
    --junitxml="$results/linux.xml" > "$results/linux.log" 2>&1
rc=$?
tail -n 1 "$results/linux.log"
count_xml "$results/linux.xml" $rc
[ $rc -eq 0 ] || grep -E '^(FAILED|ERROR|E )' "$results/linux.log" | head -40

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
