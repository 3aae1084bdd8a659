#!/usr/bin/env bash
# The programs' whole outputs against the files kept under tests/expected:
# each case is one command line run in a scratch directory, and everything
# it gives (standard output, standard error, exit status and every file it
# writes or changes there) is compared byte for byte with the case's out/.
#
#   tests/expected/run.sh BUILD_DIR [--update] [CASE...]
#
# A case is a directory tests/expected/<case>/ holding
#   cmd     the command line, read by sh; ravlog, pondrel, brimsel and
#           histgen are the build's, TZ is UTC and LC_ALL is C unless the
#           line sets them;
#   setup   (optional) sh commands that make the inputs before cmd runs,
#           histgen's histories from the record lists in tests/expected/
#           inputs/ ($inputs) or from a seed; what they print is not kept;
#   in/     (optional) files copied into the scratch directory first;
#   out/    stdout, stderr, status and files/<name> for each file written.
# The time a report was created at reads "<time>" on both sides: the one
# part of a run that is not fixed by its inputs. --update writes out/ from
# what the programs give now (scripts/regenerate-expected.sh), so that a
# deliberate change of a report is one reviewed diff.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: run.sh BUILD_DIR [--update] [CASE...]}
shift
case $build in /*) ;; *) build=$PWD/$build ;; esac
update=0
if [ "${1:-}" = --update ]; then
    update=1
    shift
fi
if [ $# -eq 0 ]; then
    set --
    for dir in "$here"/*/; do
        [ -f "$dir/cmd" ] && set -- "$@" "$(basename "$dir")"
    done
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
for program in ravlog/ravlog pondrel/pondrel brimsel/brimsel tools/histgen; do
    if [ ! -x "$build/$program" ]; then
        echo "FAIL: $build/$program is not built"
        exit 1
    fi
    ln -s "$build/$program" "$work/bin/$(basename "$program")"
done

# strftime's "%A, %d %B %Y, %X" in the C locale, after "created at" (the
# text reports) or "Created at" (the HTML pages).
weekday='(Monday|Tuesday|Wednesday|Thursday|Friday|Saturday|Sunday)'
month='(January|February|March|April|May|June|July|August|September|October|November|December)'
mask() {
    sed -E "s/([Cc]reated at )$weekday, [0-3][0-9] $month [0-9]{4}, [0-2][0-9]:[0-5][0-9]:[0-6][0-9]/\\1<time>/g" "$1"
}

# The files of a directory with their checksums, for what a run changed.
listing() {
    (cd "$1" && find . -type f ! -name '.std*' -print0 | xargs -0r cksum | LC_ALL=C sort)
}

failures=0
for name in "$@"; do
    case=$here/$name
    if [ ! -f "$case/cmd" ]; then
        echo "FAIL: $name: no such case"
        failures=$((failures + 1))
        continue
    fi
    dir=$work/run/$name
    mkdir -p "$dir"
    if [ -d "$case/in" ]; then cp -R "$case/in/." "$dir/"; fi
    environment=(env -i "PATH=$work/bin:/usr/bin:/bin" "HOME=$dir" TZ=UTC LC_ALL=C
                 "inputs=$here/inputs")
    if [ -f "$case/setup" ] &&
        ! (cd "$dir" && "${environment[@]}" sh -e "$case/setup" >"$work/setup.log" 2>&1); then
        echo "FAIL: $name: its setup failed:"
        cat "$work/setup.log"
        failures=$((failures + 1))
        continue
    fi
    listing "$dir" >"$work/before"
    # A hang fails its case (status 124) instead of stalling the runner.
    (cd "$dir" && timeout 120 "${environment[@]}" sh -c "$(cat "$case/cmd")" </dev/null \
        >.stdout 2>.stderr)
    status=$?
    listing "$dir" >"$work/after"

    got=$work/got/$name
    mkdir -p "$got/files"
    mask "$dir/.stdout" >"$got/stdout"
    mask "$dir/.stderr" >"$got/stderr"
    echo "$status" >"$got/status"
    # A file is the run's when it is new or its checksum changed.
    LC_ALL=C comm -13 "$work/before" "$work/after" | while read -r _ _ file; do
        mkdir -p "$(dirname "$got/files/$file")"
        mask "$dir/$file" >"$got/files/$file"
    done
    rmdir "$got/files" 2>/dev/null  # git keeps no empty directory

    if [ $update -eq 1 ]; then
        rm -rf "$case/out"
        cp -R "$got" "$case/out"
        echo "updated: $name"
    elif ! diff -r "$case/out" "$got" >/dev/null 2>&1; then
        echo "FAIL: $name: $(cat "$case/cmd")"
        diff -ru "$case/out" "$got" | head -n 60
        failures=$((failures + 1))
    else
        echo "ok: $name"
    fi
done

if [ $failures -ne 0 ]; then
    echo "$failures of $# cases differ; after a deliberate change, scripts/regenerate-expected.sh"
    exit 1
fi
echo "all $# cases as expected"
