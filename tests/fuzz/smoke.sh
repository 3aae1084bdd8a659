#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time, JOBS at
# a time, starting from the committed corpus. New inputs go to a scratch
# directory, never into the corpus. A target that finds a fault fails the
# run; its input is left in ARTIFACTS for the corpus.
#   tests/fuzz/smoke.sh BUILD_DIR [SECONDS] [JOBS]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:?usage: smoke.sh BUILD_DIR [SECONDS] [JOBS]}"
seconds="${2:-20}"
jobs="${3:-2}"
work="$(mktemp -d)"
artifacts="${ARTIFACTS:-$work/artifacts}"
mkdir -p "$artifacts"

targets=()
for corpus in "$here"/corpus/*/; do
    name="$(basename "$corpus")"
    [ -x "$build/tests/fuzz/fuzz_$name" ] && targets+=("$name")
done
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets in $build" >&2; exit 1; }

run_one() {
    local name=$1
    mkdir -p "$work/corpus/$name"
    "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$name-" \
        "$work/corpus/$name" "$here/corpus/$name" >"$work/$name.log" 2>&1
    local status=$?
    local stats
    stats="$(grep -E '^#[0-9]+' "$work/$name.log" | tail -n 1 | grep -oE 'cov: [0-9]+ ft: [0-9]+')"
    local runs
    runs="$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$work/$name.log" | grep -oE '[0-9]+$')"
    if [ $status -eq 0 ]; then
        printf '%-10s ok      %9s runs  %s\n' "$name" "${runs:-?}" "$stats"
    else
        printf '%-10s FAILED  (status %d)\n' "$name" $status
        grep -E 'ERROR|runtime error|SUMMARY|Test unit written' "$work/$name.log" | head -n 20
    fi
    return $status
}
export -f run_one
export build seconds work artifacts here

failed=0
results="$(printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one {}' 2>&1)" ||
    failed=1
echo "$results"
bad=$(grep -c FAILED <<<"$results" || true)
if [ $failed -eq 0 ]; then
    rm -rf "$work"
else
    echo "logs and inputs that failed: $work"
fi
echo "fuzz-smoke: $((${#targets[@]} - bad)) passed, $bad failed"
exit $failed
