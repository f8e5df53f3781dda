#!/usr/bin/env bash
# strrepl-set.bat's cases, run under Wine against a Windows build.
#
#   strrepl-set.sh windows EXECUTABLE EMULATOR...
#
# The helper is run as a user runs it: called from another batch file,
# where its operands are written as they would be typed (an argument of wine
# cmd /c cannot carry them: Wine passes a quote in it on as \", which cmd
# takes for a backslash and a quote), in the working directory it sits in, with
# strrepl.exe found along PATH and TEMP a directory of its own whose name needs
# quoting. Anything left in TEMP afterwards fails the case.
# Wine's cmd leaves a CMDxxxx.tmp in TMP for each for /f ('command') (the
# careless caller below has one; the helper has none), and writes it there by
# a path it does not quote: TMP is elsewhere, and holds no space whatever
# TMPDIR does.
# Wine cannot show every case: it expands % and ! again in what an expansion
# produced (so a variable of the helper's own can reach an operand here), its
# for /f ignores chcp, its call doubles no caret, its delayed expansion
# differs, and it shows the lines of a block that starts with @ (so the
# callers here turn echo off). So these hold on Windows and are not run here:
#   - a caller with delayed expansion on gets a result, a NAME or a TEMP that
#     holds ! refused (status 1, a message, got unchanged); Wine's call takes
#     the ! out first;
#   - carets typed in quotes on a call line arrive doubled (README.txt);
#   - a result beyond ASCII is read in the ANSI code page (the console row
#     shows that the console is switched back, and the result whole);
#   - a caret-escaped & | < > ^ (Tom^&Jerry), or NAME "a"^&calc^&"b", is
#     refused, never run: Wine's cmd echoes no for body, so there the helper
#     takes its tail as cmd gives it; and quoted-on-path cannot fail here.
# A line end and an accented letter reach an operand here through the
# environment (nl, accent), which Wine puts on the line as they are.
set -u

here=$(cd "$(dirname "$0")" && pwd)
. "$here/table.sh" "$@"

argv0=$("${emulator[@]}" winepath -w "$exe" 2>/dev/null)
eol=$'\r\n'
bat=$work/batch
bat_temp="$bat/temp & (x) ^ dir"
bat_tmp=$(mktemp -d /tmp/strrepl-cli.XXXXXX)
temporary+=("$bat_tmp")
mkdir "$bat" "$bat_temp" && touch "$bat/file"
cp "$here/../doc/strrepl-set.bat" "$bat/"
bin=${argv0%\\*}
bat_tmp_w=$("${emulator[@]}" winepath -w "$bat_tmp")
bat_temp_w=$("${emulator[@]}" winepath -w "$bat_temp")
file_w=$("${emulator[@]}" winepath -w "$bat/file")

# bat_file NAME LINE...: a batch file that sets TMP and TEMP, then runs LINEs.
bat_file() {
    local name=$1
    shift
    {
        printf '@set "TMP=%s"\r\n@set "TEMP=%s"\r\n' "$bat_tmp_w" "${use_temp_w:-$bat_temp_w}"
        printf '@%s\r\n' "$@"
    } >"$bat/$name"
}
in_bat() { (cd "$bat" && WINEPATH=$bin "${emulator[@]}" cmd /c "$@"); }
# left_in_temp STATUS: reports and removes what a run left in TEMP.
left_in_temp() {
    if [[ -n $(ls -A "$bat_temp") ]]; then
        echo "left in TEMP:" "$(ls -A "$bat_temp")" >&2
        find "$bat_temp" -mindepth 1 -delete
    fi
    return "$1"
}

