#!/usr/bin/env bash
# pondrel over a long, busy history: RECORDS sessions (default 5,000,000)
# of one type 2 line, every one of them inside the period, counted once
# into a configuration of 1,000 ADDR entries (groups, wildcards, exclusions
# and single nodes) and once into one of 10. BUILD names the build
# directory (default: build); REPEAT the number of runs, the best counting.
# Prints the time of each run and records per second; the report itself
# goes to /dev/null.
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

# Best wall time in seconds of REPEAT runs of the command in the work
# directory, its report and banner thrown away.
best_time() {
    local best="" start end t
    for ((i = 0; i < repeat; i++)); do
        start=$(date +%s%N)
        (cd "$work" && TZ=UTC "$@" >/dev/null 2>&1)
        end=$(date +%s%N)
        t=$((end - start))
        if [[ -z $best || $t -lt $best ]]; then best=$t; fi
    done
    awk -v ns="$best" 'BEGIN { printf "%.3f", ns / 1e9 }'
}

report() {
    local what=$1 seconds=$2 count=$3
    awk -v w="$what" -v s="$seconds" -v n="$count" \
        'BEGIN { printf "  %-36s %8.3f s  %14.0f records/s\n", w, s, (s > 0 ? n / s : 0) }'
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
