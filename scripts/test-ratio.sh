#!/usr/bin/env bash
# Non-blank, non-comment-only lines of tests/ against those of src/ (C++,
# JavaScript, Python, shell; the macOS Objective-C++ file, lockfiles, fuzz/ and
# bench/ count on neither side). The owner's limit is 35%.
set -euo pipefail
cd "$(dirname "$0")/.."
# Lines left once blank lines and lines holding only a comment are dropped.
count() {
  local slashes hashes
  slashes=$(git ls-files -- "$@" | grep -E '\.(cpp|hpp|h|mjs|js)$' | xargs -r cat | grep -c -v -E '^\s*(//.*)?$' || true)
  hashes=$(git ls-files -- "$@" | grep -E '\.(py|sh)$' | xargs -r cat | grep -c -v -E '^\s*(#.*)?$' || true)
  echo $((slashes + hashes))
}
src=$(count src)
tests=$(count tests)
percent=$(awk -v t="$tests" -v s="$src" 'BEGIN { printf "%.1f", 100 * t / s }')
echo "tests: $tests lines, src: $src lines, ratio ${percent}% (limit 35%)"
# Exits 1 above the limit, so CI holds the suite to it.
[ $((100 * tests)) -le $((35 * src)) ]
