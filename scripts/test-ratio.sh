#!/usr/bin/env bash
# The tests' size against the code's, twice: non-blank, non-comment-only lines,
# and the characters of those lines without spaces and line breaks (so long
# table rows count for what they hold). C++ (the macOS Objective-C++ files
# too), JavaScript, Python and shell on both sides; lockfiles, fuzz/ and bench/
# count on neither. The owner's limit is 35% for each.
set -euo pipefail
cd "$(dirname "$0")/.."
# The lines left once blank lines and lines holding only a comment are dropped.
code() {
  git ls-files -- "$@" | grep -E '\.(cpp|hpp|h|mm|mjs|js)$' | xargs -r cat | grep -v -E '^\s*(//.*)?$' || true
  git ls-files -- "$@" | grep -E '\.(py|sh)$' | xargs -r cat | grep -v -E '^\s*(#.*)?$' || true
}
src_lines=$(code src | wc -l)
tests_lines=$(code tests | wc -l)
src_chars=$(code src | tr -d ' \n' | wc -c)
tests_chars=$(code tests | tr -d ' \n' | wc -c)
ratio() { awk -v t="$1" -v s="$2" 'BEGIN { printf "%.1f", 100 * t / s }'; }
echo "tests: $tests_lines lines, src: $src_lines lines, ratio $(ratio "$tests_lines" "$src_lines")% (limit 35%)"
echo "tests: $tests_chars chars, src: $src_chars chars, ratio $(ratio "$tests_chars" "$src_chars")% (limit 35%)"
status=0
if [ $((100 * tests_lines)) -gt $((35 * src_lines)) ]; then
  echo "test-ratio: the tests' lines are above 35% of the code's" >&2
  status=1
fi
if [ $((100 * tests_chars)) -gt $((35 * src_chars)) ]; then
  echo "test-ratio: the tests' characters are above 35% of the code's" >&2
  status=1
fi
# Exits 1 above a limit, so CI holds the suite to it.
exit $status
