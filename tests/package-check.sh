#!/usr/bin/env bash
# Builds the package of a build folder, or installs it, and checks it as a
# user would meet it.
#
#   package-check.sh BUILD_DIR install              cmake --install --strip: the
#                                                   files, stripped, no Debian parts
#   package-check.sh BUILD_DIR deb                  lintian, pedantic, no tag left;
#                                                   the shipped strrepl's hardening
#   package-check.sh BUILD_DIR zip SYSTEM ARCH VERSION IMPORTS
#                           the ZIP for SYSTEM (windows-x86, windows-x64), of
#                           a program for ARCH (x86, x64): its contents, CR LF
#                           text, the shipped strrepl.exe's PE checks
#   package-check.sh BUILD_DIR batch SYSTEM VERSION EMULATOR...
#                           the batch helper in that ZIP, run from elsewhere
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1 kind=$2
# What a Windows ZIP holds, in its one folder, in zip's order. None is named
# like a Windows command: PATH would find that command first.
windows_files=(LICENSE.txt README.txt strrepl-set.bat strrepl.exe)

case $kind in
install)
    # What cmake --install lays out for a prefix such as /usr/local.
    prefix=$(mktemp -d)
    trap 'rm -rf "$prefix"' EXIT
    cmake --install "$build" --prefix "$prefix" --strip >/dev/null
    files=$(cd "$prefix" && find . ! -type d | LC_ALL=C sort | tr '\n' ' ')
    want="./bin/strrepl ./share/doc/strrepl/README.md ./share/doc/strrepl/changelog.gz"
    want+=" ./share/doc/strrepl/copyright ./share/man/man1/strrepl.1.gz "
    [[ $files == "$want" ]] || { echo "installed: $files"; exit 1; }
    if readelf -SW "$prefix/bin/strrepl" | grep -q '\.symtab'; then
        echo "bin/strrepl is not stripped"
        exit 1
    fi
    [[ $("$prefix/bin/strrepl" abcabc bc X) == aXaX ]]
    echo "installed: ${files% }"
    ;;
deb)
    # An earlier version's package would stand beside this one's.
    rm -f "$build"/strrepl_*.deb
    (cd "$build" && cpack -G DEB >/dev/null)
    lintian --fail-on error,warning --pedantic -I "$build"/strrepl_*.deb
    echo "lintian: no tag"
    shipped=$(mktemp -d)
    trap 'rm -rf "$shipped"' EXIT
    dpkg-deb -x "$build"/strrepl_*.deb "$shipped"
    bash "$here/elf-check.sh" "$shipped/usr/bin/strrepl" "$build/strrepl"
    ;;
zip)
    (cd "$build" && cpack -G ZIP >/dev/null)
    system=$3 arch=$4 version=$5 imports=$6
    # One folder, so that unpacking it into Downloads makes one thing there.
    folder=strrepl-$version-$system
    zip=$build/$folder.zip
    files=$(zipinfo -1 "$zip" | tr '\n' ' ')
    want=
    for f in "${windows_files[@]}"; do want+="$folder/$f "; done
    [[ $files == "$want" ]] || { echo "$zip holds $files"; exit 1; }
    unpacked=$(mktemp -d)
    trap 'rm -rf "$unpacked"' EXIT
    unzip -q "$zip" -d "$unpacked"
    shipped=$unpacked/$folder
    for f in "${windows_files[@]}"; do
        [[ $f == *.exe ]] && continue
        # ASCII: it reads the same in Notepad and in a console of any code page.
        LC_ALL=C awk '!/\r$/ { print FILENAME ": line " FNR " does not end in CR LF"; bad = 1 }
            /[^\t\r -~]/ { print FILENAME ": line " FNR " holds a byte beyond ASCII"; bad = 1 }
            END { exit bad }' "$shipped/$f"
    done
    bash "$here/pe-check.sh" "$shipped/strrepl.exe" "$arch" "$imports" "$version" "$build/strrepl.exe"
    ;;
batch)
    system=$3 version=$4
    shift 4
    emulator=("$@")
    folder=strrepl-$version-$system
    unpacked=$(mktemp -d)
    trap 'rm -rf "$unpacked"' EXIT
    unzip -q "$build/$folder.zip" -d "$unpacked"
    shipped=$unpacked/$folder
    # The batch helper called by its path from a batch file in another
    # folder, with no strrepl on PATH, finds the strrepl.exe beside it (echo
    # off: Wine shows the lines of a block that starts with @).
    mkdir "$unpacked/elsewhere"
    printf '@echo off\r\ncall "%s" got abcabc bc X\r\nset got\r\n' \
        "$("${emulator[@]}" winepath -w "$shipped/strrepl-set.bat")" >"$unpacked/elsewhere/run.bat"
    got=$(cd "$unpacked/elsewhere" && "${emulator[@]}" cmd /c run.bat </dev/null 2>&1)
    [[ $got == $'got=aXaX\r' ]] || { echo "strrepl-set.bat by its path: '$got'"; exit 1; }
    echo "strrepl-set.bat: runs the strrepl.exe beside it"
    ;;
*)
    echo "usage: $0 BUILD_DIR install | BUILD_DIR deb | BUILD_DIR zip SYSTEM ARCH VERSION IMPORTS" \
        "| BUILD_DIR batch SYSTEM VERSION EMULATOR..." >&2
    exit 2
    ;;
esac
