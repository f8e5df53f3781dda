#!/usr/bin/env bash
# wine-session.sh start|stop
# The first Wine program of a session starts wineserver and helper processes
# that inherit the caller's streams; a test runner capturing them through pipes
# would wait for those to quit. Start them here, away from any pipe (their
# output goes to a log, shown if the start fails), and keep the server up until
# the tests are done.
set -u
log=${TMPDIR:-/tmp}/wine-session.log
case ${1:-} in
start)
    # A new machine has no prefix yet, and the server will not start without one.
    mkdir -p "${WINEPREFIX:-$HOME/.wine}"
    if ! { wineserver -p && wine cmd /c exit; } </dev/null >"$log" 2>&1; then
        cat "$log"
        exit 1
    fi
    ;;
stop) wineserver -k </dev/null >/dev/null 2>&1 || true ;;
*)
    echo "usage: $0 start|stop" >&2
    exit 1
    ;;
esac
