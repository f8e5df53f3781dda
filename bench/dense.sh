#!/usr/bin/env bash
# dense.sh [STRREPL [BEFORE [NAME]]]
#
# What a run of strrepl costs, as the Markdown tables of bench/README.md
# (a rerun's output replaces them as it stands):
#  1. instructions of whole runs (callgrind, in an empty environment) of
#     `abcabc bc X`: STRREPL's, BEFORE's if given, and this source tree's
#     release settings linked dynamically (built here, in a temporary
#     folder), against C programs that do nothing, linked statically and as
#     a hardened static PIE the way the release build links STRREPL, with
#     and without packed relative relocations;
#  2. instructions per match, less the static-PIE no-op's, on 131071-byte
#     subjects: every byte a match, and a match every few bytes; BEFORE's
#     beside STRREPL's if given;
#  3. peak resident set (GNU time), medians of 9 runs, of STRREPL and the
#     no-ops, with a 1 GiB result and without.
# BEFORE is another build to compare with and NAME what its rows and column
# call it ("before" unless given). Needs valgrind, gcc, bc, GNU time
# (/usr/bin/time), and CMake, Ninja and g++ for the dynamic build.
# STRREPL defaults to the release build.
set -euo pipefail
export LC_ALL=C

strrepl=$(realpath "${1:-build/release/strrepl}")
before=${2:+$(realpath "$2")}
name=${3:-before}
source=$(realpath "$(dirname "$0")/..")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf 'int main(void) { return 0; }\n' >"$work/noop.c"
hardened=(-O2 -fPIE -fstack-protector-strong -fcf-protection -D_FORTIFY_SOURCE=2 -static-pie
    -Wl,-z,relro,-z,now)
gcc -O2 -static -o "$work/noop-static" "$work/noop.c"
gcc "${hardened[@]}" -Wl,-z,pack-relative-relocs -o "$work/noop" "$work/noop.c"
gcc "${hardened[@]}" -o "$work/noop-unpacked" "$work/noop.c"

# The release settings with the default link: a dynamically linked PIE.
cmake -S "$source" -B "$work/dynamic" -G Ninja -D CMAKE_BUILD_TYPE=Release \
    -D BUILD_TESTING=OFF >/dev/null
cmake --build "$work/dynamic" --target strrepl >/dev/null
dynamic=$work/dynamic/strrepl

# Instructions of a whole run, in an empty environment.
instructions() {
    env -i valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
        awk '/Collected/ { print $4 }'
}
# A whole number with its thousands separated by commas.
count() { sed ':a; s/\B[0-9]\{3\}\>/,&/; ta' <<<"$1"; }
ratio() { printf '%.3f' "$(bc -l <<<"$1 / $2")"; }
noop=$(instructions "$work/noop")

echo "| run | instructions | against the static-PIE no-op |"
echo "|---|---|---|"
row() { # WHAT COMMAND...
    local what=$1 n
    shift
    n=$(instructions "$@")
    echo "| $what | $(count "$n") | $(ratio "$n" "$noop")× |"
}
row "a C program that does nothing, static" "$work/noop-static"
row "the same, a hardened static PIE, linked as strrepl is" "$work/noop"
row "the same, without packed relative relocations" "$work/noop-unpacked"
row '`strrepl abcabc bc X`' "$strrepl" abcabc bc X
[[ -z $before ]] || row "\`strrepl abcabc bc X\`, $name" "$before" abcabc bc X
row '`strrepl abcabc bc X`, linked dynamically' "$dynamic" abcabc bc X

# The most one operand carries.
size=131071
every=$(printf '%*s' "$size" '' | tr ' ' a)
few=''
while ((${#few} < size)); do few+=$'the cat sat on the mat\n'; done
few=${few:0:size}
spaces=${few//[^ ]/}

echo
if [[ -n $before ]]; then
    echo "| case | matches | instructions per match | $name | ratio |"
    echo "|---|---|---|---|---|"
else
    echo "| case | matches | instructions per match |"
    echo "|---|---|---|"
fi
per_match() { # WHAT MATCHES OPERANDS...
    local what=$1 matches=$2 now then
    shift 2
    now=$(bc -l <<<"($(instructions "$strrepl" "$@") - $noop) / $matches")
    printf '| %s | %s | %.2f |' "$what" "$(count "$matches")" "$now"
    if [[ -n $before ]]; then
        then=$(bc -l <<<"($(instructions "$before" "$@") - $noop) / $matches")
        printf ' %.2f | %s |' "$then" "$(ratio "$now" "$then")"
    fi
    echo
}
per_match "every byte: $(count $size) \`a\`, search \`a\`, replacement \`bb\`" "$size" \
    "$every" a bb
per_match "every few bytes: \`the cat sat on the mat\` and a line end, repeated, search a space, replacement \`_\`" \
    "${#spaces}" "$few" ' ' _

# Peak resident set in KiB, the median of 9 runs; the output goes to `wc -c`.
peak() {
    local i
    for i in 1 2 3 4 5 6 7 8 9; do
        env -i /usr/bin/time -f %M -o "$work/rss" "$@" | wc -c >/dev/null
        cat "$work/rss"
    done | sort -n | sed -n 5p
}
long=$(printf '%*s' 8192 '' | tr ' ' b)

echo
echo "| run | peak resident set |"
echo "|---|---|"
memory() { # WHAT COMMAND...
    local what=$1
    shift
    echo "| $what | $(count "$(peak "$@")") KiB |"
}
memory "a C program that does nothing, static" "$work/noop-static"
memory "the same, a hardened static PIE" "$work/noop"
memory '`strrepl abcabc bc X`' "$strrepl" abcabc bc X
memory "a 1 GiB result: $(count $size) \`a\`, search \`a\`, an 8192-byte replacement" \
    "$strrepl" "$every" a "$long"
memory "the same operands, no match (search \`b\`)" "$strrepl" "$every" b "$long"
