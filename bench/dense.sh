#!/usr/bin/env bash
# dense.sh [STRREPL]
#
# The cost of dense matches, where every match is a piece of output:
#  1. instructions per match (callgrind, a whole run of STRREPL less one of a
#     statically linked C program that does nothing, divided by the matches),
#     on 131069-byte subjects: every byte a match, and a match every few
#     bytes; and one ordinary run against that empty program;
#  2. whole runs of the first case side by side with mawk and perl
#     (hyperfine, each command run as `dash -c 'exec ...'`, medians).
# Needs valgrind, gcc, hyperfine, dash, mawk and perl. STRREPL defaults to
# the release build.
set -euo pipefail

strrepl=$(realpath "${1:-build/release/strrepl}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf 'int main(void) { return 0; }\n' >"$work/noop.c"
gcc -O2 -static -o "$work/noop" "$work/noop.c"

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

echo "instructions, less the empty program's $noop:"
per_match() { # NAME MATCHES OPERANDS...
    local name=$1 matches=$2 total
    shift 2
    total=$(instructions "$strrepl" "$@")
    printf '  %-46s %6.1f per match (%d matches)\n' "$name" \
        "$(bc -l <<<"($total - $noop) / $matches")" "$matches"
}
per_match "every byte: 131069 a, search a, with bb" "$size" "$every" a bb
per_match "every few bytes: cat text, search ' ', with _" "${#spaces}" "$few" ' ' _
typical=$(instructions "$strrepl" abcabc bc X)
printf '  %-46s %6d, %.3fx the empty program\n' "ordinary run: abcabc bc X" "$typical" \
    "$(bc -l <<<"$typical / $noop")"

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
