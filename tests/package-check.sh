#!/usr/bin/env bash
# Builds the package of a build folder and checks it as a user would meet it.
#
#   package-check.sh BUILD_DIR deb                  lintian, pedantic, no tag left;
#                                                   the shipped strrepl's hardening
#   package-check.sh BUILD_DIR zip IMPORTS VERSION  contents, CR LF text, the
#                                                   shipped strrepl.exe's PE checks,
#                                                   the batch file run from elsewhere
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1 kind=$2

(cd "$build" && cpack -G "${kind^^}" >/dev/null)
case $kind in
deb)
    lintian --fail-on error,warning --pedantic -I "$build"/strrepl_*.deb
    echo "lintian: no tag"
    shipped=$(mktemp -d)
    trap 'rm -rf "$shipped"' EXIT
    dpkg-deb -x "$build"/strrepl_*.deb "$shipped"
    bash "$here/elf-check.sh" "$shipped/usr/bin/strrepl" "$build/strrepl"
    ;;
zip)
    imports=$3 version=$4
    zip=$(echo "$build"/strrepl-"$version"-windows-x86.zip)
    files=$(zipinfo -1 "$zip" | tr '\n' ' ')
    [[ $files == "LICENSE.txt README.txt replace.bat strrepl.exe " ]] ||
        { echo "$zip holds $files"; exit 1; }
    shipped=$(mktemp -d)
    trap 'rm -rf "$shipped"' EXIT
    unzip -q "$zip" -d "$shipped"
    for f in README.txt LICENSE.txt replace.bat; do
        awk '!/\r$/ { print FILENAME ": line " FNR " does not end in CR LF"; bad = 1 }
             END { exit bad }' "$shipped/$f"
    done
    bash "$here/pe-check.sh" "$shipped/strrepl.exe" "$imports" "$version" "$build/strrepl.exe"
    # The batch file called by its path from another folder, with no
    # strrepl on PATH, finds the strrepl.exe beside it.
    mkdir "$shipped/elsewhere"
    got=$(cd "$shipped/elsewhere" &&
        wine cmd /c "$(winepath -w "$shipped/replace.bat")" abcabc bc X </dev/null 2>&1)
    [[ $got == $'Result: aXaX\r' ]] || { echo "replace.bat by its path: '$got'"; exit 1; }
    echo "replace.bat: runs the strrepl.exe beside it"
    ;;
*)
    echo "usage: $0 BUILD_DIR deb | BUILD_DIR zip IMPORTS VERSION" >&2
    exit 2
    ;;
esac
