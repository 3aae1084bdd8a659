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

# 1,000 entries: ten nets broken down per node (each group spawns an entry
# for every node it meets), five excluded nodes, three whole nets and two
# zone-wide wildcards, and 980 single nodes spread over the other nets.
{
    echo "[COMMON]"
    echo "Group Yes"
    for net in 5020 5021 5022 5023 5024 5025 5026 5027 5028 5029; do echo "Addr 2:$net/#"; done
    for node in 1 2 3 4 5; do echo "Addr !2:5030/$node"; done
    for net in 5030 5031 5032; do echo "Addr 2:$net/*"; done
    for ((i = 0; i < 980; i++)); do echo "Addr 2:$((5033 + i % 25))/$((i * 3 % 3000))"; done
    echo "Addr 2:*"
    echo "Addr 1:*"
    echo "[LINE]"
    echo "History bulk.his"
} >"$work/ravlog.ctl"

# 10 entries: a group, a wildcard net, an exclusion and single nodes.
{
    echo "[COMMON]"
    echo "Group Yes"
    echo "Addr 2:5020/#"
    echo "Addr !2:5021/7"
    echo "Addr 2:5021/*"
    for node in 10 20 30 40 50 60; do echo "Addr 2:5030/$node"; done
    echo "Addr 2:*"
    echo "[LINE]"
    echo "History bulk.his"
} >"$work/ten.ctl"

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
