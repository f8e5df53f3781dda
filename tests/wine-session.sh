#!/usr/bin/env bash
# wine-session.sh start PREFIX [EMULATOR...] | stop PREFIX
#
# The Windows tests run in a Wine prefix of their own, so that they neither
# meet nor end the user's own Wine programs. The first Wine program of a
# session starts wineserver and helper processes that inherit the caller's
# streams; a test runner capturing them through pipes would wait for those to
# quit. Start them here, away from any pipe (their output goes to a log,
# shown if the start fails), keep the server up until the tests are done, and
# end it afterwards only if this script started it. EMULATOR is what runs a
# program of the build (by default wine): its first program creates the
# prefix, 32-bit or 64-bit as the loader is.
set -u
command=$1
export WINEPREFIX=$2
shift 2
emulator=("$@")
((${#emulator[@]})) || emulator=(wine)
log=$WINEPREFIX.log
started=$WINEPREFIX.started
case $command in
start)
    # A new machine has no prefix yet, and the server will not start without one.
    mkdir -p "$WINEPREFIX"
    rm -f "$started"
    wineserver -p </dev/null >"$log" 2>&1
    case $? in
    0) touch "$started" ;;
    2) ;; # one already serves this prefix: use it, leave it running
    *) cat "$log" && exit 1 ;;
    esac
    if ! "${emulator[@]}" cmd /c exit </dev/null >>"$log" 2>&1; then
        cat "$log"
        exit 1
    fi
    ;;
stop)
    if [[ -e $started ]]; then
        wineserver -k </dev/null >/dev/null 2>&1
        rm -f "$started"
    fi
    ;;
*)
    echo "usage: $0 start PREFIX [EMULATOR...] | stop PREFIX" >&2
    exit 1
    ;;
esac
