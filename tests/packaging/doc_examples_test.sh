#!/usr/bin/env bash
# Every example of the manual pages and of the guide runs as written, so
# that none of them can drift from the programs again:
#   - the command examples of the manual pages (their .EX blocks), crontab
#     lines included;
#   - the guide's walk-through (its ```sh block), every command it quotes
#     in the text, and its crontab lines (```crontab blocks);
#   - the configuration examples (ravlog.ctl(5)'s .EX block that is a
#     configuration, the guide's ```ini settings) with each program;
#   - the guide's Debian binkd node (its ```ini debian and ```crontab
#     debian blocks, apart from the nightly settings) over a rotated text
#     log and a day archive;
#   - docs/binkd.md's week beside binkdlogstat (its ```sh blocks), with
#     the outputs it shows and the figures it says agree.
# Each must end with status 0 and write nothing on standard error but a
# banner (pondrel's, and brimsel's when it dumps data). The examples name
# /etc/fido, /var/spool/fido and /tmp (the Debian node also /var/log/binkd
# and /var/lib/ravlog): here those lie under a scratch root, which holds a node's histories of the last week (today included),
# the example configuration beside them, and /etc/fido/ravlog.ctl made of
# the example configuration and the guide's nightly settings. `less` is
# `cat` here.
#   doc_examples_test.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TZ=UTC LC_ALL=C
failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { passes=$((passes + 1)); }

root=$work/root
spool=$root/var/spool/fido
mkdir -p "$root/etc/fido" "$spool/stat" "$root/tmp" "$work/bin" "$work/examples"
"$build/tools/histgen" node --dir "$spool" --days 8 --seed 7 --end "$(date +%F)" >/dev/null
cp "$spool/plain28.his" "$spool/modem.his"  # the modem line of ravlog.ctl(5)
cp "$src/examples/ravlog.ctl" "$spool/ravlog.ctl"
printf '#!/bin/sh\nexec cat "$@"\n' >"$work/bin/less"
chmod +x "$work/bin/less"
programs=$work/bin:$build/ravlog:$build/pondrel:$build/brimsel:/usr/bin:/bin

# The paths the examples name, moved under the scratch root.
rooted() {
    sed -e "s#/tmp/#$root/tmp/#g" -e "s#/etc/fido#$root/etc/fido#g" \
        -e "s#/var/spool/fido#$root/var/spool/fido#g" \
        -e "s#/var/log/binkd#$root/var/log/binkd#g" -e "s#/var/lib/ravlog#$root/var/lib/ravlog#g"
}

# fenced INFO FILE: the lines of every ``` block of FILE whose info string
# is INFO exactly (```sh, ```ini debian).
fenced() {
    awk -v open='```'"$1" '$0 == open { on = 1; next } on && /^```$/ { on = 0 } on' "$2"
}

# A crontab line as cron runs it: the five time fields dropped and \% read
# as %. An unescaped % would end the command there: such a line fails.
cron_command() {
    local line=$1
    local command
    command=$(printf '%s\n' "$line" | sed -E 's/^([^ ]+ +){5}//')
    if printf '%s\n' "$command" | grep -q '\(^\|[^\\]\)%'; then
        echo "echo 'a % of this crontab line is not escaped' >&2; exit 1"
    fi
    printf '%s\n' "$command" | sed 's/\\%/%/g'
}

is_cron_line() { printf '%s\n' "$1" | grep -Eq '^([0-9*/,-]+ +){5}[^ ]'; }

# run NAME DIR SCRIPT: runs the script with sh -e in DIR.
run() {
    local name=$1 dir=$2 script=$3
    (cd "$dir" && env -i PATH="$programs" HOME="$work" TZ=UTC LC_ALL=C \
        sh -e "$script" </dev/null >"$work/out" 2>"$work/err")
    local status=$?
    local messages
    messages=$(grep -v -e '^Pondrel ' -e '^Brimsel ' -e '^FhMail, ' -e '^Free software' -e '^$' \
        "$work/err")
    if [ $status -ne 0 ] || [ -n "$messages" ]; then
        fail "$name ended with status $status: $messages"
        sed 's/^/    | /' "$script"
        return 1
    fi
    pass
}

