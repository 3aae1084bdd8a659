#!/usr/bin/env bash
# ravlog over a large history: one report day picked out of a year of
# sessions. BUILD names the build directory (default: build); RECORDS the
# size of the big history (default 1000000), SMALL that of the small one
# (default 100000), REPEAT the number of runs per figure (default 10).
#
# For configurations of 50 and of 1,000 ADDR entries (each with a group
# and a wildcard), it prints the scan rate in records per second, from the
# processor time of the runs (user + system, averaged; it does not depend
# on what else the machine is doing) and from the best wall time:
#   - "report day": 15 January, about 2,700 sessions listed and matched;
#   - "empty day": a day without sessions, so that only the scan is left,
#     which must cost the same whatever the number of entries.
# Then the peak resident memory for the small and the big history, whose
# sessions are equally dense (the small one spans a tenth of the days), so
# the report day is alike: it must not grow with the history's size.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
records=${RECORDS:-1000000}
small=${SMALL:-100000}
repeat=${REPEAT:-10}
histgen=$build/tools/histgen
ravlog=$build/ravlog/ravlog
for tool in "$histgen" "$ravlog"; do
    [[ -x $tool ]] || { echo "missing $tool: build first (BUILD=$build)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/rvbench-ravlog.XXXXXX")
trap 'rm -rf "$work"' EXIT
export TZ=UTC
reportDay=-d15.1.2024
emptyDay=-d15.6.2030

# Best wall time in seconds of REPEAT runs of the command in the work directory.
best_wall() {
    local best="" start end t
    for ((i = 0; i < repeat; i++)); do
        start=$(date +%s%N)
        (cd "$work" && "$@" >/dev/null 2>&1) || true
        end=$(date +%s%N)
        t=$((end - start))
        if [[ -z $best || $t -lt $best ]]; then best=$t; fi
    done
    awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }'
}

# Processor time (user + system) in seconds of one run, averaged over
# REPEAT runs: the children's times that the shell's `times` reports.
cpu_time() {
    local line
    # `times` must run in the shell that waited for the runs, not in a pipe.
    line=$(
        cd "$work"
        for ((i = 0; i < repeat; i++)); do "$@" >/dev/null 2>&1 || true; done
        times
    )
    line=${line##*$'\n'}
    # "0m0.123s 0m0.004s": minutes and seconds of user and system time.
    awk -v line="$line" -v n="$repeat" 'BEGIN {
        split(line, f, " "); total = 0
        for (k = 1; k <= 2; k++) { split(f[k], p, "m"); sub("s", "", p[2]); total += p[1] * 60 + p[2] }
        printf "%.4f", total / n }'
}

