#!/usr/bin/env bash
# Writes the seed inputs of every fuzz target into tests/fuzz/corpus/, from
# histgen's seeded node histories, record lists of edge cases, and
# hand-written configurations, values and command lines. Seeds are named
# seed-*; inputs that once found a fault (found-*) are kept as they are.
#   tests/fuzz/make_corpus.sh [BUILD_DIR]     (default: build)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../../build}"
histgen="$build/tools/histgen"
corpus="$here/corpus"
[ -x "$histgen" ] || { echo "no histgen in $build (build it first)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

byte() { printf "\\x$(printf %02x "$1")"; }

# pack CONTROL FIRST [TWIN]: the layout of the history and run targets.
pack() {
    local size
    size=$(stat -c %s "$2")
    byte "$1"
    byte $((size & 255))
    byte $((size >> 8))
    cat "$2"
    if [ $# -ge 3 ]; then cat "$3"; fi
}

# text SELECTOR: a selector byte, then standard input.
text() {
    byte "$1"
    cat
}

for dir in "$corpus"/*/; do rm -f "$dir"seed-*; done

mkdir -p "$work/node"
"$histgen" node --dir "$work/node" --days 1 --seed 7 --end 2024-03-05 >/dev/null

cat >"$work/edge.lst" <<'EOF'
# A stored duration of 0, a day long and a second more, zone 0, negative
# address parts, a point, the first second of 1970, the last of 2038.
2:5020/100.0 2024-03-05T10:15:00 dur=0 rcvd=1000 sent=2048 flags=0x0d
2:5020/9999 2024-03-05T23:59:59 dur=86400 rcvd=0 sent=0 flags=0x03
1:3634/12.5 2024-03-05T00:00:00 dur=86401 rcvd=4294967295 sent=1 flags=0x06
0:0/0 2024-03-05T12:00:00 dur=5
-1:5020/1 2024-03-05T12:00:00 dur=5
2:-5/1.-1 2024-03-04T22:00:00 dur=7200 flags=0x01
3:1/1 1970-01-01T00:00:00 dur=60 flags=0x05
2:5020/77 2038-01-19T03:14:07 dur=60 flags=0x0f
EOF
{
    cat "$work/edge.lst"
    printf '%s\n' "ANSWER 2024-03-05T10:00:00 dur=30" "BBS 2024-03-05T10:01:00 dur=0" \
        "DIAL 2024-03-05T10:02:00 dur=3" "TERMINAL 2024-03-05T10:03:00 dur=4" \
        "EXTERNAL 2024-03-05T10:04:00 dur=86401" "SKIP 254 2024-03-05T10:05:00" \
        "SKIP 7 2024-03-05T10:06:00" "SKIP 200 2024-03-05T10:07:00"
} >"$work/edge4.lst"
{
    printf '%s\n' "SKIP 5 2024-03-05T09:00:00"
    head -n 6 "$work/edge.lst" | sed '3s/$/ kind=9/'
} >"$work/edge7.lst"
{
    printf '%s\n' "DUMMY 2024-03-05T00:00:00"
    sed 's/flags=0x0d/status=1/; s/flags=0x03/status=2/' "$work/edge.lst"
} >"$work/edge8.lst"

names=(x long100.his plain28.his binkd.his brake.his pair116.ohs status64.his wide316.his
    dated104.ohs)
twins=(x - - - - pair116.ihs - - dated104.ihs)
lists=(x edge edge edge edge4 edge edge edge7 edge8)
for t in 1 2 3 4 5 6 7 8; do
    out="$corpus/history$t"
    mkdir -p "$out"
    node="$work/node/${names[$t]}"
    head -c 1400 "$node" >"$work/first"
    "$histgen" write --type "$t" --out "$work/edge.his" "$work/${lists[$t]}.lst" 2>/dev/null
    if [ "${twins[$t]}" != - ]; then
        head -c 1400 "$work/node/${twins[$t]}" >"$work/twin"
        pack 0 "$work/first" "$work/twin" >"$out/seed-node"
        pack $((0x45)) "$work/edge.his" "$work/first" >"$out/seed-edge"
    else
        pack 0 "$work/first" >"$out/seed-node"
        pack $((0x45)) "$work/edge.his" >"$out/seed-edge"
    fi
    pack $((0xba)) "$work/edge.his" >"$out/seed-edge-controls"
done

# ---- whole runs: ravlog (even control) and pondrel (odd) over the node
mkdir -p "$corpus/run"
cat "$work/node/binkd.his" "$work/node/plain28.his" >"$work/mixed"
pack 0 "$work/node/binkd.his" "$work/node/pair116.ihs" >"$corpus/run/seed-ravlog"
pack $((0xe2)) "$work/mixed" >"$corpus/run/seed-ravlog-options"
pack 1 "$work/node/binkd.his" "$work/node/pair116.ihs" >"$corpus/run/seed-pondrel"
pack $((0x3f)) "$work/edge.his" "$work/node/plain28.his" >"$corpus/run/seed-pondrel-options"

# ---- configurations: 0 ravlog, 1 pondrel, 2 brimsel (higher bits: fixed settings)
mkdir -p "$corpus/config"
grep -v '^;' "$here/../../examples/demo.ctl" | grep -v '^$' >"$work/demo.ctl"
text 0 <"$work/demo.ctl" >"$corpus/config/seed-ravlog-demo"
text 1 <"$work/demo.ctl" >"$corpus/config/seed-pondrel-demo"
text 2 <"$work/demo.ctl" >"$corpus/config/seed-brimsel-demo"
text $((3 * 63)) <<'EOF' >"$corpus/config/seed-ravlog-every-keyword"
[COMMON]
TimeShift AUTO
Output +out%Y%M%D.txt
Pondrel lnk.txt
SessionStat ses.txt ; comment
Date -1.0.2024
Time 22:30-6
MiddLine yes
KeepAll Yes
Group yesterday
NoDrawZero no
ProtectSummary YES
ShowValue CPS
SupportNewFormat no
BusyHist TIOPUX$
BrakeSesStat ADTBEq
CutHistory 30
AdvancedCPS Yes
SwapInOut No
BinkDAborted Out
Addr ANSWER
Addr !1:*/*
Addr 2:5020/#.# "Ünïcode name"
Addr *:#/* "Group"
[LINE]
History a.his,0,3
Name "Line"
TimeShift -5
BusyHist No
[LINE]
History x.IHS
[COMMON]
Addr 2:5020/1.2
EOF
# Names, labels and paths with every kind of byte the data reports must
# write validly: controls, broken and cut UTF-8, quotes and backslashes.
printf '[COMMON]\nJsonReport x%%Y.json\nAddr 2:5020/# "\001\377,\042\n[LINE]\nHistory we"ird\\p.his\nName "tab\there\r \377\376 \355\240\200 \360\237\230 back\\slash"\n[LINE]\nHistory b.his\nName "open, \342\202\n' |
    text 0 >"$corpus/config/seed-hostile-names"
# Markup in them, which the HTML report must show as text.
printf '[COMMON]\nHtmlReport x.html\nAddr 2:5020/1 "<script>&amp;\302\205"\n[LINE]\nHistory <b>&x.his\nName "</td></table>\047\042"\n' |
    text 0 >"$corpus/config/seed-markup-names"
# The same in a report in CP866: every character and broken piece one byte.
printf '[COMMON]\nCharset 866\nAddr 2:5020/# "Москва \342\202\254\377 \355\240\200"\n[LINE]\nHistory b.his\nName "Линия \360\237\230\200 \342\224\n' |
    text 0 >"$corpus/config/seed-code-page-names"
# Tag characters, which the C library's converter passes over, in a label and a name.
printf '[COMMON]\nAddr 2:5020/1 "Tag\363\240\200\201ged \300\257"\n[LINE]\nHistory a.his\nName "N\363\240\201\277me"\n' |
    text 1 >"$corpus/config/seed-tag-characters"
printf '[LINE]\r\nHistory a.his\r\n' | text 0 >"$corpus/config/seed-crlf"
printf '[LINE]\nHistory a.his\0,0,0\nHist\0ory b\n' | text 1 >"$corpus/config/seed-nul"
printf '[LINE]\nHistory a.his,0,0\n' | text 0 >"$corpus/config/seed-binkd-zero"
printf '[LINE]\nHistory a.his\nHistory b.his\n[LINE]\n' | text 2 >"$corpus/config/seed-history-twice"

# ---- values: low 3 bits pick the reader, bits 3-5 the clock
mkdir -p "$corpus/values"
value() { printf '%s' "$3" | text $(($1 | ($2 << 3))) >"$corpus/values/seed-$4"; }
value 0 0 "5.3.2024" date
value 0 1 "-31.-1" date-back
value 0 3 "30.2" date-adjusted
value 0 4 "0.13.99999999999" date-range
value 1 2 "1.1.1970" begin
value 2 6 "31.12.2037" end
value 3 0 "22:30-6" window-night
value 3 1 " 9 : 15 : 30 - 9:45:00" window-blanks
value 3 2 "23-0" window-midnight
value 3 0 "7-25" window-bad
value 4 3 "ses%d%M%N%W%Y%%%x%" macros
value 5 0 "binkd.his,1,0" history-binkd
value 5 0 "a.his,1;comment,2" history-comment
value 5 0 "in.IhS" history-pair
value 6 0 "+report.txt,x" filename
value 7 0 '!2:5020/#.* "Name"' addr
value $((7 | 0x40)) 0 '2:5020/1 "€€€€€€€€€€€€€€€€€€"' addr-label
value $((7 | 0x80)) 0 "answer" addr-kind

# ---- command lines: 0 ravlog, 1 pondrel, 2 brimsel; arguments split at NUL
mkdir -p "$corpus/options"
args() { local sel=$1 name=$2; shift 2; printf '%s\0' "$@" | text "$sel" >"$corpus/options/seed-$name"; }
args 0 ravlog -cfile.ctl -o+out.txt -lx -e+s -ha.his,1,1 -hb.ohs -d5.3 -t9-17 -b+ -g -k+ -n- -p -mg -sc
args 0 ravlog-bad -bTIOQ -mx
args 0 ravlog-help /?
args 1 pondrel -cp.ctl -b1.1.2024 -e-1 -d7 -g- -k -u- -ox.txt -h,bad
args 1 pondrel-help --HELP
args 2 brimsel -ca.ctl -hx.his,1 -u- -hy.ihs
args 2 brimsel-bad -x plain

# ---- whole runs over histgen's node with a fuzzed configuration (0 ravlog, 1 pondrel)
mkdir -p "$corpus/reports"
{ echo "[COMMON]"; echo "Date -1"; grep -v '^\[COMMON\]' "$work/demo.ctl"; } >"$work/demo-date.ctl"
text 0 <"$work/demo-date.ctl" >"$corpus/reports/seed-ravlog-demo"
text 1 <"$work/demo-date.ctl" >"$corpus/reports/seed-pondrel-demo"
text 0 <<'EOF2' >"$corpus/reports/seed-ravlog-settings"
[COMMON]
Date 5.3.2024
Time 22:30-6
BusyHist TIOPU$
Group Yes
KeepAll Yes
NoDrawZero Yes
ProtectSummary Yes
MiddLine Yes
ShowValue Time
AdvancedCPS Yes
SwapInOut Yes
Addr 2:5020/# "Ünïcödé wïdé 字字字"
Addr *:*/*.#
Addr DIAL
Addr TERMINAL
Addr EXTERNAL
[LINE]
History brake.his
Name "The Brake! — line with a long name"
TimeShift -3
[LINE]
History dated104.ihs
TimeShift AUTO
BusyHist I
EOF2

# ---- archives: a control byte (bit 0: 0 pondrel, 1 ravlog), then the
# database, recorded by ravlog from the archive target's two histories and
# made small (512-byte pages), then spoilt in the ways an archive can be
ravlog="$build/ravlog/ravlog"
if [ -x "$ravlog" ] && command -v sqlite3 >/dev/null; then
    mkdir -p "$corpus/archive" "$work/archive"
    cd "$work/archive"
    printf '%s\n' "2:5020/100.0 2024-03-05T10:15:00 dur=0 rcvd=1000 sent=2048 flags=0x0d" \
        "2:5020/9999 2024-03-05T23:59:59 dur=86400 flags=0x03" \
        "1:3634/12.5 2024-03-05T00:00:00 dur=600 rcvd=4294967295 sent=1 flags=0x06" \
        "2:5020/7 2024-03-04T22:00:00 dur=7200 flags=0x01" >a.lst
    printf '%s\n' "ANSWER 2024-03-05T10:00:00 dur=30" "BBS 2024-03-05T10:01:00 dur=0" \
        "2:5020/100 2024-03-04T10:02:00 dur=3 rcvd=5 flags=0x05" >b.lst
    "$histgen" write --type 3 --out a.his a.lst
    "$histgen" write --type 4 --out b.his b.lst
    printf '[COMMON]\nGroup Yes\nBrakeSesStat ABDTE\nAddr 2:5020/#\nAddr *:*/*.*\nAddr ANSWER\n[LINE]\nHistory a.his,2,1\n[LINE]\nHistory b.his\n' >fuzz.ctl
    TZ='CET-1CEST,M3.5.0,M10.5.0/3' "$ravlog" -cfuzz.ctl -rgood.db -d5.3.2024 >/dev/null 2>&1 || true
    sqlite3 good.db "PRAGMA journal_mode=DELETE; PRAGMA page_size=512; VACUUM;" >/dev/null
    archive() {
        local control=$1 name=$2 sql=$3
        cp good.db spoilt.db
        [ -z "$sql" ] || sqlite3 spoilt.db "$sql" >/dev/null
        { byte "$control"; cat spoilt.db; } >"$corpus/archive/seed-$name"
    }
    archive 0 good ""
    archive 3 good-ravlog ""
    archive 1 version1 "DROP TABLE day_sums; PRAGMA user_version=1; VACUUM;"
    archive 0 rows "DELETE FROM day_sums; VACUUM;"
    archive 0 view "DROP TABLE days; CREATE VIEW days(line, day, records, first_time, last_time, recorded_at) AS WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) SELECT 1, '2024-03-05', 1, 0, 0, n FROM r;"
    archive 1 trigger "CREATE TRIGGER grow AFTER INSERT ON days BEGIN INSERT INTO traffic SELECT * FROM traffic; END;"
    archive 2 values "UPDATE days SET first_time = 9223372036854720000 WHERE day = '2024-03-05'; UPDATE traffic SET kind = 8192, bytes_sent = 4611686018427387904; DELETE FROM day_sums WHERE day = '2024-03-04';"
    cd "$here"
fi
