#!/usr/bin/env bash
# Writes the expected outputs under tests/expected/<case>/out from what the
# programs of the build give now, after a deliberate change of a report or
# a message, so that the change is one diff to review (git diff
# tests/expected). Builds the programs first.
#
#   scripts/regenerate-expected.sh [BUILD_DIR] [CASE...]
#
# BUILD_DIR defaults to $BUILD or build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${BUILD:-build}}
[ $# -gt 0 ] && shift
case $build in /*) ;; *) build=$root/$build ;; esac
cmake --build "$build" --target ravlog pondrel brimsel histgen >/dev/null
exec bash "$root/tests/expected/run.sh" "$build" --update "$@"