# batch OPERANDS [SETUP]: a caller, with echo off and its variable got set
# to "old", runs SETUP (a line, if any), calls strrepl-set.bat got OPERANDS,
# shows got with set (which expands nothing in it) and ends with the
# errorlevel the call left. Carets and ! come from variables, as call would
# double a caret typed in quotes; a % is typed %%%%, as call expands once more.
batch() {
    bat_file run.bat 'echo off' 'set "caret=x^y^^z"' 'set "bang=c!d"' \
        'set "got=old"' "${2:-rem}" "call strrepl-set.bat got $1" 'set "status=%errorlevel%"' \
        'if defined got (set got) else echo got is undefined' 'exit /b %status%'
    in_bat run.bat
    left_in_temp $?
}
# named NAME OPERANDS: as batch, for the caller's variable NAME (quoted on the
# call line), set to "old" first; the name up to any "=" is shown.
named() {
    bat_file run.bat 'echo off' "set \"$1=old\"" "call strrepl-set.bat \"$1\" $2" \
        'set "status=%errorlevel%"' "set \"${1%%=*}\"" 'exit /b %status%'
    in_bat run.bat
    left_in_temp $?
}
# No NAME at all: the helper's own usage line.
nameless() {
    bat_file run.bat 'echo off' 'set "got=old"' 'call strrepl-set.bat' 'set "status=%errorlevel%"' \
        'set got' 'exit /b %status%'
    in_bat run.bat
    left_in_temp $?
}
# With the caller's delayed expansion on.
delayed() { batch "$1" 'setlocal EnableDelayedExpansion'; }
# TEMP a file: no directory can be made there.
no_temp() { use_temp_w=$file_w batch "$@"; }
# No strrepl.exe beside the helper or on PATH.
no_strrepl() { local bin=; batch "$@"; }
# README.txt's loop over files, as it stands there but for the helper's
# folder, renaming files whose names hold what cmd acts on; then the names.
# A % in a name works on Windows; Wine's cmd expands it again, so no name
# here holds one. Wine lets the loop's %%i into the helper's lines too: the
# helper puts no i after a %.
readme_loop() {
    bat_file loop.bat rem
    awk '/^In a loop over files/ { f = 1; next } f && /^[^ ]/ { exit } f && /^    / { print substr($0, 5) "\r" }' \
        "$here/../doc/README-windows.txt" | sed 's/C:\\Tools\\strrepl\\//' >>"$bat/loop.bat"
    (cd "$bat" && touch '1 a & b.txt' '2 (x) ^y! z.txt')
    in_bat loop.bat
    local status=$?
    (cd "$bat" && printf '%s\n' *.txt && rm -f -- *.txt)
    left_in_temp $status
}
# Runs started together, each with a result of its own (and, started in the
# same second, the same RANDOM numbers).
together() {
    local i pids=() status=0
    for i in 1 2 3 4; do
        bat_file "run$i.bat" 'echo off' "call strrepl-set.bat got \"run $1\" $1 $i" 'set got'
        in_bat "run$i.bat" >"$bat/out$i" &
        pids+=($!)
    done
    for i in "${pids[@]}"; do wait "$i" || status=$?; done
    cat "$bat"/out[1-4]
    left_in_temp $status
}
# On a console (Wine gives cmd one when its standard input is a terminal): a
# result beyond ASCII, read with the console switched to the ANSI code page,
# arrives whole, the code page is switched back, and chcp's own output stays
# out of the result. set shows the result in the console's code page.
on_console() {
    script -qec "cd $(printf %q "$bat") && WINEPATH=$(printf %q "$bin") $(printf '%q ' "${emulator[@]}") \
cmd /c codepage.bat >codepage-out 2>codepage-err" /dev/null </dev/null >/dev/null
    local status=$?
    cat "$bat/codepage-out"
    cat "$bat/codepage-err" >&2
    return $status
}
batch_on_console() {
    bat_file codepage.bat 'echo off' "${2:-rem}" chcp "call strrepl-set.bat got $1" 'set got' chcp
    on_console
    left_in_temp $?
}
if command -v script >/dev/null; then
    bat_file codepage.bat chcp
    attempt code-page on_console
    code_page=$(cat "$work/out" && echo .)
    code_page=${code_page%.}
    # No console after all: chcp cannot tell the code page.
    [[ $code_page == *": 0$eol" ]] && code_page=
else
    code_page=
fi

# A careless caller that puts the result on a command line of its own: a
# fullwidth name must reach it as '?', never as " & > that would run.
careless() {
    bat_file careless.bat "for /f \"delims=\" %%r in ('strrepl %* .txt .bak') do set \"new=%%r\"" \
        'echo "%new%"'
    in_bat careless.bat "$1"
    local status=$?
    if [[ -e $bat/pwned.bak ]]; then
        echo "a command ran: pwned.bak" >&2
        rm -f "$bat/pwned.bak"
    fi
    left_in_temp $status
}

# A strrepl.exe that crashes after writing "partial", alone in a folder that
# is also the current one of quoted-on-path's caller, which finds the helper
# by a quoted name along PATH.
crash=$work/crash && mkdir "$crash" && cp "$CRASHING" "$crash/strrepl.exe"
crashed() { local bin; bin=$("${emulator[@]}" winepath -w "$crash"); batch "$@"; }
quoted_on_path() { printf '@echo off\r\ncall "strrepl-set.bat" got %s\r\nset got\r\n' "$1" >"$crash/run.bat"
    (cd "$crash" && WINEPATH="$("${emulator[@]}" winepath -w "$bat");$bin" "${emulator[@]}" cmd /c run.bat); }
# NAME typed "zq"x, which cmd reads as a quoted zq and an x.
quote_in_name() { bat_file run.bat 'echo off' 'call strrepl-set.bat "zq"x abc b X' \
    'set "status=%errorlevel%"' 'set zq' 'exit /b %status%' && in_bat run.bat; left_in_temp $?; }

