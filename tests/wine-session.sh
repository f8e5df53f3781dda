#!/usr/bin/env bash
# wine-session.sh start|stop
# The first Wine program of a session starts wineserver and helper processes
# that inherit the caller's streams; a test runner capturing them through pipes
# would wait for those to quit. Start them here, away from any pipe, and keep
# the server up until the tests are done.
set -eu
case ${1:-} in
start)
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1
    ;;
stop) wineserver -k </dev/null >/dev/null 2>&1 || true ;;
*)
    echo "usage: $0 start|stop" >&2
    exit 1
    ;;
esac
