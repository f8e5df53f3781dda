#!/usr/bin/env bash
# peers.sh [STRREPL]
#
# Times whole runs of strrepl against what a user would reach for instead, on
# the same work, in one hyperfine run per case, and prints each tool's median
# and its ratio to strrepl's. Each tool's output is first checked against
# strrepl's; one that fails, differs or takes over a minute is reported and
# not timed. Needs hyperfine, perl and python3.
#
# The operands reach every command through the environment, where one
# variable holds at most 131069 bytes of value; the large cases use that size.
set -euo pipefail

strrepl=$(realpath "${1:-build/release/strrepl}")
python=$(command -v /usr/bin/python3 || command -v python3)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# sed turns a long search string into an automaton that can take every byte
# of memory; keep every tool to 4 GiB.
ulimit -v $((4 << 20))

repeat() { printf '%*s' "$2" '' | tr ' ' "$1"; }

names=(strrepl sed perl python3 bash)
templates=(
    "$strrepl @S @A @B"
    "sed -e s/@SED_A/@SED_B/g $work/subject"
    "perl -e '\$_ = shift; \$a = shift; \$b = shift; s/\\Q\$a\\E/\$b/g; print' @S @A @B"
    "$python -c 'import sys; sys.stdout.write(sys.argv[1].replace(sys.argv[2], sys.argv[3]))' @S @A @B"
    "bash -c 'printf %s \"\${1//\"\$2\"/\"\$3\"}\"' _ @S @A @B"
)

# render TEMPLATE LARGE: the template with its operands written in, or, when
# LARGE is 1, with references to the environment, which a shell expands.
render() {
    local c=$1 large=$2 v
    for v in SED_A SED_B S A B; do
        if ((large)); then
            c=${c//@$v/\"\$$v\"}
        else
            c=${c//@$v/\'${!v}\'}
        fi
    done
    printf '%s' "$c"
}

# compare NAME RUNS SUBJECT SEARCH WITH: operands hold no single quote.
compare() {
    local name=$1 runs=$2 i c
    export S=$3 A=$4 B=$5
    SED_A=$(printf '%s' "$A" | sed 's/[][\/.^$*]/\\&/g')
    SED_B=$(printf '%s' "$B" | sed 's/[\/&]/\\&/g')
    export SED_A SED_B
    printf '%s' "$S" >"$work/subject"
    # Small operands go on the command line and hyperfine runs no shell.
    local large=0 shell=(-N)
    if ((${#S} > 1000)); then large=1 shell=(); fi
    local -a timed=()
    for i in "${!names[@]}"; do
        c=$(render "${templates[i]}" "$large")
        if ! timeout 60 sh -c "$c" >"$work/out.${names[i]}" 2>"$work/err"; then
            echo "$name: ${names[i]} failed or took over a minute: $(head -c 200 "$work/err")" >&2
        elif ! cmp -s "$work/out.${names[i]}" "$work/out.strrepl"; then
            echo "$name: ${names[i]} gave a different result" >&2
        else
            timed+=(-n "${names[i]}" "$c")
        fi
    done
    hyperfine "${shell[@]}" --style none --warmup 1 --runs "$runs" \
        --export-json "$work/$name.json" "${timed[@]}" >/dev/null 2>&1
    "$python" - "$name" "$work/$name.json" <<'PY'
import json, sys
name, path = sys.argv[1], sys.argv[2]
results = json.load(open(path))["results"]
base = results[0]["median"]
for r in results:
    print(f"| {name} | {r['command']} | {r['median'] * 1000:.2f} ms | {r['median'] / base:.2f} |")
PY
}

text=''
while ((${#text} + 44 <= 131069)); do text+='the quick brown fox jumps over the lazy dog '; done

echo "| case | tool | median | ratio to strrepl |"
echo "|---|---|---|---|"
compare typical 50 abcabc bc X
compare 128KiB-text 20 "$text" 'lazy dog' 'sleepy cat'
compare adversarial 3 "$(repeat a 131069)" "$(repeat a 65535)b" X
