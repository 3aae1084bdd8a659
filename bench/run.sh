#!/usr/bin/env bash
# The benchmarks behind `make bench`. BUILD names the build directory
# (default: build). Run a subset with `bench/run.sh SECTION...`.
#
# floor (by default): every program timed against the floor (bench/floor)
# on the same file in the same run, in ROUNDS interleaved rounds (default
# 9), so that the figures mean the same on any machine and hold up on a
# busy one. The histories are a node's: LINKS links (default 500), a few
# busy and most quiet;
#   - a year of YEAR sessions (default 1,000,000) over 2024: ravlog reports
#     15 January with 50 and with 1,000 ADDR entries, with TZ naming the
#     machine's zone and with TZ unset; brimsel dumps it all. Their floor
#     decodes every record; brimsel is also timed against a floor that
#     writes a row as long as its own for every record;
#   - a busy month of MONTH sessions (default 5,000,000), January 2024:
#     pondrel counts it all with 10 and with 1,000 entries. Its floor also
#     adds every record to per-address counters in a hash table.
# Times are processor times (user + system) of each run; the ratios are
# those of the minima and of the medians, the wall times are for reference.
# BASELINE names a second build directory (of the branch point, say) whose
# programs run in the same rounds, so that a change is measured against
# what it replaces under the same load.
#
# archive (also by default): the day archive on the same year, timed
# the same way; see section_archive.
#
# textlog (also by default): binkd's text log of a year of the same node;
# see section_textlog.
#
# brimsel, ravlog, pondrel: the older throughput figures (records per
# second beside `cat`, peak memory) over histories with an address per
# session; RECORDS and REPEAT change their size and number of runs.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
records=${RECORDS:-1000000}
repeat=${REPEAT:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/rvbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# shellcheck source=bench/entries.sh
source "$root/bench/entries.sh"

# ---- floor ------------------------------------------------------------------

# The program rows of one round from the build directory $1, their labels
# ending in $3: "label|floor label|TZ|command...", TZ "-" being unset.
# Each program is timed against the floor named beside it.
program_rows() {
    local dir=$1 zone=$2 tag=$3 n
    for n in 50 1000; do
        echo "ravlog, $n entries, TZ set$tag|floor: decode the year|$zone|$dir/ravlog/ravlog -cravlog$n.ctl -d15.1.2024"
        echo "ravlog, $n entries, TZ unset$tag|floor: decode the year|-|$dir/ravlog/ravlog -cravlog$n.ctl -d15.1.2024"
    done
    echo "brimsel, the year$tag|floor: decode the year|$zone|$dir/brimsel/brimsel -cbrimsel.ctl"
    echo "brimsel, the year, against rows$tag|floor: write the year's rows|$zone|$dir/brimsel/brimsel -cbrimsel.ctl"
    for n in 10 1000; do
        echo "pondrel, $n entries$tag|floor: count the month|$zone|$dir/pondrel/pondrel -cpondrel$n.ctl -b1.1.2024 -e31.1.2024"
    done
}

# The commands of one round: the floors, the programs, and those of the
# baseline build when there is one.
plan_commands() {
    local zone=$1 floor=$build/bench/floor
    echo "floor: decode the year|floor: decode the year|$zone|$floor decode year.his"
    echo "floor: count the month|floor: count the month|$zone|$floor count month.his"
    echo "floor: write the year's rows|floor: write the year's rows|$zone|$floor rows year.his"
    program_rows "$build" "$zone" ""
    if [[ -n $baseline ]]; then program_rows "$baseline" "$zone" " (baseline)"; fi
}

# Runs one planned command in the work directory through the timer:
# "cpu_us wall_us peak_kib status".
run_timed() {
    local zone=$1
    shift
    if [[ $zone == - ]]; then
        (cd "$work" && unset TZ && "$build/bench/timed" "$@")
    else
        (cd "$work" && TZ=$zone "$build/bench/timed" "$@")
    fi
}

# The table of timed rounds ("label|floor label|cpu wall peak status"
# lines in the file $1): processor time in ms, minimum and median, and as a
# multiple of the row's floor; wall time and peak memory for reference.
summarize_times() {
    awk -F'|' '
        function median(label,    n, i, j, v, t) {
            n = count[label]
            for (i = 1; i <= n; i++) v[i] = cpu[label, i]
            for (i = 2; i <= n; i++)
                for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
            return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
        }
        {
            split($3, f, " ")
            if (!($1 in count)) { order[++labels] = $1; floorOf[$1] = $2 }
            n = ++count[$1]
            cpu[$1, n] = f[1] / 1000
            if (n == 1 || f[1] / 1000 < least[$1]) least[$1] = f[1] / 1000
            if (n == 1 || f[2] / 1000 < wall[$1]) wall[$1] = f[2] / 1000
            if (f[3] > peak[$1]) peak[$1] = f[3]
        }
        END {
            printf "  %-40s %8s %8s %7s %7s %9s %9s\n", "", "cpu min", "median", "x min", "x med",
                "wall min", "peak KiB"
            for (k = 1; k <= labels; k++) {
                l = order[k]; b = floorOf[l]
                printf "  %-40s %8.1f %8.1f %7.2f %7.2f %9.1f %9d\n", l, least[l], median(l),
                    least[l] / least[b], median(l) / median(b), wall[l], peak[l]
            }
        }' "$1"
}

section_floor() {
    local rounds=${ROUNDS:-9} links=${LINKS:-500} year=${YEAR:-1000000} month=${MONTH:-5000000}
    local histgen=$build/tools/histgen zone
    local baseline=${BASELINE:-}
    case $baseline in /* | "") ;; *) baseline=$root/$baseline ;; esac
    local dirs=("$build") dir
    if [[ -n $baseline ]]; then dirs+=("$baseline"); fi
    for program in "$histgen" "$build/bench/floor" "$build/bench/timed"; do
        [[ -x $program ]] || { echo "missing $program (build first)" >&2; exit 1; }
    done
    for dir in "${dirs[@]}"; do
        for program in "$dir"/{ravlog/ravlog,pondrel/pondrel,brimsel/brimsel}; do
            [[ -x $program ]] || { echo "missing $program (build first)" >&2; exit 1; }
        done
    done
    # TZ set names the same zone that an unset TZ reads, so that the two
    # differ only in how the C library looks the zone up.
    zone=:/etc/localtime
    [[ -e /etc/localtime ]] || zone=UTC0

    "$histgen" bulk --type 2 --records "$year" --links "$links" --seed 7 \
        --start 2024-01-01 --span-days 366 --out "$work/year.his"
    "$histgen" bulk --type 2 --records "$month" --links "$links" --seed 8 \
        --start 2024-01-01 --span-days 31 --out "$work/month.his"
    for n in 50 1000; do
        { echo "[COMMON]"; ravlog_entries "$n"; printf '[LINE]\nHISTORY year.his\n'; } \
            >"$work/ravlog$n.ctl"
    done
    for n in 10 1000; do
        { echo "[COMMON]"; echo "Group Yes"; pondrel_entries "$n"; printf '[LINE]\nHistory month.his\n'; } \
            >"$work/pondrel$n.ctl"
    done
    printf '[LINE]\nHistory year.his\n' >"$work/brimsel.ctl"

    local -a plan
    mapfile -t plan < <(plan_commands "$zone")
    local entry label floorLabel tz command result
    # One run of each first: everything must succeed, and the files are
    # then in the page cache for every timed run alike.
    for entry in "${plan[@]}"; do
        IFS='|' read -r label floorLabel tz command <<<"$entry"
        read -r -a words <<<"$command"
        result=$(run_timed "$tz" "${words[@]}")
        if [[ ${result##* } != 0 ]]; then
            echo "failed ($label, exit status ${result##* }): $command" >&2
            echo "(too few sessions for its configuration? YEAR=$year MONTH=$month)" >&2
            exit 1
        fi
    done
    : >"$work/times"
    for ((round = 0; round < rounds; round++)); do
        for entry in "${plan[@]}"; do
            IFS='|' read -r label floorLabel tz command <<<"$entry"
            read -r -a words <<<"$command"
            echo "$label|$floorLabel|$(run_timed "$tz" "${words[@]}")" >>"$work/times"
        done
    done

    echo "== floor: each program against the floor on the same file, $rounds interleaved rounds"
    echo "   year: $year sessions of $links links over 2024; month: $month sessions in January 2024"
    echo "   (type 2 histories); TZ set is TZ=$zone, the zone an unset TZ reads"
    echo "   processor time (user + system) in ms, and as a multiple of the floor;"
    echo "   wall time for reference"
    summarize_times "$work/times"
}

# ---- archive ----------------------------------------------------------------

# The day archive (docs/archive.md) over the floor's year (LINKS links,
# YEAR sessions over 2024, 50 ADDR entries), in ROUNDS interleaved rounds:
#   - ravlog's daily run on 31 December with an archive that lacks only
#     that day, so that it records one new day, against the same run
#     without an archive (each round starts from a copy of that archive);
#   - pondrel over 2024 from the archive alone, the history cut to nothing,
#     against pondrel over the uncut year without an archive (the two
#     reports must be the same);
#   - the first recording of the whole year into a new archive, and the
#     archive's size.
section_archive() {
    local rounds=${ROUNDS:-9} links=${LINKS:-500} year=${YEAR:-1000000} zone=UTC0
    local ravlog=$build/ravlog/ravlog pondrel=$build/pondrel/pondrel histgen=$build/tools/histgen
    for program in "$ravlog" "$pondrel" "$histgen" "$build/bench/timed"; do
        [[ -x $program ]] || { echo "missing $program (build first)" >&2; exit 1; }
    done
    command -v sqlite3 >/dev/null || { echo "archive: needs the sqlite3 shell" >&2; exit 1; }
    [[ -e $work/year.his ]] || "$histgen" bulk --type 2 --records "$year" --links "$links" \
        --seed 7 --start 2024-01-01 --span-days 366 --out "$work/year.his"
    { echo "[COMMON]"; ravlog_entries 50; printf '[LINE]\nHISTORY year.his\n'; } >"$work/daily.ctl"
    { echo "[COMMON]"; echo "Group Yes"; pondrel_entries 10; printf '[LINE]\nHistory year.his\n'; } \
        >"$work/period.ctl"
    # The cut node: the same line, its history empty, its days archived.
    mkdir -p "$work/cut"
    : >"$work/cut/year.his"
    cp "$work/period.ctl" "$work/cut/period.ctl"

    local daily=("$ravlog" -cdaily.ctl -d31.12.2024) period=(-b1.1.2024 -e31.12.2024)
    local result round
    rm -f "$work/year.db"
    result=$(run_timed "$zone" "${daily[@]}" -ryear.db)
    [[ ${result##* } == 0 ]] || { echo "archive: the first recording failed" >&2; exit 1; }
    cp "$work/year.db" "$work/cut/year.db"
    # The archive of the year but its last day: the daily run's starting point.
    cp "$work/year.db" "$work/lacking.db"
    sqlite3 "$work/lacking.db" "DELETE FROM traffic WHERE day = '2024-12-31';
        DELETE FROM days WHERE day = '2024-12-31'; DELETE FROM day_sums WHERE day = '2024-12-31';
        VACUUM;"
    if ! diff <(cd "$work" && TZ=$zone "$pondrel" -cperiod.ctl "${period[@]}" 2>/dev/null | grep -v reat) \
        <(cd "$work/cut" && TZ=$zone "$pondrel" -cperiod.ctl -ryear.db "${period[@]}" 2>/dev/null | grep -v reat) \
        >/dev/null; then
        echo "archive: pondrel from the archive differs from the uncut year" >&2
        exit 1
    fi

    : >"$work/archive.times"
    for ((round = 0; round < rounds; round++)); do
        echo "ravlog, 31.12.2024|ravlog, 31.12.2024|$(run_timed "$zone" "${daily[@]}")"
        cp "$work/lacking.db" "$work/day.db"
        echo "ravlog, 31.12.2024, archive +1 day|ravlog, 31.12.2024|$(run_timed "$zone" "${daily[@]}" -rday.db)"
        echo "pondrel, 2024, uncut year|pondrel, 2024, uncut year|$(run_timed "$zone" "$pondrel" -cperiod.ctl "${period[@]}")"
        echo "pondrel, 2024, from the archive|pondrel, 2024, uncut year|$(cd "$work/cut" && TZ=$zone "$build/bench/timed" "$pondrel" -cperiod.ctl -ryear.db "${period[@]}")"
        if ((round < 3)); then
            rm -f "$work/first.db"
            echo "ravlog, recording the year|ravlog, 31.12.2024|$(run_timed "$zone" "${daily[@]}" -rfirst.db)"
        fi
    done >>"$work/archive.times"

    echo "== archive: the day archive over the year of $year sessions of $links links (2024),"
    echo "   $rounds interleaved rounds (the first recording in three at most); processor time (user + system)"
    echo "   in ms, and as a multiple of the run without an archive; wall time for reference"
    summarize_times "$work/archive.times"
    awk -v bytes="$(wc -c <"$work/year.db")" -v days="$(sqlite3 "$work/year.db" 'SELECT count(DISTINCT day) FROM days')" \
        'BEGIN { printf "  archive of the year: %.1f MiB for %d days, %.1f KiB a day\n", bytes / 1048576, days, bytes / 1024 / days }'
}

# ---- textlog -----------------------------------------------------------------

# Times a command in the text log's directory with its standard output in
# a file: GNU grep, writing to /dev/null (as timed gives it), stops at the
# first match of each file.
textlog_timed() {
    (cd "$work/textlog" && "$build/bench/timed" sh -c 'exec "$@" >"$0"' "$work/textlog.out" "$@")
}

# binkd's text log (loglevel 4) of a year of the floor's node: TEXTYEAR
# sessions (default 100,000: a tenth of YEAR, for at loglevel 4 a session
# is some 30 lines and 2 KB, so that a million would be 2 GB) of LINKS
# links over 2024, rotated weekly with every copy kept and none gzipped,
# so that grep and binkdlogstat read the same bytes as the programs. In
# ROUNDS interleaved rounds (binkdlogstat, a Perl script, in three at
# most), each as a multiple of `grep -c -F 'done ('` over the same files,
# oldest first as binkdlogstat needs them.
section_textlog() {
    local rounds=${ROUNDS:-9} links=${LINKS:-500} sessions=${TEXTYEAR:-100000}
    local histgen=$build/tools/histgen round
    for program in "$histgen" "$build/bench/timed"; do
        [[ -x $program ]] || { echo "missing $program (build first)" >&2; exit 1; }
    done
    mkdir -p "$work/textlog"
    local began=$(date +%s%N)
    "$histgen" bulk --type log --records "$sessions" --links "$links" --seed 7 \
        --start 2024-01-01 --span-days 366 --rotate 53 --rotate-form numbered \
        --out "$work/textlog/binkd"
    local made=$(($(date +%s%N) - began))
    local -a files
    mapfile -t files < <(cd "$work/textlog" && ls binkd* | sort -t. -k2,2nr)
    printf '[COMMON]\nOutput r.out\nPondrel r.lnk\nSessionStat r.ses\nAddr 2:*\nAddr #:#/#.#\n[LINE]\nName binkd\nHistory binkd,1,1\n' \
        >"$work/textlog/ravlog.ctl"
    local stat=""
    if [[ -x /usr/sbin/binkdlogstat ]]; then stat=/usr/sbin/binkdlogstat
    elif command -v binkdlogstat >/dev/null; then stat=$(command -v binkdlogstat); fi

    : >"$work/textlog.times"
    for ((round = 0; round < rounds; round++)); do
        echo "grep -c -F 'done ('|grep -c -F 'done ('|$(textlog_timed grep -c -F 'done (' "${files[@]}")"
        if [[ -n $stat ]] && ((round < 3)); then
            echo "binkdlogstat|grep -c -F 'done ('|$(textlog_timed "$stat" "${files[@]}")"
        fi
        # The programs over the same files, the line naming the live log:
        # the daily run on 31 December, pondrel over 2024.
        echo "ravlog, 31.12.2024|grep -c -F 'done ('|$(textlog_timed "$build/ravlog/ravlog" -cravlog.ctl -d31.12.2024)"
        echo "pondrel, 2024|grep -c -F 'done ('|$(textlog_timed "$build/pondrel/pondrel" -cravlog.ctl -b1.1.2024 -e31.12.2024)"
    done >>"$work/textlog.times"

    echo "== textlog: binkd's text log (loglevel 4) of $sessions sessions of $links links over 2024,"
    echo "   rotated weekly into ${#files[@]} plain files, $rounds interleaved rounds (binkdlogstat in three at most)"
    awk -v bytes="$(cat "$work"/textlog/binkd* | wc -c)" -v lines="$(cat "$work"/textlog/binkd* | wc -l)" -v ns="$made" \
        'BEGIN { printf "   %.1f MiB, %d lines, written by histgen in %.2f s (wall)\n", bytes / 1048576, lines, ns / 1e9 }'
    [[ -n $stat ]] || echo "   (binkdlogstat not installed: not timed)"
    echo "   processor time (user + system) in ms, and as a multiple of grep; wall time for reference"
    summarize_times "$work/textlog.times"
}

# ---- throughput (older figures) ---------------------------------------------

# Best wall time in seconds of running the command REPEAT times in the
# work directory with its output thrown away.
best_time() {
    local best="" start end t
    for ((i = 0; i < repeat; i++)); do
        start=$(date +%s%N)
        (cd "$work" && "$@" >/dev/null 2>&1)
        end=$(date +%s%N)
        t=$((end - start))
        if [[ -z $best || $t -lt $best ]]; then best=$t; fi
    done
    awk -v ns="$best" 'BEGIN { printf "%.3f", ns / 1e9 }'
}

# The least processor time (user and system) in seconds of REPEAT runs:
# on a shared machine it is steadier than the wall time.
best_cpu() {
    local best="" cpu
    local TIMEFORMAT='%3U %3S'
    for ((i = 0; i < repeat; i++)); do
        cpu=$({ time (cd "$work" && "$@" >/dev/null 2>&1); } 2>&1 |
            awk '{ printf "%d", ($1 + $2) * 1e9 }')
        if [[ -z $best || $cpu -lt $best ]]; then best=$cpu; fi
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
    # In a code page every byte goes through iconv once more, in blocks.
    report "brimsel -u866 (CP866)" "$(best_time "$build/brimsel/brimsel" -u866)" "$records"
    report "brimsel (UTF-8, cpu)" "$(best_cpu "$build/brimsel/brimsel")" "$records"
    report "brimsel -u866 (CP866, cpu)" "$(best_cpu "$build/brimsel/brimsel" -u866)" "$records"
    # A search is tested on the raw record: one that shows about 1 % of
    # the rows (four days of the year that histgen spreads the records
    # over) runs at least at 20 million records a second; one net of the
    # addresses shows 2.5 %.
    report "brimsel -b5.3.2024 -e8.3.2024" \
        "$(best_time "$build/brimsel/brimsel" -b5.3.2024 -e8.3.2024)" "$records"
    report "brimsel -a2:5020/*" "$(best_time "$build/brimsel/brimsel" "-a2:5020/*")" "$records"
    # The data forms must keep up with the text: at least 3 million records
    # a second for JSON Lines. Processor time beside wall time.
    for format in json csv; do
        report "brimsel -f$format" "$(best_time "$build/brimsel/brimsel" -f$format)" "$records"
        report "brimsel -f$format (cpu)" "$(best_cpu "$build/brimsel/brimsel" -f$format)" "$records"
    done
}

# ravlog and pondrel have scripts of their own, with their own sizes.
section_ravlog() { BUILD=$build "$root/bench/ravlog.sh"; }
section_pondrel() { BUILD=$build "$root/bench/pondrel.sh"; }

sections=("$@")
if [[ ${#sections[@]} -eq 0 ]]; then sections=(floor archive textlog); fi
for s in "${sections[@]}"; do
    "section_$s"
done
