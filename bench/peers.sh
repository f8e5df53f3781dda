#!/usr/bin/env bash
# peers.sh [STRREPL]
#
# Times whole runs of strrepl against what a user would reach for instead, on
# the same work, one hyperfine run per case, and prints the Markdown table of
# bench/README.md (a rerun's output replaces it as it stands): each tool's
# median and, in brackets, its ratio to strrepl's median of the same run.
# Each tool's output is first checked against strrepl's; one that fails,
# differs or takes over two minutes is not timed, and its cell says why.
# Needs hyperfine, sed, mawk, perl, python3 and bash. STRREPL defaults to the
# release build.
#
# The operands reach every command through the environment, where one
# variable holds at most 131069 bytes of value; the large cases use that size.
set -euo pipefail
export LC_ALL=C

strrepl=$(realpath "${1:-build/release/strrepl}")
python=$(command -v /usr/bin/python3 || command -v python3)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# sed and mawk turn a long search string into an automaton that can take
# every byte of memory; keep every tool to 4 GiB.
ulimit -v $((4 << 20))

repeat() { printf '%*s' "$2" '' | tr ' ' "$1"; }

# Each tool's name as the table's head shows it, with its version.
names=(strrepl sed mawk perl python3 bash)
heads=(
    strrepl
    "sed $(sed --version | sed -n '1s/.* //p')"
    "mawk $(mawk -W version 2>&1 | sed -n '1s/^mawk \([^ ]*\).*/\1/p')"
    "perl $(perl -e 'printf "%vd", $^V')"
    "python3 $("$python" -c 'import platform; print(platform.python_version())')"
    "bash $(bash -c 'echo "${BASH_VERSION%%(*}"')"
)
templates=(
    "$strrepl @S @A @B"
    "sed -e s/@SED_A/@SED_B/g $work/subject"
    "mawk 'BEGIN { s = ARGV[1]; gsub(ARGV[2], ARGV[3], s); printf \"%s\", s }' @S @AWK_A @AWK_B"
    "perl -e '\$_ = shift; \$a = shift; \$b = shift; s/\\Q\$a\\E/\$b/g; print' @S @A @B"
    "$python -c 'import sys; sys.stdout.write(sys.argv[1].replace(sys.argv[2], sys.argv[3]))' @S @A @B"
    "bash -c 'printf %s \"\${1//\"\$2\"/\"\$3\"}\"' _ @S @A @B"
)
operands=(SED_A SED_B AWK_A AWK_B S A B)

# render TEMPLATE LARGE: the template with its operands written in, or, when
# LARGE is 1, with references to the environment, which a shell expands.
render() {
    local c=$1 large=$2 v
    for v in "${operands[@]}"; do
        if ((large)); then
            c=${c//@$v/\"\$$v\"}
        else
            c=${c//@$v/\'${!v}\'}
        fi
    done
    printf '%s' "$c"
}

# compare CASE RUNS SUBJECT SEARCH WITH: operands hold no single quote, and
# the replacement no backslash.
cases=()
compare() {
    local runs=$2 i c status case=${#cases[@]}
    export S=$3 A=$4 B=$5
    # Escaped for a regular expression, and for a replacement where `&` is
    # the match.
    SED_A=$(printf '%s' "$A" | sed 's/[][\/.^$*]/\\&/g')
    SED_B=$(printf '%s' "$B" | sed 's/[\/&]/\\&/g')
    AWK_A=$(printf '%s' "$A" | sed 's/[][\.^$*+?(){}|]/\\&/g')
    AWK_B=$(printf '%s' "$B" | sed 's/&/\\&/g')
    export SED_A SED_B AWK_A AWK_B
    printf '%s' "$S" >"$work/subject"
    # Small operands go on the command line and hyperfine runs no shell.
    # Large ones are expanded by `sh -c 'exec COMMAND'`, whose start is then
    # in every tool's time alike (hyperfine's own shell correction, a
    # separate measurement, moves with the load more than the runs do).
    local large=0
    ((${#S} <= 1000)) || large=1
    local -a timed=()
    : >"$work/$case.untimed"
    for i in "${!names[@]}"; do
        c=$(render "${templates[i]}" "$large")
        status=0
        timeout 120 sh -c "$c" >"$work/out.${names[i]}" 2>"$work/err" || status=$?
        if ((status == 124)); then
            echo "${names[i]} over two minutes" >>"$work/$case.untimed"
        elif ((status != 0)); then
            # The reason, as the tool's message ends.
            echo "${names[i]} $(head -n 1 "$work/err" | sed 's/.*: //')" >>"$work/$case.untimed"
        elif ! cmp -s "$work/out.${names[i]}" "$work/out.strrepl"; then
            echo "${names[i]} a different result" >>"$work/$case.untimed"
        else
            ((large == 0)) || c="sh -c 'exec ${c//\'/\'\\\'\'}'"
            timed+=(-n "${names[i]}" "$c")
        fi
    done
    hyperfine -N --style none --warmup 1 --runs "$runs" \
        --export-json "$work/$case.json" "${timed[@]}" >/dev/null 2>&1
    cases+=("$1")
}

text=''
while ((${#text} + 44 <= 131069)); do text+='the quick brown fox jumps over the lazy dog '; done

compare '`abcabc bc X`' 200 abcabc bc X
compare 'every byte: 131,069 `a`, search `a`, replacement `bb`' 50 "$(repeat a 131069)" a bb
compare '128 KiB of text, `lazy dog` → `sleepy cat`' 50 "$text" 'lazy dog' 'sleepy cat'
compare 'adversarial: 131,069 `a`, search 65,535 `a` then `b`' 3 \
    "$(repeat a 131069)" "$(repeat a 65535)b" X

"$python" - "$work" "$(hyperfine --version | sed 's/.* //')" "${names[@]}" -- "${heads[@]}" \
    -- "${cases[@]}" <<'PY'
import json, sys

work, version, *rest = sys.argv[1:]
split = rest.index("--")
names = rest[:split]
split2 = rest.index("--", split + 1)
heads, cases = rest[split + 1:split2], rest[split2 + 1:]


def seconds(t):
    """Three significant digits, in µs below a millisecond, ms below a second."""
    value, unit = (t * 1e6, "µs") if t < 1e-3 else (t * 1e3, "ms") if t < 1 else (t, "s")
    return f"{value:.{max(0, 3 - len(str(int(value))))}f} {unit}"


def times(r):
    """A ratio with two significant digits, at least a whole number's."""
    return f"{r:#.2g}×" if r < 10 else f"{r:.0f}×"


print(f"| case (hyperfine {version}, medians) | " + " | ".join(heads) + " |")
print("|---" * (len(heads) + 1) + "|")
for i, case in enumerate(cases):
    results = json.load(open(f"{work}/{i}.json"))["results"]
    cells = {r["command"]: r["median"] for r in results}
    base = cells["strrepl"]
    untimed = dict(line.rstrip("\n").split(" ", 1) for line in open(f"{work}/{i}.untimed"))
    row = []
    for name in names:
        if name in untimed:
            row.append(untimed[name])
        elif name == "strrepl":
            row.append(seconds(base))
        else:
            row.append(f"{seconds(cells[name])} ({times(cells[name] / base)})")
    print(f"| {case} | " + " | ".join(row) + " |")
PY
