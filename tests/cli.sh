#!/usr/bin/env bash
# Command-line cases, run against a built executable.
#
#   [SANITIZED=1] cli.sh PLATFORM EXECUTABLE [EMULATOR ...]
#
# PLATFORM is the system the build is for, linux or windows. A Windows build
# runs under Wine (EMULATOR), and each case is held to its Windows
# expectation: CR LF at the end of the lines the tool writes itself,
# argument 0 as the Windows start-up delivers it (a full path), and results
# in the ANSI code page. Cases named "linux:" run only on Linux: they carry
# what the Windows command line cannot (bytes that are not characters,
# operands past its length limit), or need POSIX signals, limits or system
# calls. Cases named "windows:" run only on Windows (table.sh). SANITIZED=1
# says the build has a sanitizer's run-time, which needs a larger stack.
set -u

here=$(cd "$(dirname "$0")" && pwd)
. "$here/table.sh" "$@"
# Files that an unwanted wildcard expansion would find.
mkdir "$work/cwd" && touch "$work/cwd/one.txt" "$work/cwd/two.txt"
cd "$work/cwd" || exit 1

# Windows: operands arrive as UTF-16, whatever the code page, and results
# leave in the ANSI code page of the user's locale, which Wine takes from the
# Unix locale: `de COMMAND` runs COMMAND in the German one, and so on for
# each locale the tests run in (table.sh, locales.txt).

# Windows paths come from winepath run by the emulator (the winepath command
# goes through Wine's 32-bit loader, which a machine may not run). A copy of
# the program whose name the code page holds (Polish) shows the usage line
# in it.
argv0=$exe eol=$'\n' named_pl=''
if [[ $platform == windows ]]; then
    argv0=$("${emulator[@]}" winepath -w "$exe" 2>/dev/null)
    eol=$'\r\n'
    cp "$exe" zamień.exe
    named_pl=$(pl "${emulator[@]}" winepath -w zamień.exe 2>/dev/null)
fi
usage="$argv0 <string> <replace> <replace with>$eol"
usage_pl="$named_pl <string> <replace> <replace with>"


tool() { "${emulator[@]}" "$exe" "$@"; }

#      name                 status stdout       stderr operands
run example                 0      'aXaX'       ''     tool abcabc bc X
run no-operands             1      ''           usage  tool
run one-operand             1      ''           usage  tool abcabc
run two-operands            1      ''           usage  tool abcabc bc
run four-operands           1      ''           usage  tool abcabc bc X Y
run three-empty             0      ''           ''     tool '' '' ''
run empty-middle-operand    0      'abc'        ''     tool abc '' X
run empty-last-operand      0      'aa'         ''     tool abcabc bc ''
run no-line-end             0      'x'          ''     tool x a b
run options-are-operands    0      '--help'     ''     tool -- -- --help
run dash-is-no-stdin        0      'x'          ''     tool - - x
run edge-spaces-kept        0      '  b  '      ''     tool '  a  ' a b
run tab-inside              0      $'a\tb'      ''     tool $'a\tc' c b
run dash-n                  0      '-n-n'       ''     tool -n-e e n
run format-operands         0      '%s%d%n'     ''     tool '%s%n' '%n' '%d%n'
run spaces                  0      'a  b'       ''     tool 'a b' ' ' '  '
run quotes                  0      'say "hi"'   ''     tool 'say "x"' x hi
run backslashes             0      'C:\new\'    ''     tool 'C:\old\' old new
run backslash-quote         0      'a\"b'       ''     tool 'a\"b' x y
run wildcards-stay          0      '*.txt'      ''     tool '*.txt' q r
run shell-characters        0      '&|<>^()'    ''     tool '&|<>^%' '%' '()'
run linux:high-bytes        0      $'\xc3-\xa9' ''     tool $'\xc3\xa9t\xc3\xa9' $'\xa9t\xc3' -
run line-ends               0      $'a\nb\n'    ''     tool $'a\r\nb\r\n' $'\r\n' $'\n'
run crlf-untouched          0      $'a\r\nb'    ''     tool $'a\r\nb' x y
run trailing-newline        0      $'x\n'       ''     tool x x $'x\n'
run sixteen-unit-search     0      'YX'         ''     tool 0123456789abcdefX 0123456789abcdef Y

