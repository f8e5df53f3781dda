#!/usr/bin/env bash
# startup.sh [STRREPL [BEFORE]]
#
# What an ordinary run, `strrepl abcabc bc X`, costs:
#  1. instructions of a whole run (callgrind, in an empty environment) of
#     STRREPL, of BEFORE if given, and of a C program that does nothing,
#     linked statically and as a hardened static PIE the way the release
#     build links STRREPL;
#  2. whole runs of STRREPL and BEFORE side by side (hyperfine, medians).
# Needs valgrind, gcc, hyperfine and python3. STRREPL defaults to the
# release build.
set -euo pipefail

strrepl=$(realpath "${1:-build/release/strrepl}")
before=${2:+$(realpath "$2")}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf 'int main(void) { return 0; }\n' >"$work/noop.c"
gcc -O2 -static -o "$work/noop-static" "$work/noop.c"
gcc -O2 -fPIE -fstack-protector-strong -fcf-protection -D_FORTIFY_SOURCE=2 -static-pie \
    -Wl,-z,relro,-z,now,-z,pack-relative-relocs -o "$work/noop-static-pie" "$work/noop.c"

instructions() {
    env -i valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
        awk '/Collected/ { print $4 }'
}
pie=$(instructions "$work/noop-static-pie")
echo "instructions of a whole run:"
show() { # NAME COMMAND...
    local name=$1 count
    shift
    count=$(instructions "$@")
    printf '  %-34s %7d  %.3fx the static-PIE no-op\n' "$name" "$count" "$(bc -l <<<"$count / $pie")"
}
show "no-op, static" "$work/noop-static"
show "no-op, hardened static PIE" "$work/noop-static-pie"
show "strrepl abcabc bc X" "$strrepl" abcabc bc X
[[ -z $before ]] || show "before: strrepl abcabc bc X" "$before" abcabc bc X

[[ -n $before ]] || exit 0
echo
echo "whole runs (hyperfine medians, 2000 runs each, interleaved by rounds):"
for round in 1 2; do
    hyperfine -N --style none --warmup 50 --runs 1000 --export-json "$work/$round.json" \
        -n before "$before abcabc bc X" -n now "$strrepl abcabc bc X" >/dev/null 2>&1
done
python3 - "$work"/1.json "$work"/2.json <<'PY'
import json, statistics, sys
times = {}
for path in sys.argv[1:]:
    for r in json.load(open(path))["results"]:
        times.setdefault(r["command"], []).extend(r["times"])
base = statistics.median(times["before"])
for name, t in times.items():
    m = statistics.median(t)
    print(f"  {name:8} {m * 1e6:7.1f} us  {m / base:5.3f}x before")
PY