# run_example NAME DIR: runs the example text on standard input, its
# crontab lines as cron would and its paths under the scratch root. Never
# piped into: a failure counted in a pipeline's subshell would be lost.
run_example() {
    local name=$1 dir=$2
    local script=$work/example.sh
    : >"$script"
    while IFS= read -r line; do
        if is_cron_line "$line"; then
            cron_command "$line"
        else
            printf '%s\n' "$line"
        fi
    done | rooted >"$script"
    run "$name" "$dir" "$script"
}

# ---- the configurations ------------------------------------------------
# The guide's ```ini blocks are the settings of the nightly run.
fenced ini "$src/docs/guide.md" >"$work/guide-settings.ctl"
[ -s "$work/guide-settings.ctl" ] && pass || fail "the guide shows no nightly settings"
cat "$src/examples/ravlog.ctl" "$work/guide-settings.ctl" >"$root/etc/fido/ravlog.ctl"

# ---- the manual pages ----------------------------------------------------
# Each .EX block of the EXAMPLES section, with the roff escapes read.
for page in "$src"/man/*.[15]; do
    name=$(basename "$page")
    awk -v dir="$work/examples" -v page="$name" '
        /^\.SH EXAMPLES?$/ { examples = 1; next }
        /^\.SH / { examples = 0 }
        examples && /^\.EX/ { file = sprintf("%s/%s-%d", dir, page, ++n); printf "" > file; next }
        examples && /^\.EE/ { close(file); file = ""; next }
        file != "" { print >> file }' "$page"
done
for example in "$work"/examples/*; do
    sed -i -e 's/\\-/-/g' -e 's/\\(dq/"/g' -e "s/\\\\(aq/'/g" -e 's/\\&//g' -e 's/\\e/\\/g' "$example"
    name=$(basename "$example")
    if head -n 1 "$example" | grep -q '^\['; then
        # A configuration: every program reads it, in the directory its
        # names are relative to.
        rooted <"$example" >"$root/etc/fido/$name.ctl"
        for program in ravlog pondrel brimsel; do
            run_example "$name with $program" "$spool" <<<"$program -c/etc/fido/$name.ctl"
        done
    else
        run_example "$name" "$spool" <"$example"
    fi
done
ls "$work"/examples/ravlog.1-* >/dev/null 2>&1 && pass || fail "no example found in ravlog(1)"

# ---- the guide -----------------------------------------------------------
# The walk-through, from a copy of the source tree's layout.
tree=$work/tree
mkdir "$tree"
ln -s "$build" "$tree/build"
ln -s "$src/examples" "$tree/examples"
fenced sh "$src/docs/guide.md" >"$work/walk-through.sh"
if run "the guide's walk-through" "$tree" "$work/walk-through.sh"; then
    # Every command the text quotes (a program name and its options), over
    # the walk-through's histories.
    awk '/^```/ { fence = !fence; next } !fence' "$src/docs/guide.md" | tr '\n' ' ' |
        grep -o '`[^`]*`' | tr -d '`' | grep -E '^(ravlog|pondrel|brimsel) -' |
        sort -u >"$work/quoted"
    [ -s "$work/quoted" ] && pass || fail "the guide quotes no command"
    while IFS= read -r command; do
        run_example "the guide's \`$command\`" "$tree/node" <<<"$command"
    done <"$work/quoted"
fi
# The crontab lines, each on its own.
fenced crontab "$src/docs/guide.md" >"$work/crontab"
[ -s "$work/crontab" ] && pass || fail "the guide shows no crontab line"
while IFS= read -r line; do
    run_example "the guide's crontab line $line" "$root" <<<"$line"
done <"$work/crontab"

# ---- the guide's Debian binkd node -----------------------------------------
# Its configuration and crontab lines under a root of their own, whose
# /var/log/binkd holds binkd's text log rotated weekly as Debian's
# logrotate leaves it (four copies kept). Three weeks ago a nightly run
# filled the archive from the log as it was then; since, logrotate has
# dropped the copies of those weeks, and the log begins five weeks back.
# Both crontab lines run as cron would; then pondrel over eight weeks must
# count the weeks before the log from the archive, and none without it.
main_root=$root
root=$work/debian
mkdir -p "$root/etc/fido" "$root/var/log/binkd" "$root/var/lib/ravlog" "$root/var/spool/fido/stat"
fenced 'ini debian' "$src/docs/guide.md" | rooted >"$root/etc/fido/ravlog.ctl"
fenced 'crontab debian' "$src/docs/guide.md" >"$work/debian-crontab"
if [ -s "$root/etc/fido/ravlog.ctl" ] && [ -s "$work/debian-crontab" ]; then
    pass
else
    fail "the guide shows no Debian node's configuration and crontab lines"
fi
# install_log DIR DAYS END: the node's log of DAYS days up to END, all from
# the same first day (eight weeks ago), so that the rotations fall alike.
install_log() {
    mkdir "$1"
    "$build/tools/histgen" node --dir "$1" --days "$2" --seed 7 --end "$3" --binkd-log binkd \
        --rotate 4 >/dev/null
    rm -f "$root"/var/log/binkd/binkd*
    cp -p "$1"/binkd "$1"/binkd.[1-9]* "$root/var/log/binkd/"
}
then_day=$(date -u -d '-22 days' +%F)
install_log "$work/debian-then" 35 "$then_day"
run_example "the Debian node's night three weeks ago" "$root/var/spool/fido" \
    <<<"ravlog -c/etc/fido/ravlog.ctl -d$(date -u -d "$then_day" +%-d.%-m.%Y)"
install_log "$work/debian-now" 56 "$(date -u -d '-1 day' +%F)"
while IFS= read -r line; do
    # A night that goes well mails nothing: -q leaves the banner out.
    run_example "the guide's Debian crontab line $line" "$root" <<<"$line" &&
        if [ -s "$work/out" ] || [ -s "$work/err" ]; then
            fail "the guide's Debian crontab line $line prints: $(cat "$work/out" "$work/err")"
        else
            pass
        fi
done <"$work/debian-crontab"
for report in "stat/his$(date -u +%Y%m%d).txt" "stat/month$(date -u +%Y%m).txt"; do
    [ -s "$root/var/spool/fido/$report" ] && pass || fail "the Debian node's crontab wrote no $report"
done
# The log's oldest copy begins five weeks back, at the rotation's 06:25.
log_begins=$(date -u -d '-35 days' +%F)
for archive in with without; do
    option=; [ $archive = without ] && option=-r
    run_example "pondrel over the Debian node's eight weeks $archive the archive" \
        "$root/var/spool/fido" <<<"pondrel -c/etc/fido/ravlog.ctl $option -b-56 -e-1 -fjson" &&
        jq --arg day "$log_begins" '[.days[] | select(.date < $day) | .sessions] | add // 0' \
            "$work/out" >"$work/before-log-$archive"
done
with=$(cat "$work/before-log-with" 2>/dev/null)
without=$(cat "$work/before-log-without" 2>/dev/null)
if [ "${with:-0}" -gt 0 ] && [ "$without" = 0 ]; then
    pass
else
    fail "pondrel counts '${with:-}' sessions before the Debian node's log with the archive, '${without:-}' without"
fi
root=$main_root

# ---- docs/binkd.md: a Debian week beside binkdlogstat ------------------------
# Its ```sh blocks, one after another in one shell from a copy of the
# source tree's layout (build/ and tests/), as a reader runs them. Where
# /usr/sbin/binkdlogstat is not installed, the blocks that run it are left
# out with a notice, and so are the checks of its figures. Every block
# marked <!-- output:FILE --> must stand in FILE as the commands wrote it:
# its lines in their order, each run of them unbroken but where the block
# writes "...". And binkdlogstat's figures must agree with pondrel's where
# the text says they do.
binkd_doc=$src/docs/binkd.md
btree=$work/binkd-tree
mkdir "$btree"
ln -s "$build" "$btree/build"
ln -s "$src/tests" "$btree/tests"
stat=/usr/sbin/binkdlogstat
awk -v have="$([ -x $stat ] && echo 1)" -v stat="$stat" '
    /^```sh$/ { on = 1; block = ""; next }
    on && /^```$/ { on = 0; if (have || index(block, stat) == 0) printf "%s", block; next }
    on { block = block $0 "\n" }' "$binkd_doc" >"$work/binkd-week.sh"
[ -x $stat ] || echo "NOTE: $stat not installed: docs/binkd.md's binkdlogstat figures not checked"
if grep -q histgen "$work/binkd-week.sh" && run "docs/binkd.md's week" "$btree" "$work/binkd-week.sh"; then
    week=$btree/debian-week
    mkdir "$work/shown"
    # Each output block into shown/FILE, without the indentation of its fence.
    awk -v dir="$work/shown" '
        match($0, /^ *<!-- output:[^ ]+ -->$/) { name = $0; sub(/^ *<!-- output:/, "", name);
            sub(/ -->$/, "", name); next }
        name != "" && match($0, /^ *```$/) { indent = RLENGTH - 3; file = dir "/" name; name = "";
            printf "" >file; next }
        file != "" && /^ *```$/ { close(file); file = ""; next }
        file != "" { print substr($0, indent + 1) >>file }' "$binkd_doc"
    ls "$work/shown" | grep -q . && pass || fail "docs/binkd.md shows no output"
    for shown in "$work"/shown/*; do
        name=$(basename "$shown")
        # What binkdlogstat writes is there only where it is installed.
        if [ ! -x $stat ] && grep "$stat" "$binkd_doc" | grep -q ">$name\$"; then
            continue
        fi
        missing=$(awk -v shown="$shown" '
            BEGIN { while ((getline l <shown) > 0) want[++n] = l }
            { sub(/\r$/, ""); line[++m] = $0 }  # CSV ends its lines in CR LF
            END {
                at = 1
                for (i = 1; i <= n; i = j) {
                    if (want[i] == "...") { j = i + 1; continue }
                    for (j = i; j <= n && want[j] != "..."; j++) {}
                    for (p = at; p + j - i - 1 <= m; p++) {
                        for (k = i; k < j && line[p + k - i] == want[k]; k++) {}
                        if (k == j) break
                    }
                    if (p + j - i - 1 > m) { print want[i]; exit }
                    at = p + j - i
                }
            }' "$week/$name" 2>/dev/null)
        if [ -e "$week/$name" ] && [ -z "$missing" ]; then
            pass
        else
            fail "docs/binkd.md shows $name otherwise than the commands write it, from: $missing"
        fi
    done
    if [ -x $stat ]; then
        # agree STAT CSV [ADDRESS BYTES]: for every address of binkdlogstat's
        # table STAT, its sessions In OK + In Fail and Out OK + Out Fail are
        # pondrel's incoming and outgoing ones in CSV, its kilobytes pondrel's
        # bytes / 1024 rounded down, but for ADDRESS, whose sent kilobytes
        # also hold BYTES more; the totals likewise, and pondrel has no
        # address binkdlogstat lacks. Prints what differs, and the rows of
        # addresses without a session ("zero rows: ...").
        agree() {
            awk -v csv="$2" -v odd="${3:-}" -v extra="${4:-0}" '
                BEGIN {
                    while ((getline l <csv) > 0) {
                        split(l, f, ",")
                        if (f[1] == "link") { rows[f[2]] = l; left[f[2]] = 1 }
                        if (f[1] == "total") rows["total"] = l
                    }
                }
                $1 ~ /^[0-9]+:/ || $1 == "Total" {
                    a = $1 == "Total" ? "total" : ($1 ~ /\./ ? $1 : $1 ".0")
                    if (!(a in rows)) {
                        if ($2 + $3 + $4 + $5 + $6 + $7 + $8 + $9 == 0) { zero = zero " " $1; next }
                        print "no pondrel row for " $1; next
                    }
                    delete left[a]
                    split(rows[a], f, ",")
                    sent = f[10] + (a == odd || (a == "total" && odd != "") ? extra : 0)
                    if ($2 + $3 != f[4] || $4 + $5 != f[6])
                        print a ": sessions " $2 "+" $3 "/" $4 "+" $5 ", pondrel " f[4] "/" f[6]
                    if ($6 != int(sent / 1024) || $7 != int(f[9] / 1024))
                        print a ": KB " $6 "/" $7 ", pondrel bytes " sent "/" f[9]
                }
                END { for (a in left) print "no binkdlogstat row for " a; print "zero rows:" zero }' "$1"
        }
        result=$(agree "$week/binkdlogstat.txt" "$week/week.csv" 2:450/102.0 3970821)
        [ "$result" = "zero rows:" ] && pass ||
            fail "binkdlogstat and pondrel over binkd.1 differ otherwise than docs/binkd.md says: $result"
        result=$(agree "$week/real.txt" "$week/real.csv")
        [ "$result" = "zero rows: 2:5020/5" ] && pass ||
            fail "binkdlogstat and pondrel over real-loglevel4.log differ otherwise than docs/binkd.md says: $result"
        failed=$(awk '$1 == "Total" { printf "{\"in\":%d,\"out\":%d}", $3, $5 }' "$week/binkdlogstat.txt")
        [ "$failed" = "$(cat "$week/failed.txt")" ] && pass ||
            fail "binkdlogstat's failed sessions $failed are not brimsel's $(cat "$week/failed.txt")"
    fi
fi

# ---- the recipes, with their answers -----------------------------------------
# two_lines DIR SETTING RECORD...: a node of two lines in DIR, the records
# marked "a " in a BinkD a.his (the first line), those marked "b " in b.his.
two_lines() {
    mkdir "$1"
    for line in a:3 b:1; do
        printf '%s\n' "${@:3}" | sed -n "s/^${line%:*} //p" |
            "$build/tools/histgen" write --type "${line#*:}" --out "$1/${line%:*}.his" >/dev/null
    done
    printf '%s\n' "[COMMON]" "$2" "Addr *" "[LINE]" "History a.his,1,1" "[LINE]" "History b.his" \
        >"$1/ravlog.ctl"
}
# recipe NAME EXPECTED [DOC DIR]: the command under the paragraph or heading
# that starts with NAME in DOC (docs/json.md), indented or the first of a
# ``` block, run in DIR (the recipes' directory), must print EXPECTED.
recipe() {
    local doc=${3:-docs/json.md} dir=${4:-$recipes}
    awk -v name="$1" 'index($0, name) == 1 { on = 1 } on && fenced { print; exit }
        on && /^```/ { fenced = 1 } on && /^    [a-z]/ { sub(/^    /, ""); print; exit }' \
        "$src/$doc" >"$work/recipe"
    run_example "$doc's \"$1\"" "$dir" <"$work/recipe" &&
        { [ "$(cat "$work/out")" = "$2" ] || fail "$doc's \"$1\" prints $(cat "$work/out"), not $2"; }
}
# Known answers: per file the records and the sessions ravlog counts as
# aborted (BinkD marks an aborted session with both directions, and sets no
# N flag), and the last call of 2:5020/545, which lies in the first line.
recipes=$work/recipes
two_lines "$recipes" "BusyHist T" "a 2:5020/545 2024-03-05T12:00:00 dur=60 flags=2" \
    "a 2:5020/100 2024-03-05T10:00:00 dur=30 flags=3" \
    "a 2:5020/100 2024-03-05T11:00:00 dur=30 flags=1" \
    "b 2:5020/545.7 2024-03-05T09:00:00 dur=60 flags=6" \
    "b 2:5020/100 2024-03-05T13:00:00 dur=30 flags=2"
# ravlog's count: the Aborted figure of each line's busy chart.
run_example "ravlog over the recipes' node" "$recipes" <<<"ravlog -d5.3.2024"
ravlog_aborted=$(sed -n 's/^ Aborted: *\([0-9]*\) .*/\1/p' "$recipes/ravlog.out" | tr '\n' ' ')
[ "$ravlog_aborted" = "1 1 " ] && pass || fail "ravlog counts '$ravlog_aborted' aborted sessions"
recipe "Records and aborted sessions per history file" \
    "$(printf '{"file":"a.his","records":3,"aborted":1}\n{"file":"b.his","records":2,"aborted":1}')"
