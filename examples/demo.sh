#!/usr/bin/env bash
# The demonstration behind `make demo`: writes a week of a seeded node's
# histories into demo-out/ (eight formats, ending yesterday), then runs the
# programs over examples/ravlog.ctl from there and shows the start of each
# result, and writes yesterday's and the week's pages for a browser with
# their JSON, naming where they are. BUILD names the build directory
# (default: build).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
out=$root/demo-out
seed=2718
days=7

mkdir -p "$out"
rm -f "$out"/*.his "$out"/*.ihs "$out"/*.ohs
cp "$root/examples/ravlog.ctl" "$out/ravlog.ctl"

echo "== Histories of a node ($days days to yesterday, seed $seed) in $out"
"$build/tools/histgen" node --dir "$out" --days "$days" --seed "$seed"

# Runs one program in the demo directory; its standard output goes to a
# file, of which the first lines are shown. Standard error stays on the
# terminal: the banner, and anything the program has to say.
show() {
    local name=$1 result=$2
    shift 2
    echo
    echo "== $name${*:+ $*}"
    (cd "$out" && "$build/$name/$name" "$@" >"$result")
    head -n 40 "$out/$result"
    echo "   ... $(wc -l <"$out/$result") lines in all: $out/$result"
}

show brimsel brimsel.txt

# ravlog reports yesterday (-d-1) into the three files the configuration
# names, and the same day as a page and as JSON.
echo
echo "== ravlog -d-1 -wday.html -jday.json"
(cd "$out" && "$build/ravlog/ravlog" -d-1 -wday.html -jday.json >/dev/null)
for report in ravlog.ses ravlog.lnk ravlog.out; do
    echo
    echo "-- $out/$report ($(wc -l <"$out/$report") lines), its beginning:"
    head -n 30 "$out/$report"
done

# pondrel: the whole generated period, in UTF-8 and in plain ASCII.
show pondrel pondrel.txt
show pondrel pondrel-ascii.txt -u-
(cd "$out" && "$build/pondrel/pondrel" -q -fhtml -oweek.html &&
    "$build/pondrel/pondrel" -q -fjson -oweek.json)

echo
echo "== The same reports for a browser, and as JSON for other programs"
echo "   yesterday (ravlog):  file://$out/day.html"
echo "   the week (pondrel):  file://$out/week.html"
echo "   as JSON:             $out/day.json, $out/week.json"
