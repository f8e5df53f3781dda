#!/usr/bin/env bash
# Holds the shipped Linux strrepl to its hardening.
#
#   elf-check.sh SHIPPED BUILT
#
# SHIPPED is the package's stripped executable, BUILT the build's own with its
# symbols; their code must be the same. Checks a static PIE (position
# independent, no interpreter, no library), relocations bound at start-up
# and read-only after it, and in main a stack canary and, on x86-64, an
# endbr64 landing pad. hardening-check reads the relocations right; a static
# PIE it takes for a shared library, and it looks for the canary and the
# landing pads where only a dynamically linked program shows them, so those
# come from readelf and objdump.
set -u
shipped=$1 built=$2
failed=0
fail() {
    echo "FAIL $*"
    failed=$((failed + 1))
}

report=$(hardening-check "$shipped")
for fact in 'Read-only relocations: yes' 'Immediate binding: yes'; do
    grep -qF "$fact" <<<"$report" || fail "hardening-check does not say '$fact':"$'\n'"$report"
done

header=$(readelf -hW "$shipped")
dynamic=$(readelf -dW "$shipped")
grep -q 'Type: *DYN ' <<<"$header" || fail "not position independent: $(grep Type: <<<"$header")"
grep -q 'FLAGS_1.*PIE' <<<"$dynamic" || fail "no PIE flag"
grep -q 'FLAGS_1.*NOW' <<<"$dynamic" || fail "no BIND_NOW flag"
readelf -lW "$shipped" | grep -q GNU_RELRO || fail "no RELRO segment"
if readelf -lW "$shipped" | grep -q INTERP; then fail "needs an interpreter: not static"; fi
if grep -q NEEDED <<<"$dynamic"; then fail "needs libraries:" $(grep NEEDED <<<"$dynamic"); fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
objcopy -O binary --only-section=.text "$shipped" "$work/shipped.text"
objcopy -O binary --only-section=.text "$built" "$work/built.text"
cmp -s "$work/shipped.text" "$work/built.text" || fail "$built is not the code that ships"

main=$(objdump -d --no-show-raw-insn --disassemble=main "$built" | awk '/<main>:$/,/^$/')
grep -q 'call.*<__stack_chk_fail>' <<<"$main" || fail "main checks no stack canary"
if grep -q 'Machine: *Advanced Micro Devices X86-64' <<<"$header"; then
    first=$(awk 'NR == 2 { print $2 }' <<<"$main")
    [[ $first == endbr64 ]] || fail "main begins with '$first', not endbr64"
fi

if ((failed)); then
    echo "$failed failed"
    exit 1
fi
echo "$(basename "$shipped"): static PIE, RELRO, BIND_NOW, a stack canary and endbr64 in main"