last_call='{"file":"a.his","type":3,"address":"2:5020/545.0","zone":2,"net":5020,"node":545,"point":0,"start":"2024-03-05T12:00:00","duration":60,"received":0,"sent":0,"incoming":false,"outgoing":true,"normal":false,"protected":false,"kind":null,"aborted":false}'
recipe "The last call of 2:5020/545" "$last_call"
recipe "The sessions and bytes of each day" "2024-03-05: 5 sessions, 0 bytes"
recipe "### When did 2:5020/545 last call?" "$last_call" docs/guide.md

# The day archive's recipes, over days relative to today: 2:5020/100 called
# two months ago and two days ago (on line a), 2:5020/545.7 on two days two
# months ago, 2:463/68 more than a year ago (on line b). Two months ago, on
# the 5th, is the busiest day; the last two links have been silent for 30 days.
archived=$work/archived
old=$(date -u -d "$(date -u +%Y-%m-01) -2 months" +%Y-%m)
recent=$(date -u -d '-2 days' +%F)
two_lines "$archived" "Archive $spool/archive.db" \
    "a 2:5020/100 ${old}-05T10:00:00 dur=60 rcvd=1000 sent=2000 flags=2" \
    "a 2:5020/100 ${recent}T12:00:00 dur=60 rcvd=300 sent=400 flags=2" \
    "b 2:463/68 $(date -u -d '-400 days' +%F)T08:00:00 dur=30 rcvd=1 sent=1 flags=2" \
    "b 2:5020/545.7 ${old}-05T11:00:00 dur=60 rcvd=50 sent=60 flags=2" \
    "b 2:5020/545.7 ${old}-06T09:00:00 dur=60 rcvd=7 sent=3 flags=2"