old="got=old$eol"
usage="usage: [call] strrepl-set.bat NAME <string> <replace> <replace with>$eol"
cannot_hold="strrepl-set.bat: the result holds a line end or is longer than a variable holds; got is unchanged$eol"
r100=$(printf '%*s' 100 '' | tr ' ' r)
export nl=$'a\nb' accent=é
#   name               status stdout                            stderr                 operands
run result             0 "got=my_summer_report.txt$eol"             ''                     batch '"my summer report.txt" " " _'
run ampersand          0 "got=tea & echo injected$eol"              ''                     batch '"tea & echo injected" x y'
run pipe-redirect      0 "got=a | sort > b < c$eol"                 ''                     batch '"a | sort > b < c" x y'
run parentheses        0 "got=(draft) final)$eol"                   ''                     batch '"(draft) final)" x y'
run carets             0 "got=x^y^^z$eol"                           ''                     batch '"%%caret%%" q r'
run quotes             0 "got=say \"hi\" & echo injected$eol"       ''                     batch '"say \"x\" & echo injected" x hi'
run percent            0 "got=100%$eol"                             ''                     batch '"100%%%%" q r'
run exclamation        0 "got=c!d$eol"                              ''                     batch '"%%bang%%" q r'
run odd-quote          0 "got=a\"b$eol"                              ''                     batch '"a-b" - "\""'
run backslash-quote    0 "got=say \"hello  world\" now$eol"          ''                     batch '"say \"hello  world\" now" x y'
run name-quote         1 ''                                         "${usage}Environment variable zq not defined$eol" quote_in_name
run crashed            1 "$old" "strrepl-set.bat: strrepl.exe ended with status -1073741819; got is unchanged$eol" crashed 'abc b X'
run quoted-on-path     0 "got=aXc$eol"                              ''                     quoted_on_path 'abc b X'
# A caller's RANDOM beside a folder of its name: the folder is still in TEMP.
run caller-random      0 "got=aXc$eol" $'left in TEMP: strrepl-7-7\n' batch 'abc b X' 'md "%TEMP%\strrepl-7-7" & echo x>"%TEMP%\strrepl-7-7\kept" & set "RANDOM=7"'
run name-parenthesis   0 "q)r=a+b$eol"                              ''                     named 'q)r' '"a-b" - +'
run name-ampersand     1 "q&r=old$eol"                              "${cannot_hold/got/q\&r}" named 'q&r' '"%nl%" x y'
run name-equals        1 "q=r=old$eol"                              "$usage"               named 'q=r' '"a-b" - +'
run leading-semicolon  0 "got=;comment$eol"                         ''                     batch '";comment" x y'
run leading-colon      0 "got=:label$eol"                           ''                     batch '":label" x y'
run empty-result       0 "got is undefined$eol"                     ''                     batch 'abc abc ""'
run failure            1 "$old"                                     "$usage"               batch '"my summer report.txt" " "'
run no-name            1 "$old"                                     "$usage"               nameless ''
run line-end           1 "$old"                                     "$cannot_hold"         batch '"%nl%" x y'
run too-long           1 "$old"                                     "$cannot_hold"         batch "$r100 r $r100"
run delayed-carets     0 "got=x^y^^z$eol"                           ''                     delayed '"%%caret%%" q r'
run no-strrepl         1 "$old"                                     "strrepl-set.bat: no strrepl.exe in ${bat_temp_w%\\*}\\ or on PATH$eol" no_strrepl 'a b c'
run readme-loop        0 $'1_a_&_b.txt\n2_(x)_^y!_z.txt\n'            ''                     readme_loop ''
run no-temp            1 "$old"                                     "strrepl-set.bat: no folder of its own could be made in TEMP$eol" no_temp 'a b c'
run together           0 "got=run 1${eol}got=run 2${eol}got=run 3${eol}got=run 4$eol" '' together '#'
run fullwidth-name     0 "\"report? ? echo INJECTED ? pwned.bak ? rem ?.bak\"$eol" '' de careless 'report＂ ＆ echo INJECTED ＞ pwned.txt ＆ rem ＂.txt'
if [[ -n $code_page ]]; then
    console_accent=$(printf é | iconv -f UTF-8 -t "CP${code_page//[^0-9]/}")
    run console          0 "${code_page}got=a and ${console_accent}b$eol$code_page" '' batch_on_console '"a&b" "&" " and %accent%"'
    utf8=${code_page/[0-9]*/65001$eol} && run console-65001 0 "${utf8}got=a and ${accent}b$eol$utf8" '' batch_on_console '"a&b" "&" " and %accent%"' 'chcp 65001 >nul'
else
    skip && skip
fi

summary
