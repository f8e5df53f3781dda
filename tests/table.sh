# What the command-line tables (cli.sh, strrepl-set.sh) share: run, which
# holds a command to its exit status and its two streams, and the tally.
# Sourced as
#
#   . table.sh EXECUTABLE [EMULATOR ...]
#
# it sets exe, the program under test, emulator, what runs it, platform, the
# system it is built for (windows for an .exe, else linux), and work, a
# folder of the table's own, removed at exit.

exe=$(realpath "$1")
shift
emulator=("$@")
platform=linux
if [[ $exe == *.exe ]]; then platform=windows; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0 skipped=0

# selected NAME: whether the row NAME runs on this build. A row named
# linux:... or windows:... runs on that platform alone, any other on both.
# A script may define its own after sourcing this.
selected() { [[ $1 != *:* || ${1%%:*} == "${platform-}" ]]; }

# run NAME STATUS STDOUT STDERR COMMAND...
#   Runs COMMAND with standard output and error captured, then compares its
#   exit status, its standard output byte for byte and its standard error.
#   STDERR "usage" stands for $usage, and "$0" in it for $argv0.
run() {
    local name=$1 status=$2 want_out=$3 want_err=$4 got
    shift 4
    if ! selected "$name"; then
        skipped=$((skipped + 1))
        return
    fi
    [[ $want_err == usage ]] && want_err=$usage
    want_err=${want_err//\$0/${argv0-}}
    printf '%s' "$want_out" >"$work/want-out"
    printf '%s' "$want_err" >"$work/want-err"
    ("$@") </dev/null >"$work/out" 2>"$work/err"
    got=$?
    if ! held && wine_lost "$work/out" "$work/err"; then
        echo "again $name: Wine could not start a program"
        ("$@") </dev/null >"$work/out" 2>"$work/err"
        got=$?
    fi
    if held; then
        passed=$((passed + 1))
        return
    fi
    if [[ $got != "$status" ]]; then
        echo "FAIL $name: exit status $got, expected $status"
        head -c 600 "$work/err" | sed 's/^/  stderr: /'
    elif ! cmp -s "$work/out" "$work/want-out"; then
        echo "FAIL $name: standard output differs:" && differs out
    else
        echo "FAIL $name: standard error differs:" && differs err
    fi
    failed=$((failed + 1))
}

# held: whether the row's run gave what it wants (run's got and status).
held() {
    [[ $got == "$status" ]] && cmp -s "$work/out" "$work/want-out" &&
        cmp -s "$work/err" "$work/want-err"
}

# wine_lost FILE...: whether the files hold what Wine's cmd says when, now
# and then, it cannot start a program it starts on every other run (seen about
# once in 40 runs of the two tables): such a row runs once more.
wine_lost() {
    [[ ${platform-} == windows ]] &&
        grep -qs -e "Can't recognize '" -e 'Application could not be started' "$@"
}

# differs out|err: the expected bytes beside the actual ones, escaped, the
# lines that differ marked with |.
differs() {
    printf '  %-35s   %s\n' expected actual
    sdiff -t -w 76 <(od -An -c -w8 "$work/want-$1" | head -8) <(od -An -c -w8 "$work/$1" | head -8) |
        sed 's/^/  /'
}

# The tally; the status of the whole table.
summary() {
    echo "$passed passed, $failed failed, $skipped skipped"
    ((failed == 0))
}