# Peak resident set size in KiB of one run of the command.
peak_kib() {
    if [[ -x /usr/bin/time ]]; then
        (cd "$work" && /usr/bin/time -v "$@" 2>&1 >/dev/null) |
            awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'
    else
        python3 - "$work" "$@" <<'EOF'
import resource, subprocess, sys
subprocess.run(sys.argv[2:], cwd=sys.argv[1], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
EOF
    fi
}

# Millions of records per second.
rate() {
    awk -v n="$1" -v s="$2" 'BEGIN { if (s > 0) printf "%.1f", n / s / 1e6; else print "-" }'
}

# A configuration of n ADDR entries (bench/entries.sh) over the history.
# shellcheck source=bench/entries.sh
source "$root/bench/entries.sh"
write_config() {
    local n=$1 file=$2 history=$3
    { echo "[COMMON]"; ravlog_entries "$n"; printf '[LINE]\nHISTORY %s\n' "$history"; } >"$file"
}

smallDays=$(((small * 365 + records - 1) / records))
"$histgen" bulk --type 2 --records "$records" --out "$work/big.his" --span-days 365
"$histgen" bulk --type 2 --records "$small" --out "$work/small.his" --span-days "$smallDays"
: >"$work/empty.his"
for n in 50 1000; do
    write_config "$n" "$work/big$n.ctl" big.his
    write_config "$n" "$work/small$n.ctl" small.his
    write_config "$n" "$work/empty$n.ctl" empty.his
done

echo "== ravlog: one day out of $records sessions over 365 days (type 2, $((records * 28 / 1048576)) MiB)"
echo "   processor time averaged over $repeat runs, wall time the best of them"
printf '  %-36s %9s %9s %9s %9s\n' "" "cpu s" "Mrec/s" "wall s" "Mrec/s"
row() {
    local what=$1 cpu=$2 wall=$3
    printf '  %-36s %9.4f %9s %9.4f %9s\n' "$what" "$cpu" "$(rate "$records" "$cpu")" \
        "$wall" "$(rate "$records" "$wall")"
}
row "cat big.his" "$(cpu_time cat big.his)" "$(best_wall cat big.his)"
for n in 50 1000; do
    base=$(cpu_time "$ravlog" -cempty$n.ctl $reportDay)
    for day in "$reportDay" "$emptyDay"; do
        label=$([[ $day == "$reportDay" ]] && echo "report day" || echo "empty day")
        cpu=$(cpu_time "$ravlog" -cbig$n.ctl "$day")
        wall=$(best_wall "$ravlog" -cbig$n.ctl "$day")
        row "$n entries, $label" "$cpu" "$wall"
        net=$(awk -v a="$cpu" -v b="$base" 'BEGIN { printf "%.4f", (a > b ? a - b : 0) }')
        printf '  %-36s %9.4f %9s\n' "  less a run over an empty history" "$net" "$(rate "$records" "$net")"
    done
    (cd "$work" && "$ravlog" -cbig$n.ctl $reportDay >/dev/null 2>&1) || true
    echo "    sessions listed on the report day: $(grep -c '║  [0-9][0-9]:' "$work/ravlog.ses" || true)"
done

# The JSON report (-j) and the HTML report (-w) beside the text reports
# must each cost at most a tenth more: the report day with and without it,
# 50 entries, the two runs taken in turn REPEAT times so that a busy
# machine weighs on both alike; the medians of their wall and processor
# times. The HTML report also with the line's three busy charts drawn
# (-bTIO in both runs), which the configuration leaves off.
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.4f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
report_cost() {
    local name=$1 option=$2 file=$3 variant extra
    shift 3
    echo "== ravlog with and without its $name report ($option), report day $reportDay, 50 entries${*:+, $*}"
    echo "   runs taken in turn, medians of $repeat each"
    : >"$work/plain.times"
    : >"$work/with.times"
    TIMEFORMAT='%3R %3U %3S'
    for ((i = 0; i < repeat; i++)); do
        for variant in plain with; do
            extra=()
            if [[ $variant == with ]]; then extra=("$option$file"); fi
            { time (cd "$work" && "$ravlog" -cbig50.ctl $reportDay "$@" "${extra[@]}" >/dev/null 2>&1); } \
                2>>"$work/$variant.times"
        done
    done
    unset TIMEFORMAT
    local plainWall withWall plain with
    plainWall=$(awk '{ print $1 }' "$work/plain.times" | median)
    withWall=$(awk '{ print $1 }' "$work/with.times" | median)
    plain=$(awk '{ print $2 + $3 }' "$work/plain.times" | median)
    with=$(awk '{ print $2 + $3 }' "$work/with.times" | median)
    row "without $option" "$plain" "$plainWall"
    row "with $option$file" "$with" "$withWall"
    awk -v a="$with" -v b="$plain" -v c="$withWall" -v d="$plainWall" -v what="cost of the $name report" 'BEGIN {
        printf "  %-36s %8.1f %% cpu, %5.1f %% wall\n", what, (a / b - 1) * 100, (c / d - 1) * 100 }'
    echo "    $name report: $(wc -c <"$work/$file") bytes"
}
report_cost JSON -j day.json
report_cost HTML -w day.html
report_cost HTML -w day.html -bTIO

if [[ -e /usr/share/zoneinfo/Europe/Berlin ]]; then
    # A zone with daylight saving: each day's offset is learnt once.
    cpu=$(TZ=Europe/Berlin cpu_time "$ravlog" -cbig50.ctl "$emptyDay")
    wall=$(TZ=Europe/Berlin best_wall "$ravlog" -cbig50.ctl "$emptyDay")
    row "50 entries, empty day, Berlin" "$cpu" "$wall"
fi

echo "== peak resident memory, report day $reportDay (equal density: $small records over $smallDays days)"
for n in 50 1000; do
    printf '  %-36s %8s KiB\n' "$small records, $n entries" "$(peak_kib "$ravlog" -csmall$n.ctl $reportDay)"
    printf '  %-36s %8s KiB\n' "$records records, $n entries" "$(peak_kib "$ravlog" -cbig$n.ctl $reportDay)"
done
printf '  %-36s %8s KiB\n' "$records records, 50 entries, empty day" "$(peak_kib "$ravlog" -cbig50.ctl $emptyDay)"
for n in 50 1000; do
    printf '  %-36s %8s KiB\n' "$small records, $n entries, -j" "$(peak_kib "$ravlog" -csmall$n.ctl $reportDay -jday.json)"
    printf '  %-36s %8s KiB\n' "$records records, $n entries, -j" "$(peak_kib "$ravlog" -cbig$n.ctl $reportDay -jday.json)"
done
