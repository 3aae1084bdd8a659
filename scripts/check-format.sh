#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format makes of
# it with the repository's .clang-format, and names the files.
#
#   scripts/check-format.sh        (CLANG_FORMAT names another binary)
set -euo pipefail
cd "$(dirname "$0")/.."
format=${CLANG_FORMAT:-clang-format}
mapfile -t files < <(git ls-files '*.cpp' '*.h')
unformatted=()
for file in "${files[@]}"; do
    "$format" --dry-run --Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if [ ${#unformatted[@]} -ne 0 ]; then
    echo "check-format: these files differ from what $format makes of them:" >&2
    printf '    %s\n' "${unformatted[@]}" >&2
    echo "Run: $format -i ${unformatted[*]}" >&2
    exit 1
fi
echo "check-format: ${#files[@]} files as $format formats them"
