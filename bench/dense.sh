#!/usr/bin/env bash
# dense.sh [STRREPL [BEFORE]]
#
# What runs cost, start-up and dense matches, where every match is a piece
# of output:
#  1. instructions of whole runs (callgrind, in an empty environment): an
#     ordinary run, `abcabc bc X`, of STRREPL (and of BEFORE, another build to
#     compare with) against C programs that do nothing, linked statically and
#     as a hardened static PIE the way the release build links STRREPL; and
#     per match, less the static-PIE no-op's run, on 131069-byte subjects:
#     every byte a match, and a match every few bytes;
#  2. whole runs of the first dense case side by side with mawk and perl, and
#     of the ordinary run side by side with BEFORE's (hyperfine, medians).
# Needs valgrind, gcc, bc, hyperfine, dash, mawk, perl and python3. STRREPL
# defaults to the release build.
set -euo pipefail

strrepl=$(realpath "${1:-build/release/strrepl}")
before=${2:+$(realpath "$2")}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf 'int main(void) { return 0; }\n' >"$work/noop.c"
gcc -O2 -static -o "$work/noop-static" "$work/noop.c"
gcc -O2 -fPIE -fstack-protector-strong -fcf-protection -D_FORTIFY_SOURCE=2 -static-pie \
    -Wl,-z,relro,-z,now,-z,pack-relative-relocs -o "$work/noop" "$work/noop.c"

# Instructions of a whole run, in an empty environment.
instructions() {
    env -i valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
        awk '/Collected/ { print $4 }'
}
noop=$(instructions "$work/noop")

# The most one environment variable carries: the operands reach hyperfine's
# commands through the environment.
size=131069
every=$(printf '%*s' "$size" '' | tr ' ' a)
few=''
while ((${#few} < size)); do few+=$'the cat sat on the mat\n'; done
few=${few:0:size}
spaces=${few//[^ ]/}

echo "instructions of an ordinary run:"
ordinary() { # NAME COMMAND...
    local name=$1 count
    shift
    count=$(instructions "$@")
    printf '  %-46s %6d, %.3fx the static-PIE no-op\n' "$name" "$count" "$(bc -l <<<"$count / $noop")"
}
ordinary "no-op, static" "$work/noop-static"
ordinary "no-op, hardened static PIE" "$work/noop"
ordinary "strrepl abcabc bc X" "$strrepl" abcabc bc X
[[ -z $before ]] || ordinary "before: strrepl abcabc bc X" "$before" abcabc bc X

echo
echo "instructions per match, less the static-PIE no-op's $noop:"
per_match() { # NAME MATCHES OPERANDS...
    local name=$1 matches=$2 total
    shift 2
    total=$(instructions "$strrepl" "$@")
    printf '  %-46s %6.1f per match (%d matches)\n' "$name" \
        "$(bc -l <<<"($total - $noop) / $matches")" "$matches"
}
per_match "every byte: 131069 a, search a, with bb" "$size" "$every" a bb
per_match "every few bytes: cat text, search ' ', with _" "${#spaces}" "$few" ' ' _

echo
echo "whole runs, every byte a match (hyperfine medians):"
export S=$every A=a B=bb
# Every tool's result must equal strrepl's before it is timed.
want=$(sha256sum < <("$strrepl" "$S" "$A" "$B"))
names=(strrepl mawk perl)
commands=(
    "exec $strrepl \"\$S\" \"\$A\" \"\$B\""
    "exec mawk 'BEGIN { s = ARGV[1]; gsub(ARGV[2], ARGV[3], s); printf \"%s\", s }' \"\$S\" \"\$A\" \"\$B\""
    "exec perl -e '(\$s, \$a, \$b) = @ARGV; \$s =~ s/\\Q\$a\\E/\$b/g; print \$s' \"\$S\" \"\$A\" \"\$B\""
)
timed=()
for i in "${!names[@]}"; do
    got=$(sha256sum < <(dash -c "${commands[i]}"))
    if [[ $got != "$want" ]]; then
        echo "  ${names[i]} gave a different result; not timed" >&2
        continue
    fi
    timed+=(-n "${names[i]}" "dash -c '${commands[i]//\'/\'\\\'\'}'")
done
hyperfine -N --style none --warmup 3 --runs 40 --export-json "$work/runs.json" "${timed[@]}" \
    >/dev/null 2>&1
python3 - "$work/runs.json" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
base = results[0]["median"]
for r in results:
    print(f"  {r['command']:8} {r['median'] * 1000:7.2f} ms  {r['median'] / base:5.2f}x strrepl")
PY

[[ -n $before ]] || exit 0
echo
echo "whole ordinary runs, abcabc bc X (hyperfine medians of 2 rounds of 1000 runs):"
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
