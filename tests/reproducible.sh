#!/usr/bin/env bash
# Builds this working tree twice with a configure preset and compares what
# ships, byte for byte: the program and its package (built without tests).
#
#   tests/reproducible.sh [PRESET...]
#
# By default each preset whose packages are tested (STRREPL_PACKAGE_TESTS).
#
# Each copy is a clone of the last commit with the working tree's changes laid
# over it, so that package times come from the commit as in any build. The
# second copy differs in what must not matter: it is built two seconds later,
# in a folder with a space in its path, on another file system where there is
# one (/dev/shm: other folder sizes, files listed in another order), with
# umask 027 and another time zone and locale. A difference is shown with cmp
# and, for a package, member by member. KEEP=1 keeps both copies.
set -euo pipefail

cd "$(dirname "$0")/.."
src=$PWD
targets=("$@")
if ((!${#targets[@]})); then
    for preset in $(cmake --list-presets | sed -n 's/^  "\([^"]*\)".*/\1/p'); do
        [[ $(cmake --preset "$preset" -N) == *$'\n  STRREPL_PACKAGE_TESTS="ON"\n'* ]] && targets+=("$preset")
    done
fi

work=$(mktemp -d)
other=$work
if [[ -d /dev/shm && -w /dev/shm ]]; then other=$(mktemp -d -p /dev/shm); fi
trap '[[ -n ${KEEP:-} ]] || rm -rf "$work" "$other"; [[ -z ${KEEP:-} ]] || echo "kept $work $other"' EXIT

# copy DEST: the commit checked out in DEST, then the working tree over it.
copy() {
    local dest=$1
    git clone -q --shared --no-checkout "$src" "$dest"
    git -C "$dest" checkout -q --detach "$(git -C "$src" rev-parse HEAD)"
    (cd "$src" && git ls-files -z --cached --others --exclude-standard |
        tar --null --ignore-failed-read -T - -cf - 2>/dev/null) | tar -xf - -C "$dest"
    (cd "$src" && git ls-files -z --deleted) | (cd "$dest" && xargs -0r rm -f --)
}

# build DIR PRESET: configure, build and package with PRESET in DIR, in a
# build folder of this script's own (out/PRESET).
build() {
    local dir=$1 preset=$2
    cd "$dir"
    cmake --preset "$preset" -B "out/$preset" -DBUILD_TESTING=OFF
    cmake --build "out/$preset"
    (cd "out/$preset" && cpack)
}

# artifacts PRESET: what ships, relative to the source folder: the program
# and its package.
artifacts() {
    find "out/$1" -maxdepth 1 \( -name strrepl -o -name strrepl.exe -o -name '*.deb' -o -name '*.zip' \) |
        sort
}

# explain A B: where two packages differ, member by member.
explain() {
    local -A package=([a]=$1 [b]=$2)
    local x f
    for x in a b; do
        mkdir -p "$work/explain/$x"
        cp "${package[$x]}" "$work/explain/$x/package"
        (cd "$work/explain/$x" &&
            case $1 in
            *.deb) ar tv package >members.txt && ar x package && for f in *.tar.*; do
                tar -tvf "$f" >"$f.txt" && mkdir "${f%%.*}" && tar -xf "$f" -C "${f%%.*}"
            done ;;
            *.zip) zipinfo -v package >members.txt && unzip -q package -d files ;;
            esac)
    done
    (cd "$work/explain/a" && find . -type f ! -name '*.txt' ! -name package | sort) | while read -r f; do
        cmp "$work/explain/a/$f" "$work/explain/b/$f" || true
    done
    for f in "$work"/explain/a/*.txt; do
        diff "$f" "$work/explain/b/${f##*/}" | head -20 || true
    done
    rm -rf "$work/explain"
}

one="$work/one/strrepl"
two="$other/two with space/strrepl"
copy "$one"
copy "$two"

failed=0 compared=0
for target in "${targets[@]}"; do
    echo "== $target: first build"
    (build "$one" "$target") >"$work/$target-one.log" 2>&1 ||
        { cat "$work/$target-one.log"; exit 1; }
    # Times are stored in seconds, and in a ZIP in two-second steps.
    sleep 2
    echo "== $target: second build, in $two"
    (umask 027 && TZ=XST-5:30 LC_ALL=C.UTF-8 build "$two" "$target") >"$work/$target-two.log" 2>&1 ||
        { cat "$work/$target-two.log"; exit 1; }
    shipped=$(cd "$one" && artifacts "$target")
    if [[ $(wc -l <<<"$shipped") != 2 ]]; then
        echo "FAIL $target made" ${shipped:-nothing}", not a program and its package"
        failed=$((failed + 1))
    fi
    for artifact in $shipped; do
        compared=$((compared + 1))
        if cmp "$one/$artifact" "$two/$artifact"; then
            echo "same: $artifact ($(stat -c %s "$one/$artifact") bytes)"
        else
            echo "FAIL differs: $artifact"
            [[ $artifact == *.deb || $artifact == *.zip ]] && explain "$one/$artifact" "$two/$artifact"
            failed=$((failed + 1))
        fi
    done
done
echo "$((compared - failed)) passed, $failed failed"
((failed == 0))
