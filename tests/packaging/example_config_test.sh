#!/usr/bin/env bash
# examples/ravlog.ctl is a valid configuration for all three programs over
# the histories that `histgen node` writes: every program runs cleanly
# (status 0, no warning), every [LINE] of the example is read and reported,
# as it stands it changes no history, and the cutting it shows, once turned
# on, touches only the history it is meant for.
#   example_config_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1
src=$2
config=$src/examples/ravlog.ctl
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC
failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { passes=$((passes + 1)); }

# A node's histories, ending on END (a date or "yesterday"), with the
# example as ravlog.ctl; prints the directory.
node() {
    local dir=$work/$1 end=$2
    mkdir "$dir"
    if [ "$end" = yesterday ]; then
        "$build/tools/histgen" node --dir "$dir" --days 3 --seed 31 >"$dir/histgen.txt"
    else
        "$build/tools/histgen" node --dir "$dir" --days 3 --seed 31 --end "$end" >"$dir/histgen.txt"
    fi
    cp "$config" "$dir/ravlog.ctl"
    echo "$dir"
}

# run DIR NAME PROGRAM ARGS...: runs the program in DIR, keeps its output
# in NAME.out and NAME.err, and expects status 0 and no message on
# standard error but the banner (pondrel writes its banner there).
run() {
    local dir=$1 name=$2 program=$3
    shift 3
    (cd "$dir" && "$build/$program/$program" "$@" >"$name.out" 2>"$name.err")
    local status=$?
    local messages
    messages=$(grep -v -e '^Pondrel ' -e '^FhMail, ' -e '^Free software' -e '^$' "$dir/$name.err")
    if [ $status -ne 0 ] || [ -n "$messages" ]; then
        fail "$program $* exited with $status: $messages"
        return 1
    fi
    pass
}

dir=$(node today yesterday)
# The names of the example's [LINE] sections, in order, and the files
# histgen wrote.
mapfile -t names < <(sed -n 's/^Name *"\([^"]*\)".*/\1/p' "$config")
mapfile -t files < <(awk '{ print $1 }' "$dir/histgen.txt")
[ ${#names[@]} -eq 8 ] && pass || fail "the example names ${#names[@]} lines, not 8"
[ ${#files[@]} -eq 10 ] && pass || fail "histgen wrote ${#files[@]} files, not 10"
cp -r "$dir" "$work/pristine"

# brimsel: a table for every history file, pairs included.
if run "$dir" brimsel brimsel; then
    for file in "${files[@]}"; do
        grep -qx "File: $file" "$dir/brimsel.out" && pass || fail "brimsel shows no table for $file"
    done
fi

# pondrel: the whole period, UTF-8 and ASCII, with the group table.
if run "$dir" pondrel pondrel; then
    grep -q 'Links Statistic' "$dir/pondrel.out" && grep -q 'Group Statistic' "$dir/pondrel.out" &&
        pass || fail "pondrel wrote no links or no group table"
fi
if run "$dir" pondrel-ascii pondrel -u-; then
    LC_ALL=C grep -q '[^ -~]' "$dir/pondrel-ascii.out" && fail "pondrel -u- wrote non-ASCII" || pass
fi

# ravlog for yesterday, as the nightly run does: three reports, every line
# under its name, and nothing cut (the histories are younger than 60 days).
if run "$dir" ravlog ravlog -d-1; then
    for report in ravlog.ses ravlog.lnk ravlog.out; do
        [ -s "$dir/$report" ] && pass || fail "ravlog wrote no $report"
    done
    for name in "${names[@]}"; do
        grep -q "^ *$name\$" "$dir/ravlog.ses" && pass ||
            fail "the sessions statistic has no table for line $name"
        grep -q "^ *$name - Busy Histogram\$" "$dir/ravlog.out" && pass ||
            fail "the sessions history has no busy chart of line $name"
    done
    grep -q '^Moscow ' "$dir/ravlog.out" && pass || fail "the groups history lacks the Moscow label"
    for file in "${files[@]}"; do
        cmp -s "$dir/$file" "$work/pristine/$file" && pass || fail "ravlog -d-1 changed $file"
    done
fi

# Histories of a node long gone (March 2024), read with the example as it
# stands: nothing is cut, the teaching configuration changes no file.
old=$(node old 2024-03-12)
mkdir "$work/old-copy"
"$build/tools/histgen" node --dir "$work/old-copy" --days 3 --seed 31 --end 2024-03-12 >/dev/null
if run "$old" ravlog ravlog -d12.3.2024; then
    for file in "${files[@]}"; do
        cmp -s "$old/$file" "$work/old-copy/$file" && pass || fail "the example as it stands cut $file"
    done
fi

# With the BinkD line's CutHistory 60 turned on, as its comment says, the
# same run empties binkd.his; every other history, cuttable or not, stays
# as it was.
grep -q '^;CutHistory 60$' "$config" && pass || fail "the example shows no ';CutHistory 60' to turn on"
sed 's/^;CutHistory 60$/CutHistory 60/' "$config" >"$old/cutting.ctl"
if run "$old" ravlog-cut ravlog -ccutting.ctl -d12.3.2024; then
    [ -f "$old/binkd.his" ] && [ ! -s "$old/binkd.his" ] && pass ||
        fail "CutHistory 60 left $(stat -c %s "$old/binkd.his" 2>/dev/null) bytes in binkd.his"
    for file in "${files[@]}"; do
        [ "$file" = binkd.his ] && continue
        cmp -s "$old/$file" "$work/old-copy/$file" && pass || fail "ravlog cut $file"
    done
    [ -z "$(find "$old" -name '*.his.*')" ] && pass || fail "a temporary file of the cut is left"
fi

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
