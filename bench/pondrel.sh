#!/usr/bin/env bash
# pondrel over a long, busy history: RECORDS sessions (default 5,000,000)
# of one type 2 line, every one of them inside the period, counted once
# into a configuration of 1,000 ADDR entries (groups, wildcards, exclusions
# and single nodes) and once into one of 10. BUILD names the build
# directory (default: build); REPEAT the number of runs, the best counting.
# Prints the best wall and processor times with records per second; the
# report itself goes to /dev/null.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
records=${RECORDS:-5000000}
repeat=${REPEAT:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/rvbench-pondrel.XXXXXX")
trap 'rm -rf "$work"' EXIT

pondrel=$build/pondrel/pondrel
histgen=$build/tools/histgen
for program in "$pondrel" "$histgen"; do
    [[ -x $program ]] || { echo "missing $program (build first)" >&2; exit 1; }
done

# The best of REPEAT runs of the command in the work directory, its report
# and banner thrown away: "WALL CPU" in seconds, the least wall time and the
# least processor time (user and system) of the runs. On a shared machine
# the processor time is the steadier of the two.
best_time() {
    local best_wall="" best_cpu="" start end wall cpu
    local TIMEFORMAT='%3U %3S'
    for ((i = 0; i < repeat; i++)); do
        start=$(date +%s%N)
        cpu=$({ time (cd "$work" && TZ=UTC "$@" >/dev/null 2>&1); } 2>&1 |
            awk '{ printf "%d", ($1 + $2) * 1e9 }')
        end=$(date +%s%N)
        wall=$((end - start))
        if [[ -z $best_wall || $wall -lt $best_wall ]]; then best_wall=$wall; fi
        if [[ -z $best_cpu || $cpu -lt $best_cpu ]]; then best_cpu=$cpu; fi
    done
    awk -v w="$best_wall" -v c="$best_cpu" 'BEGIN { printf "%.3f %.3f", w / 1e9, c / 1e9 }'
}

report() {
    local what=$1 count=$3 wall cpu
    read -r wall cpu <<<"$2"
    awk -v w="$what" -v s="$wall" -v c="$cpu" -v n="$count" 'BEGIN {
        printf "  %-28s %7.3f s wall %11.0f records/s   %7.3f s cpu %11.0f records/s\n",
            w, s, (s > 0 ? n / s : 0), c, (c > 0 ? n / c : 0) }'
}

# The bulk history: nets 2:5020..5059, nodes 0..2999, a fifth of the
# sessions from points, spread over 2024.
"$histgen" bulk --type 2 --records "$records" --out "$work/bulk.his" --start 2024-01-01 \
    --span-days 365 --seed 7

# The entries of bench/entries.sh: 1,000, and 10.
# shellcheck source=bench/entries.sh
source "$root/bench/entries.sh"
{ echo "[COMMON]"; echo "Group Yes"; pondrel_entries 1000; printf '[LINE]\nHistory bulk.his\n'; } \
    >"$work/ravlog.ctl"
{ echo "[COMMON]"; echo "Group Yes"; pondrel_entries 10; printf '[LINE]\nHistory bulk.his\n'; } \
    >"$work/ten.ctl"

period=(-b1.1.2024 -e31.12.2024)
for config in ravlog.ctl ten.ctl; do
    if ! (cd "$work" && TZ=UTC "$pondrel" -c"$config" "${period[@]}" >/dev/null 2>&1); then
        echo "pondrel failed on $config" >&2
        exit 1
    fi
done
echo "== pondrel: $records records of one line, all in the period (best of $repeat)"
report "cat bulk.his" "$(best_time cat bulk.his)" "$records"
report "pondrel, 1,000 entries" "$(best_time "$pondrel" "${period[@]}")" "$records"
report "pondrel -u-, 1,000 entries" "$(best_time "$pondrel" -u- "${period[@]}")" "$records"
report "pondrel, 10 entries" "$(best_time "$pondrel" -cten.ctl "${period[@]}")" "$records"