# And The Brake!'s line answering on the busiest day: an event, no link.
echo "ANSWER ${old}-05T10:30:00 dur=30" |
    "$build/tools/histgen" write --type 4 --out "$archived/c.his" >/dev/null
printf '%s\n' "[COMMON]" "Addr ANSWER" "[LINE]" "History c.his" >>"$archived/ravlog.ctl"
run_example "ravlog filling the archive" "$archived" \
    <<<"ravlog -d$(date -u -d "$recent" +%-d.%-m.%Y)"
recipe "Traffic per month per link" "$(printf '%s\n' "$old|2:5020/100.0|1000|2000" \
    "$old|2:5020/545.7|57|63" "${recent:0:7}|2:5020/100.0|300|400")" docs/archive.md "$archived"
recipe "The busiest day" "$old-05|3110" docs/archive.md "$archived"
recipe "Links silent for 30 days" "$(printf '%s\n' 2:463/68.0 2:5020/545.7)" docs/archive.md \
    "$archived"
# A history renamed from old.his to new.his (under the spool) after the
# new name recorded the recent day: its days then are both of line a's.
renamed=$work/renamed
mkdir "$renamed"
cp "$archived/a.his" "$spool/old.his"
echo "2:5020/100 ${recent}T12:00:00 dur=60 rcvd=300 sent=400 flags=2" |
    "$build/tools/histgen" write --type 3 --out "$spool/new.his" >/dev/null
