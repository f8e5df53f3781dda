#!/usr/bin/env bash
# helper.sh [BUILD [BEFORE [LABEL]]]
#
# What a call of strrepl-set.bat costs, under Wine on a console (as at a
# prompt, where the console's code page comes into play), side by side in one
# run with strrepl.exe run alone from the same batch file and with BEFORE,
# another copy of the helper: a file, or a commit whose doc/strrepl-set.bat is
# taken (by default 0d1abab, 1.3.0's). LABEL names BEFORE in the table; by
# default a commit's is the version it sets and the commit, a file's its
# path. The table's head names Wine's cmd, 32- or 64-bit, and the day. Each
# command is one cmd that makes 20 calls, run once a round for 10 rounds; a
# call's cost is its median less an empty loop's, over 20. The result is
# ASCII (abcabc bc X) or, in a German locale (code pages 1252 and 850), holds
# an e acute.
#
# BUILD is a Windows build folder (default build/windows-x64). Needs Wine,
# script (util-linux) and python3; prints a Markdown table.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-build/windows-x64}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/strrepl.exe" "$here/../doc/strrepl-set.bat" "$work/"
before=${2:-0d1abab}
if [[ -f $before ]]; then
    cp "$before" "$work/before-set.bat"
    label=${3:-$before}
else
    git -C "$here" show "$before:doc/strrepl-set.bat" >"$work/before-set.bat"
    version=$(git -C "$here" show "$before:CMakeLists.txt" | sed -n 's/^project(strrepl VERSION \([^ ]*\).*/\1/p')
    label=${3:-"$version ($before)"}
fi

# The Wine loader of the program's kind, from its PE header: the magic 20b
# after the header's offset (at 60) and 24 bytes marks a 64-bit program.
pe=$(od -An -tu4 -j60 -N4 "$build/strrepl.exe")
if [[ $(od -An -tx2 -j$((pe + 24)) -N2 "$build/strrepl.exe") == *20b ]]; then
    wine=(env WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64)
else
    wine=(wine)
fi
# A prefix of its own, made once, and its server kept for the whole run, so
# that no run pays for starting one.
export WINEDEBUG=-all WINEPREFIX=$work/prefix
mkdir "$WINEPREFIX"
wineserver -p
trap 'wineserver -k; rm -rf "$work"' EXIT
"${wine[@]}" cmd /c exit </dev/null >/dev/null 2>&1
# Which cmd runs, as it says itself: AMD64 for the 64-bit one.
arch=$("${wine[@]}" cmd /c echo %PROCESSOR_ARCHITECTURE% </dev/null 2>/dev/null | tr -d '\r')
bits=32
[[ $arch != AMD64 ]] || bits=64
head="$("${wine[@]}" --version | sed 's/^wine-/Wine /'), its $bits-bit cmd, $(date -u +%F)"

calls=20
# loop NAME COMMAND [RESULT]: NAME.bat runs COMMAND $calls times, echo off,
# and fails unless v is then RESULT.
loop() {
    printf '@echo off\r\nset "v="\r\nfor /l %%%%i in (1,1,%d) do %s\r\n' "$calls" "$2" >"$work/$1.bat"
    [[ -z ${3:-} ]] || printf 'if not "%%v%%"=="%s" exit /b 1\r\n' "$3" >>"$work/$1.bat"
    printf 'exit /b 0\r\n' >>"$work/$1.bat"
}
loop empty 'rem'
loop alone 'strrepl.exe abcabc bc X >nul'
loop before 'call before-set.bat v abcabc bc X' aXaX
loop now 'call strrepl-set.bat v abcabc bc X' aXaX
# The e acute from the environment, which Wine passes on as it is.
export accent=é
loop before-wide 'call before-set.bat v cafe e %%accent%%' 'caf%accent%'
loop now-wide 'call strrepl-set.bat v cafe e %%accent%%' 'caf%accent%'

# Each command on a console of its own through script, in the German locale
# for the e acute's rows; checked once, then timed in rounds, one run of each
# command a round, so that what else the machine does falls on all alike.
python3 - "$work" "$calls" "$label" "$head" "${wine[@]}" <<'PY'
import os, statistics, subprocess, sys, time
work, calls, label, head, wine = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5:]
names = ["empty", "alone", "before", "now", "before-wide", "now-wide"]
def run(name):
    env = dict(os.environ, LC_ALL="de_DE.UTF-8" if name.endswith("-wide") else "C.UTF-8")
    command = " ".join(wine + ["cmd", "/c", name + ".bat"])
    started = time.monotonic()
    status = subprocess.run(["script", "-qec", command, "/dev/null"], cwd=work, env=env,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL).returncode
    if status != 0:
        sys.exit(f"{name}: status {status}")
    return time.monotonic() - started
for name in names:
    run(name)
times = {name: [] for name in names}
for _ in range(10):
    for name in names:
        times[name].append(run(name))
call = {name: (statistics.median(t) - statistics.median(times["empty"])) / calls
        for name, t in times.items()}
rows = [
    ("strrepl.exe alone", "alone", None),
    (f"strrepl-set.bat {label}, ASCII result", "before", None),
    ("strrepl-set.bat now, ASCII result", "now", "before"),
    (f"strrepl-set.bat {label}, result beyond ASCII", "before-wide", None),
    ("strrepl-set.bat now, result beyond ASCII", "now-wide", "before-wide"),
]
print(f"| call ({head}) | median per call | against strrepl.exe alone | against {label} |")
print("|---|---|---|---|")
for text, name, before in rows:
    against = f"{call[name] / call[before]:.2f}" if before else ""
    print(f"| {text} | {call[name] * 1000:.0f} ms | {call[name] / call['alone']:.1f} | {against} |")
PY
