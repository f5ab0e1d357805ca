#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from what clang-format makes of
# it with the project's .clang-format; names each such file.
set -euo pipefail
cd "$(dirname "$0")/.."

report=$(mktemp)
trap 'rm -f "$report"' EXIT
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if ! clang-format --dry-run --Werror "${files[@]}" 2>"$report"; then
  grep -o '^[^:]*\.[ch]p*:' "$report" | sort -u | sed 's/:$//; s/^/not formatted: /' >&2
  echo "format: run clang-format -i on the files above" >&2
  exit 1
fi
echo "format: ${#files[@]} files match .clang-format"
