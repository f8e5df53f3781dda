# What the command-line tables (cli.sh, strrepl-set.sh) share: run, which
# holds a command to its exit status and its two streams, and the tally.
# Sourced as
#
#   . table.sh PLATFORM EXECUTABLE [EMULATOR ...]
#
# it sets platform, the system the program is built for (linux or windows,
# as the build says), exe, the program under test, emulator, what runs it,
# and work, a folder of the table's own. At exit it removes work and what
# the table adds to temporary. For each test locale (locales.txt) it defines
# a function named by its language: `de COMMAND...` runs COMMAND in
# de_DE.UTF-8.

platform=$1
exe=$(realpath "$2")
shift 2
emulator=("$@")
work=$(mktemp -d)
temporary=("$work")
trap 'rm -rf "${temporary[@]}"' EXIT
passed=0 failed=0 skipped=0
for locale in $(sed 's/#.*//' "$(dirname "${BASH_SOURCE[0]}")/locales.txt"); do
    eval "${locale%%_*}() { LANG=$locale.UTF-8 LC_ALL=$locale.UTF-8 \"\$@\"; }"
done

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
        skip
        return
    fi
    [[ $want_err == usage ]] && want_err=$usage
    want_err=${want_err//\$0/${argv0-}}
    printf '%s' "$want_out" >"$work/want-out"
    printf '%s' "$want_err" >"$work/want-err"
    attempt "$name" "$@"
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

# skip: one more row that does not run on this build.
skip() { skipped=$((skipped + 1)); }

# attempt NAME COMMAND...: runs COMMAND, its standard output and error in
# $work/out and $work/err and its exit status in got; once more, said, where
# it did not give what its row wants and Wine lost its run (wine_lost).
attempt() {
    local name=$1
    shift
    ("$@") </dev/null >"$work/out" 2>"$work/err"
    got=$?
    if ! held && wine_lost "$work/out" "$work/err"; then
        echo "again $name: Wine could not start a program"
        ("$@") </dev/null >"$work/out" 2>"$work/err"
        got=$?
    fi
}

# held: whether the row's run gave what it wants (run's got and status;
# nothing, outside a row).
held() {
    [[ $got == "${status-}" ]] && cmp -s "$work/out" "$work/want-out" &&
        cmp -s "$work/err" "$work/want-err"
}

# wine_lost FILE...: whether the files hold what Wine's cmd says when, now
# and then, it cannot start a program it starts on every other run (seen about
# once in 40 runs of the two tables).
wine_lost() {
    [[ $platform == windows ]] &&
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
