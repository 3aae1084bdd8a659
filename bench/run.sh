#!/usr/bin/env bash
# The benchmarks behind `make bench`. BUILD names the build directory
# (default: build). Each section generates its input with histgen, times
# the program beside `cat` of the same file (the cost of merely reading
# it) and prints records per second. Run a subset with
# `bench/run.sh SECTION...`; RECORDS and REPEAT change the size and the
# number of runs (the best run counts).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
records=${RECORDS:-1000000}
repeat=${REPEAT:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/rvbench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Best wall time in seconds of running the command REPEAT times in the
# work directory with its output thrown away.
best_time() {
    local best="" start end t
    for ((i = 0; i < repeat; i++)); do
        start=$(date +%s%N)
        (cd "$work" && "$@" >/dev/null)
        end=$(date +%s%N)
        t=$((end - start))
        if [[ -z $best || $t -lt $best ]]; then best=$t; fi
    done
    awk -v ns="$best" 'BEGIN { printf "%.3f", ns / 1e9 }'
}

# One result line: what ran, its time, and records per second.
report() {
    local what=$1 seconds=$2 count=$3
    awk -v w="$what" -v s="$seconds" -v n="$count" \
        'BEGIN { printf "  %-28s %8.3f s  %14.0f records/s\n", w, s, (s > 0 ? n / s : 0) }'
}

section_brimsel() {
    echo "== brimsel: dump of a $records-record type 2 history (best of $repeat)"
    "$build/tools/histgen" bulk --type 2 --records "$records" --out "$work/bulk.his"
    printf '[LINE]\nHistory bulk.his\n' >"$work/ravlog.ctl"
    report "cat bulk.his" "$(best_time cat bulk.his)" "$records"
    report "brimsel (UTF-8)" "$(best_time "$build/brimsel/brimsel")" "$records"
    report "brimsel -u- (ASCII)" "$(best_time "$build/brimsel/brimsel" -u-)" "$records"
}

# ravlog and pondrel have scripts of their own, with their own sizes.
section_ravlog() { BUILD=$build "$root/bench/ravlog.sh"; }
section_pondrel() { BUILD=$build "$root/bench/pondrel.sh"; }

sections=("$@")
if [[ ${#sections[@]} -eq 0 ]]; then sections=(brimsel ravlog pondrel); fi
for s in "${sections[@]}"; do
    "section_$s"
done
