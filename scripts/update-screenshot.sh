#!/usr/bin/env bash
# Regenerates docs/html-report.png, the screenshot of ravlog's HTML report
# that README.md shows.
#
#   scripts/update-screenshot.sh [BUILD_DIR]
#
# Builds ravlog and histgen, writes the demo node's histories (as `make
# demo` does: histgen node, seed 2718, seven days to yesterday) into a
# scratch directory, runs `ravlog -d-1 -w<dir>/ravlog.html` there with
# examples/ravlog.ctl, and opens the report in headless Chromium with
# tests/browser/html_check.py. Only when every check passes is the
# screenshot of the page 1280 pixels wide copied to docs/html-report.png.
# BUILD_DIR defaults to $BUILD or build/; BROWSER names the browser to run
# (default: the first Chromium found on PATH).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${BUILD:-build}}
case $build in /*) ;; *) build=$root/$build ;; esac
screenshot=$root/docs/html-report.png

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target ravlog histgen >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C
node=$work/node
mkdir "$node"
cp "$root/examples/ravlog.ctl" "$node/ravlog.ctl"
"$build/tools/histgen" node --dir "$node" --days 7 --seed 2718 >/dev/null

html=$node/ravlog.html
if ! (cd "$node" && "$build/ravlog/ravlog" -d-1 "-w$html" >/dev/null 2>"$work/ravlog.err"); then
    echo "update-screenshot: ravlog fails:" >&2
    cat "$work/ravlog.err" >&2
    exit 1
fi
if [ ! -s "$html" ]; then
    echo "update-screenshot: ravlog wrote no HTML report" >&2
    exit 1
fi

# The charts the page must show: as many as the file holds svg elements.
charts=$(grep -o '<svg[[:space:]>]' "$html" | wc -l)
status=0
python3 "$root/tests/browser/html_check.py" --html "$html" --svg-count "$charts" \
    --screenshots "$work/shots" ${BROWSER:+--browser "$BROWSER"} || status=$?
case $status in
0) ;;
77)
    echo "update-screenshot: no browser to take the screenshot with (set BROWSER or install chromium-headless-shell)" >&2
    exit 1
    ;;
*)
    echo "update-screenshot: the report fails the browser check; $screenshot is left as it is" >&2
    exit 1
    ;;
esac
cp "$work/shots/html-1280.png" "$screenshot"
echo "update-screenshot: $screenshot ($(wc -c <"$screenshot") bytes)"