# The bytes of a text in a code page.
in_cp() { printf '%s' "$2" | iconv -f UTF-8 -t "$1"; }
# Runs the program with a command line in which \uXXXX is any UTF-16 unit.
wide() { "${emulator[@]}" "$RUN_WIDE" "\"$argv0\" $*"; }
# Runs the program on a console of its own and shows what the console then
# holds (run_wide.cpp), as UTF-8. Each operand is quoted as the C runtime
# splits a command line: backslashes before a quote doubled.
console() {
    local a line="\"$argv0\""
    for a; do line+=" \"$(sed -E 's/(\\*)("|$)/\1\1\2/g; s/"/\\"/g' <<<"$a")\""; done
    "${emulator[@]}" "$RUN_WIDE" --console "$line"
}
tsu=$(in_cp CP932 'C:/表/ソフト')
long932=$(printf '%*s' 4000 '' | sed 's/ /表/g')
long932_out=$(in_cp CP932 "$(printf '%*s' 4000 '' | sed 's/ /ソフト/g')")

# A character the code page lacks is '?' in a file, never a "best fit"
# look-alike: the fullwidth forms of what cmd, a command line or a path acts
# on, a modifier letter that looks like a quote, Omega (O), the yen sign and
# the soft hyphen (\ and - in 932). What the code page holds, é in 1252 and
# the fullwidth & in 932, is its own bytes. A console shows all as typed.
fullwidth='＂＆＜＞｜＾％！／＼＊'
#   name                           status stdout                 stderr      operands
run windows:lacking-in-1252        0 "??????????? ? ?mega caf$(in_cp CP1252 é)" '' de tool "$fullwidth ʺ Ωmega café" x y
run windows:lacking-in-932         0 "$(in_cp CP932 ＆) ?100 a?b"  '' ja tool '＆ ¥100 a­b' x y
run windows:missing-in-file        0 '?x'                        '' de tool 日本 本 x
run windows:code-page-1250         0 "$(in_cp CP1250 zazółć)"       '' pl tool zażółć ż z
run windows:code-page-1251         0 "$(in_cp CP1251 'Привет, world')" '' ru tool 'Привет, мир' мир world
run windows:double-byte-whole      0 "$tsu"                      '' ja tool 'C:\表\ソフト' '\' /
run windows:double-byte-long       0 "$long932_out"              '' ja tool "$long932" 表 ソフト
run windows:lacking-on-console     0 "$fullwidth ʺ Ωmega café"   '' de console "$fullwidth ʺ Ωmega café" x y
run windows:missing-on-console     0 '日x'                       '' de console 日本 本 x
run windows:one-unit-on-console    0 'x'                         '' de console x a b
run windows:double-byte-on-console 0 'C:/表/ソフト ＆ ¥1 a­b'     '' ja console 'C:\表\ソフト ＆ ¥1 a­b' '\' /
run windows:lone-surrogates        0 '?-?-'                      '' de wide '\uD83D\uDE00\uD83D\uDE00 \uDE00 -'
run windows:lone-surrogate-at-end  0 'ac?'                       '' de wide 'ab\uD83D b c'

# The usage line is in the code page too, or as typed on a console.
pl_tool() { pl "${emulator[@]}" ./zamień.exe "$@"; }
pl_console() { argv0=$named_pl pl console "$@"; }
run windows:usage-name-in-code-page 1 '' "$(in_cp CP1250 "$usage_pl")$eol" pl_tool
run windows:usage-name-on-console   1 "$usage_pl"$'\n' ''            pl_console

# A name full of conversions is printed as it stands.
named() { (exec -a '%s%n%x' "$exe" "$@"); }
run linux:argv0-format 1 '' "%s%n%x <string> <replace> <replace with>$eol" named
# writes_of FD MOST OPERAND...: runs the program, its writes to descriptor
# FD held to MOST. The tool's own line goes out in one write: another
# writer's on a shared standard error cannot come between its parts.
writes_of() {
    ASAN_OPTIONS=detect_leaks=0 strace -o "$work/trace" -e trace=write -e signal=none "$exe" "${@:3}"
    local status=$? writes
    writes=$(grep -c "^write($1," "$work/trace")
    ((writes <= $2)) || echo "descriptor $1 in $writes writes"
    return $status
}
run linux:usage-in-one-write 1 '' usage writes_of 2 1

# A result that cannot be delivered is a failure, never a success.
to_full() { tool "$@" >/dev/full; }
closed() { tool "$@" >&-; }
run device-full 1 '' "\$0: write error: No space left on device$eol" to_full abcabc bc X
run stdout-closed 1 '' "\$0: write error: Bad file descriptor$eol" closed abcabc bc X
run stdout-closed-nothing-to-write 0 '' '' closed '' bc X