for name in old new; do
    printf '%s\n' "[COMMON]" "Archive $spool/archive.db" "Addr *" "[LINE]" \
        "History $spool/$name.his,1,1" >"$renamed/ravlog.ctl"
    run_example "ravlog recording $name.his" "$renamed" \
        <<<"ravlog -d$(date -u -d "$recent" +%-d.%-m.%Y)"
done
recipe "A renamed history" "$spool/new.his|2" docs/archive.md "$renamed"

# docs/cutting.md's look at a journal that could not be restored, in a
# directory without any configuration: the history, then what the cut
# meant it to become (the journal's data from its byte 1024 on).
journal=$work/journal
mkdir -p "$journal/spool" "$journal/elsewhere"
printf '%s\n' "2:5020/1 2024-03-01T10:00:00 dur=60" "2:5020/2 2024-03-05T10:00:00 dur=60" \
    "2:5020/3 2024-03-05T11:00:00 dur=60" |
    "$build/tools/histgen" write --type 2 --out "$journal/spool/hist.his" >/dev/null
{
    head -c 1024 /dev/zero
    tail -c +29 "$journal/spool/hist.his"
} >"$journal/spool/hist.his.journal"
awk 'index($0, "Look at both with brimsel") == 1 { on = 1 } on && /^```$/ { exit }
    on && fenced { print } on && /^```sh$/ { fenced = 1 }' "$src/docs/cutting.md" |
    sed 's#<history>#../spool/hist.his#g' >"$work/journal-recipe"
[ -s "$work/journal-recipe" ] && pass || fail "docs/cutting.md shows no look at a journal"
if run_example "docs/cutting.md's look at a journal" "$journal/elsewhere" <"$work/journal-recipe"; then
    rows=$(awk '/^File: / { files++ } /^│ 2:5020\// { rows[files]++ }
        END { print files, rows[1], rows[2] }' "$work/out")
    [ "$rows" = "2 3 2" ] && pass ||
        fail "docs/cutting.md's look at a journal shows files and rows '$rows', not '2 3 2'"
fi

echo "$passes passed, $failures failed"
[ $failures -eq 0 ]
