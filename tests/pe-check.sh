#!/usr/bin/env bash
# Holds strrepl.exe, 32-bit or 64-bit, to what lets it run on every Windows
# from XP on, and to its hardening.
#
#   pe-check.sh EXE ARCH IMPORTS VERSION BUILT
#                   check EXE, built for ARCH (x86 or x64); IMPORTS is
#                   tests/windows-imports.txt, BUILT the build's EXE with its
#                   symbols
#   pe-check.sh --print EXE                 print EXE's imports
#   pe-check.sh --print X86_EXE X64_EXE     print both in the IMPORTS format
#
# Checks the PE header (PE32 for x86, PE32+ for x64, console, no time stamp,
# subsystem and OS version at most XP's 5.01 or XP x64's 5.02, ASLR, with
# high-entropy addresses on x64, and DEP), that BUILT is EXE's code, that
# wmain checks a stack canary whose guard the program seeds itself, that the
# only DLLs are KERNEL32.dll and the system's msvcrt.dll, imported directly
# (no delay-loading), that the imported functions are exactly those IMPORTS
# lists for EXE's architecture, that none is one known to be missing on XP,
# and that the version resource names VERSION. A new import fails the check
# until it is looked at, found in XP's DLLs and added to IMPORTS: regenerate
# with
#   tests/pe-check.sh --print build/windows-x86/strrepl.exe build/windows-x64/strrepl.exe
# and keep the header of IMPORTS. OBJDUMP names the objdump: by default
# the x86-64 one of MinGW-w64, which reads both kinds of image.
set -u
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}

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

# IMPORTS lists a function that both architectures import as it is, and
# one that only one of them imports after "x86 " or "x64 ".
if [[ ${1:-} == --print ]]; then
    case $# in
    2) imports "$2" ;;
    3) LC_ALL=C join -a1 -a2 -e - -o 0,1.2,2.2 <(imports "$2" | sed 's/$/ x86/') \
        <(imports "$3" | sed 's/$/ x64/') | awk '
            $2 != "-" && $3 != "-" { print $1; next }
            { print ($2 != "-" ? $2 : $3), $1 }' ;;
    *) echo "usage: $0 --print EXE | --print X86_EXE X64_EXE" >&2; exit 2 ;;
    esac
    exit
fi
usage="usage: $0 EXE x86|x64 IMPORTS VERSION BUILT | --print EXE"
[[ $# == 5 ]] || { echo "$usage" >&2; exit 2; }
exe=$1 arch=$2 list=$3 version=$4 built=$5

# The header's time stamp is printed in local time.
header=$(TZ=UTC "$objdump" -p "$exe") || exit 1
failed=0
fail() {
    echo "FAIL $*"
    failed=$((failed + 1))
}

# What each architecture must be: the header's magic, the oldest Windows
# (its version times 100), the C names of wmain and of the canary's failure
# (x86 puts an underscore before a C name), and the DllCharacteristics flags
# wanted beyond ASLR and DEP: on x64, high-entropy ASLR (0x20).
case $arch in
x86) magic=010b kind=PE32 oldest=501 oldest_name=XP wmain=_wmain flags=0 ;;
x64) magic=020b kind=PE32+ oldest=502 oldest_name="XP x64" wmain=wmain flags=0x20 ;;
*) echo "$usage" >&2 && exit 2 ;;
esac
chk_fail=${wmain%wmain}__stack_chk_fail

# field NAME: the value of a header line "NAME<tabs>VALUE ...".
field() { awk -v name="$1" '$1 == name { print $2; exit }' <<<"$header"; }

# Header fields: name, wanted value, what it means.
while IFS='|' read -r name want meaning; do
    got=$(field "$name")
    [[ $got == "$want" ]] || fail "$name is '$got', not '$want': $meaning"
done <<EOF
Magic|$magic|$kind, the $arch program
Subsystem|00000003|a console program (Windows CUI)
EOF
grep -q $'^Time/Date\t*Thu Jan  1 00:00:00 1970$' <<<"$header" ||
    fail "a time stamp in the header: two builds would differ"

# DllCharacteristics flags: a load address of its own each run (ASLR), and
# no code run from data (DEP).
characteristics=$((16#$(field DllCharacteristics)))
((characteristics & 0x40)) || fail "no DYNAMIC_BASE: Windows would load it at one fixed address"
((characteristics & 0x100)) || fail "no NX_COMPAT: its data could be run as code"
((flags == 0 || characteristics & flags)) ||
    fail "no HIGH_ENTROPY_VA: ASLR would choose among few addresses"

# A stack canary, seen where the symbols are: the build's strrepl.exe,
# whose code must be the one that ships.
objcopy=${objdump%objdump}objcopy
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$objcopy" -O binary --only-section=.text "$exe" "$work/exe.text"
"$objcopy" -O binary --only-section=.text "$built" "$work/built.text"
cmp -s "$work/exe.text" "$work/built.text" || fail "$built is not the code that ships"
"$objdump" -d --disassemble="$wmain" "$built" | grep -q "call.*<$chk_fail>" ||
    fail "wmain checks no stack canary"
# The guard word is the program's own, seeded before wmain (no libssp).
symbols=$("${objdump%objdump}nm" -C "$built")
grep -q ' D __stack_chk_guard$' <<<"$symbols" && grep -q '::seed_stack_guard()$' <<<"$symbols" ||
    fail "the stack canary's guard is not the one seeded at start-up"

# The Windows versions the program asks for.
while read -r major minor; do
    got="$(field "$major").$(field "$minor")"
    if ! [[ $got =~ ^[0-9]+\.[0-9]+$ ]] || ((${got%.*} * 100 + ${got#*.} > oldest)); then
        fail "${major/Major/}: $got, above $oldest_name's $((oldest / 100)).0$((oldest % 100))"
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
elif ! difference=$(diff <(awk -v arch="$arch" '/^#/ || NF == 0 { next }
        NF == 1 || $1 == arch { print $NF }' "$list") <(printf '%s\n' "$functions")); then
    fail "imports differ from $list ('>' new, '<' gone):"
    grep '^[<>]' <<<"$difference"
    echo "Check each new one against XP's DLLs before adding it; print the list with"
    echo "  $0 --print X86_EXE X64_EXE"
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
printf '%s: %s %s console, subsystem %d.%02d, ASLR, DEP, canaries, %d imports as listed, version %s\n' \
    "$(basename "$exe")" "$kind" "$arch" "$(field MajorSubsystemVersion)" "$(field MinorSubsystemVersion)" \
    "$(wc -l <<<"$functions")" "$version"