# A reader that goes away early ends the run at once. On Linux the broken
# pipe's signal ends it quietly; with the signal ignored, and on Windows,
# the write error is reported.
a8k=$(printf '%*s' 8192 '' | tr ' ' a)
early_reader() {
    tool "$a8k" a "$a8k" | head -c 1 >/dev/null
    return "${PIPESTATUS[0]}"
}
deaf_reader() {
    trap '' PIPE
    early_reader
}
run windows:reader-gone 1 '' "\$0: write error: Broken pipe$eol" early_reader
run linux:reader-gone 141 '' '' early_reader
run linux:reader-gone-signal-ignored 1 '' "\$0: write error: Broken pipe$eol" deaf_reader

# Operands as long as the platform passes: 131071 bytes each on Linux, a
# command line of 32767 characters in all on Windows.
a32k=$(printf '%*s' 32000 '' | tr ' ' a)
amax=$(printf '%*s' 131071 '' | tr ' ' a)
run windows:longest-operands 0 "$a32k" '' tool "$a32k" b c
run linux:longest-operands 0 X '' tool "$amax" "$amax" X
# A result of 256 MiB streams through: it reaches the reader whole, and the
# tool's peak memory stays far below the result's size.
z2k=$(printf '%*s' 2048 '' | tr ' ' z)
streamed() {
    /usr/bin/time -f %M -o "$work/peak" "$exe" "$@" | wc -c
    local kib
    read -r kib <"$work/peak"
    ((kib < 128 * 1024)) || echo "peak memory $kib KiB"
}
run linux:256MiB-result-streamed 0 "$((131071 * 2048))"$'\n' '' streamed "$amax" a "$z2k"
# A long result goes out in writes of the buffer's 64 KiB, however many
# pieces make it: 60000 replacements, then a run longer than the buffer,
# 130000 bytes in 2 writes (3 allowed).
eq60k=$(printf '%*s' 60000 '' | tr ' ' =)
run linux:result-in-writes-of-64KiB 0 "$(tr = z <<<"$eq60k")${amax:0:70000}" '' writes_of 1 3 "$eq60k${amax:0:70000}" = z
# Standard output non-blocking (the flag belongs to the open pipe, which a
# parent may have set) and a reader that starts late: all of a 4 MiB result
# arrives, and the tool waits for the reader without spinning: each write
# that finds the pipe full is followed by a wait, so no more of them fail
# than take something. Counted, not timed: a loaded machine moves a time.
nonblocking() {
    ASAN_OPTIONS=detect_leaks=0 strace -o "$work/trace" -e trace=write perl -MFcntl -e '
        fcntl(STDOUT, F_SETFL, fcntl(STDOUT, F_GETFL, 0) | O_NONBLOCK) or die "fcntl: $!";
        exec @ARGV or die "exec: $!"' "$exe" "$@" | { sleep 0.5 && wc -c; }
    local status=${PIPESTATUS[0]}
    awk '/= -1 EAGAIN/ { full++ } /\) = [0-9]+$/ { took++ } END { if (full > took)
        print "busy:", full, "writes found the pipe full,", took, "took something" }' "$work/trace"
    return "$status"
}
run linux:nonblocking-late-reader 0 "$((131071 * 32))"$'\n' '' nonblocking "$amax" a "${z2k:0:32}"

# What no file shows, put in by strace on the result's file alone: a write
# that takes nothing (tried again, it would take nothing forever), and a
# close that tells of a lost write after all went well.
faulty() {
    ASAN_OPTIONS=detect_leaks=0 timeout 10 strace -o /dev/null -P "$work/out" -e inject="$1" \
        "$exe" "${@:2}"
}
run linux:write-taking-nothing 1 '' "\$0: write error: No space left on device$eol" faulty write:retval=0 abcabc bc X
run linux:close-failing 1 'aXaX' "\$0: write error: Disk quota exceeded$eol" faulty close:error=EDQUOT abcabc bc X

# The smallest stack a shell lets a program have, 16 KiB. A sanitizer's
# run-time starts before main and needs more for itself: AddressSanitizer's
# start-up overran 16 KiB in the dynamic linker in 13 runs of 200, as the
# stack's random start left it more or less room, and 20 KiB in none. Such a
# build (SANITIZED) gets 32 KiB, half the result's buffer.
stack_kib=16
if ((${SANITIZED:-0})); then stack_kib=32; fi
small_stack() { (ulimit -s "$stack_kib" && exec "$exe" "$@"); }
run linux:small-stack 0 'aXc' '' small_stack abc b X

summary
