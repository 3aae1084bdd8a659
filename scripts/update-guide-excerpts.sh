#!/usr/bin/env bash
# Regenerates the report excerpts in docs/guide.md from the built programs.
#
#   scripts/update-guide-excerpts.sh [--check] [BUILD_DIR]
#
# Runs the guide's walk-through (its first ```sh block) as written, in a
# scratch copy of the source tree's layout (build/ and examples/), and
# replaces every region of the guide between
#   <!-- excerpt:NAME -->  and  <!-- /excerpt -->
# with the excerpt NAME, taken from the files the walk-through wrote, in a
# code block. The walk-through must end with status 0 and say nothing on
# standard error but pondrel's banner. The "created at" time stamps are
# masked, so the same build always gives the same guide.
#
# --check changes nothing: it exits 1 and shows the difference when the
# guide does not match what the current build writes. BUILD_DIR defaults
# to $BUILD or build/.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
check=false
if [ "${1:-}" = "--check" ]; then
    check=true
    shift
fi
build=${1:-${BUILD:-build}}
case $build in /*) ;; *) build=$root/$build ;; esac
guide=$root/docs/guide.md

for program in tools/histgen brimsel/brimsel pondrel/pondrel ravlog/ravlog; do
    if [ ! -x "$build/$program" ]; then
        echo "update-guide-excerpts: $build/$program is not built" >&2
        exit 2
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C
mkdir "$work/excerpts"

# ---- the walk-through ----------------------------------------------------
tree=$work/tree
mkdir "$tree"
ln -s "$build" "$tree/build"
ln -s "$root/examples" "$tree/examples"
awk '!done && /^```sh$/ { on = 1; next } on && /^```$/ { on = 0; done = 1 } on' \
    "$guide" >"$work/walk-through.sh"
if ! (cd "$tree" && env -i PATH=/usr/bin:/bin HOME="$work" LC_ALL=C \
    bash -e "$work/walk-through.sh" >"$work/walk-through.out" 2>"$work/walk-through.err"); then
    echo "update-guide-excerpts: the guide's walk-through fails:" >&2
    cat "$work/walk-through.err" >&2
    exit 1
fi
if grep -v -e '^Pondrel ' -e '^FhMail, ' -e '^Free software' -e '^$' "$work/walk-through.err"; then
    echo "update-guide-excerpts: the guide's walk-through writes the messages above" >&2
    exit 1
fi
dir=$tree/node

mask() { sed -E 's/(created at ).*/\1<time of the run>/'; }

# excerpt NAME: the standard input, masked, becomes excerpt NAME.
excerpt() { mask >"$work/excerpts/$1"; }

# Lines of FILE from the first line matching FROM (a fixed string) on,
# COUNT lines long.
lines_from() {
    local file=$1 from=$2 count=$3
    awk -v from="$from" -v count="$count" '
        !started && index($0, from) { started = 1 }
        started && n < count { print; n++ }' "$file"
}

# ---- brimsel -----------------------------------------------------------
{
    lines_from "$dir/brimsel.txt" "File: binkd.his" 10
    echo "..."
    # The foot and legend of the same table.
    awk '/^File: binkd.his/ { on = 1 } on && /^└/ { show = 1 } show && n < 5 { print; n++ }' \
        "$dir/brimsel.txt"
} | excerpt brimsel

# ---- pondrel -----------------------------------------------------------
excerpt pondrel <"$dir/pondrel.txt"
head -n 22 "$dir/pondrel-ascii.txt" | excerpt pondrel-ascii

# ---- ravlog ------------------------------------------------------------
ses=$dir/ravlog.ses
out=$dir/ravlog.out
{
    head -n 20 "$ses"
    echo "..."
    awk '/^╟/ { print; getline; print; getline; print; exit }' "$ses"
} | excerpt sessions
excerpt links <"$dir/ravlog.lnk"
# The address charts and the groups history: everything before the first
# line chart block.
awk '/Histogram$/ { exit } { print }' "$out" | sed -e '$ { /^$/ d }' | excerpt history
lines_from "$out" "BinkD - Busy Histogram" 16 | excerpt busy
lines_from "$out" "FrontDoor - Incoming Histogram" 16 | excerpt incoming
lines_from "$out" "Modem-2 - Protected Histogram" 16 | excerpt protected
awk '/^┌/ { on = 1 } on' "$out" | excerpt totals

# The address charts once more with a separating line and label after
# every row (MiddLine Yes, -m+).
lines_from "$dir/labels.out" "├─┴─┼" 9 | excerpt labels

# ---- the guide -----------------------------------------------------------
# Every marked region gets its excerpt; a name without an excerpt is an
# error, so that a renamed excerpt cannot leave stale text behind.
awk -v dir="$work/excerpts" '
    match($0, /^<!-- excerpt:[a-z0-9-]+ -->$/) {
        print
        name = substr($0, 14, length($0) - 17)
        file = dir "/" name
        if ((getline line < file) <= 0) {
            printf "update-guide-excerpts: no excerpt named %s\n", name > "/dev/stderr"
            failed = 1
        } else {
            print "```"
            do print line; while ((getline line < file) > 0)
            print "```"
        }
        close(file)
        skipping = 1
        next
    }
    skipping && /^<!-- \/excerpt -->$/ { skipping = 0 }
    !skipping { print }
    END {
        if (skipping) {
            print "update-guide-excerpts: an excerpt region is not closed" > "/dev/stderr"
            failed = 1
        }
        exit failed
    }' "$guide" >"$work/guide.md"

if $check; then
    if ! diff -u "$guide" "$work/guide.md"; then
        echo "docs/guide.md is out of date: run scripts/update-guide-excerpts.sh" >&2
        exit 1
    fi
    echo "docs/guide.md matches the excerpts of this build"
else
    cp "$work/guide.md" "$guide"
fi
