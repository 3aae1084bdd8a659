#!/usr/bin/env bash
# Every example of the manual pages and of the guide runs as written, so
# that none of them can drift from the programs again:
#   - the command examples of the manual pages (their .EX blocks), crontab
#     lines included;
#   - the guide's walk-through (its ```sh block), every command it quotes
#     in the text, and its crontab lines (```crontab blocks);
#   - the configuration examples (ravlog.ctl(5)'s .EX block that is a
#     configuration, the guide's ```ini settings) with each program.
# Each must end with status 0 and write nothing on standard error but a
# banner (pondrel's, and brimsel's when it dumps data). The examples name
# /etc/fido, /var/spool/fido and /tmp: here those lie under a scratch
# root, which holds a node's histories of the last week (today included),
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
        -e "s#/var/spool/fido#$root/var/spool/fido#g"
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
awk '/^```ini$/ { on = 1; next } on && /^```$/ { on = 0 } on' "$src/docs/guide.md" \
    >"$work/guide-settings.ctl"
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
awk '/^```sh$/ { on = 1; next } on && /^```$/ { on = 0 } on' "$src/docs/guide.md" \
    >"$work/walk-through.sh"
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
awk '/^```crontab$/ { on = 1; next } on && /^```$/ { on = 0 } on' "$src/docs/guide.md" \
    >"$work/crontab"
[ -s "$work/crontab" ] && pass || fail "the guide shows no crontab line"
while IFS= read -r line; do
    run_example "the guide's crontab line $line" "$root" <<<"$line"
done <"$work/crontab"

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
