#!/usr/bin/env bash
# Holds strrepl.exe to what lets it run on every 32-bit Windows from XP on,
# and to its hardening.
#
#   pe-check.sh EXE IMPORTS VERSION BUILT   check EXE; IMPORTS is
#                                           tests/windows-imports.txt, BUILT
#                                           the build's EXE with its symbols
#   pe-check.sh --print EXE                 print EXE's imports in the IMPORTS format
#
# Checks the PE header (PE32, i386, console, subsystem and OS version at most
# 5.01, ASLR and DEP), that BUILT is EXE's code and checks a stack canary in
# wmain, that the only DLLs are KERNEL32.dll and the system's msvcrt.dll,
# imported directly (no delay-loading), that the imported functions are
# exactly those in IMPORTS, that none is one known to be missing on XP, and
# that the version resource names VERSION. A new import fails the check until
# it is looked at, found in XP's DLLs and added to IMPORTS: regenerate with
#   tests/pe-check.sh --print build/windows-x86/strrepl.exe
# and keep the header of IMPORTS.
set -u
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

# DLL!Function, one a line, sorted.
imports() {
    "$objdump" -p "$1" | awk '
        /^\tDLL Name: / { dll = $3; next }
        /^$/ { dll = "" }
        # "\tvma  hint  name": by name; "\tvma  <none>  ordinal": by ordinal.
        dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[^ ]+$/ { print dll "!" $3 }
        dll != "" && /^\t[0-9a-f]+\t +<none> +[0-9a-f]+$/ { print dll "!#" $3 }
    ' | LC_ALL=C sort
}

if [[ ${1:-} == --print ]]; then
    [[ $# == 2 ]] || { echo "usage: $0 --print EXE" >&2; exit 2; }
    imports "$2"
    exit
fi
[[ $# == 4 ]] || { echo "usage: $0 EXE IMPORTS VERSION BUILT | --print EXE" >&2; exit 2; }
exe=$1 list=$2 version=$3 built=$4

header=$("$objdump" -p "$exe") || exit 1
failed=0
fail() {
    echo "FAIL $*"
    failed=$((failed + 1))
}

# field NAME: the value of a header line "NAME<tabs>VALUE ...".
field() { awk -v name="$1" '$1 == name { print $2; exit }' <<<"$header"; }

# Header fields: name, wanted value, what it means.
while IFS='|' read -r name want meaning; do
    got=$(field "$name")
    [[ $got == "$want" ]] || fail "$name is '$got', not '$want': $meaning"
done <<'EOF'
Magic|010b|PE32, a 32-bit program
Subsystem|00000003|a console program (Windows CUI)
EOF
grep -q 'file format pei-i386$' <<<"$header" || fail "not an i386 PE image"

# DllCharacteristics flags: a load address of its own each run (ASLR), and
# no code run from data (DEP).
characteristics=$((16#$(field DllCharacteristics)))
((characteristics & 0x40)) || fail "no DYNAMIC_BASE: Windows would load it at one fixed address"
((characteristics & 0x100)) || fail "no NX_COMPAT: its data could be run as code"

# A stack canary, seen where the symbols are: the build's strrepl.exe,
# whose code must be the one that ships.
objcopy=${objdump%objdump}objcopy
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$objcopy" -O binary --only-section=.text "$exe" "$work/exe.text"
"$objcopy" -O binary --only-section=.text "$built" "$work/built.text"
cmp -s "$work/exe.text" "$work/built.text" || fail "$built is not the code that ships"
"$objdump" -d --disassemble=_wmain "$built" | grep -q 'call.*<___stack_chk_fail>' ||
    fail "wmain checks no stack canary"

# The Windows versions the program asks for: XP is 5.1.
while read -r major minor; do
    got="$(field "$major").$(field "$minor")"
    if ! [[ $got =~ ^[0-9]+\.[0-9]+$ ]] || ((${got%.*} * 100 + ${got#*.} > 501)); then
        fail "${major/Major/}: $got, above XP's 5.01"
    fi
done <<'EOF'
MajorSubsystemVersion MinorSubsystemVersion
MajorOSystemVersion MinorOSystemVersion
EOF

if ! grep -Eq '^Entry d 0+ 0+ Delay Import Directory' <<<"$header"; then
    fail "delay-loaded imports, which this check cannot see"
fi

functions=$(imports "$exe")
dlls=$(cut -d'!' -f1 <<<"$functions" | uniq | tr '\n' ' ')
[[ $dlls == "KERNEL32.dll msvcrt.dll " ]] ||
    fail "imports from ${dlls% }: expected KERNEL32.dll and msvcrt.dll alone"

# Functions that XP's DLLs lack and the toolchain can pull in: the first
# Windows to have them, and the names (extended regular expressions).
while read -r since pattern; do
    if too_new=$(grep -E "^($pattern)\$" <<<"$functions"); then
        fail "imports that first came with Windows $since:" "${too_new//$'\n'/ }"
    fi
done <<'EOF'
Vista KERNEL32\.dll!(GetTickCount64|InitializeCriticalSectionEx|InitOnce.*)
Vista KERNEL32\.dll!.*(SRWLock|ConditionVariable).*
Vista KERNEL32\.dll!Fls(Alloc|Free|GetValue|SetValue)
Vista KERNEL32\.dll!Create(Event|Mutex|Semaphore|WaitableTimer)Ex[AW]
Vista KERNEL32\.dll!(GetFileInformationByHandleEx|SetFileInformationByHandle|CancelIoEx)
Vista KERNEL32\.dll!(GetFinalPathNameByHandle[AW]|CreateSymbolicLink[AW]|GetQueuedCompletionStatusEx)
Vista KERNEL32\.dll!(.*LocaleName.*|GetLocaleInfoEx|LCMapStringEx|CompareStringEx)
7 KERNEL32\.dll!K32.*
8 KERNEL32\.dll!GetSystemTimePreciseAsFileTime
Vista msvcrt\.dll!.*_s
Vista msvcrt\.dll!(.*_l|_create_locale|_free_locale)
Vista msvcrt\.dll!(.*_nolock|_fseeki64|_ftelli64)
EOF

if [[ ! -r $list ]]; then
    fail "cannot read $list"
elif ! difference=$(diff <(grep -v '^#' "$list" | grep -v '^$') <(printf '%s\n' "$functions")); then
    fail "imports differ from $list ('>' new, '<' gone):"
    grep '^[<>]' <<<"$difference"
    echo "Check each new one against XP's DLLs before adding it; print the list with"
    echo "  $0 --print $exe"
fi

# The version resource: its strings are UTF-16, each key followed by its value.
resource=$(strings -el "$exe")
while IFS='|' read -r key want; do
    got=$(awk -v key="$key" 'found { print; exit } $0 == key { found = 1 }' <<<"$resource")
    if [[ -z $got ]]; then
        fail "version resource: no $key"
    elif [[ -n $want && $got != "$want" ]]; then
        fail "version resource: $key is '$got', not '$want'"
    fi
done <<EOF
FileDescription|
FileVersion|$version
ProductName|strrepl
ProductVersion|$version
LegalCopyright|
OriginalFilename|$(basename "$exe")
EOF

if ((failed)); then
    echo "$failed failed"
    exit 1
fi
printf '%s: PE32 i386 console, subsystem %d.%02d, ASLR, DEP, canaries, %d imports as listed, version %s\n' \
    "$(basename "$exe")" "$(field MajorSubsystemVersion)" "$(field MinorSubsystemVersion)" \
    "$(wc -l <<<"$functions")" "$version"
