#!/usr/bin/env bash
# The mechanical half of the house style, on the tree as it stands:
#  1. every C++ file changed since the formatter came in is as clang-format
#     lays it out (.clang-format); files untouched since keep their layout;
#  2. constants and enumerators follow the one naming style (.clang-tidy).
# Usage: scripts/check-style.sh BUILD_DIR (a configured build with
# compile_commands.json). Exits 1 on the first kind of finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
# The commit before the formatter: files untouched since keep their layout.
base=4bc960008a540088596dc3f846edd4a1c1751788

status=0
if git cat-file -e "$base^{commit}" 2>/dev/null; then
  mapfile -t changed < <(git diff --name-only --diff-filter=d "$base" -- \
    'src/*.cpp' 'src/*.hpp' 'tests/*.cpp' 'tests/*.hpp' 'bench/*.cpp' 'bench/*.hpp' 'fuzz/*.cpp' 'harness/*.cpp' 'harness/*.hpp')
  unformatted=()
  for f in "${changed[@]}"; do
    clang-format-14 --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
  done
  if ((${#unformatted[@]})); then
    echo "check-style: files changed since the formatter came in that clang-format lays out otherwise"
    echo "(clang-format-14 -i FILE formats one):"
    printf '  %s\n' "${unformatted[@]}"
    status=1
  fi
else
  echo "check-style: history before $base is not in this clone; formatting not checked"
fi

# clang-tidy cannot read g++'s precompiled headers: the same commands without them.
[[ -f $build/compile_commands.json ]] || { echo "check-style: $build/compile_commands.json missing" >&2; exit 2; }
tidy=$(mktemp -d)
trap 'rm -rf "$tidy"' EXIT
python3 - "$build/compile_commands.json" "$tidy/compile_commands.json" <<'PY'
import json, re, sys
entries = json.load(open(sys.argv[1]))
for e in entries:
    # Nor g++'s own warning switches, which -Werror would make errors too.
    e["command"] = re.sub(r" -Winvalid-pch| -include \S*cmake_pch\.hxx| -Werror| -Wno-(stringop-overflow|restrict|array-bounds)", "", e["command"])
json.dump([e for e in entries if "/src/" in e["file"] and "/build/" not in e["file"]], open(sys.argv[2], "w"))
PY
mapfile -t sources < <(git ls-files 'src/*.cpp')
if ! out=$(printf '%s\n' "${sources[@]}" | xargs -P "${JOBS:-2}" -n 8 clang-tidy-14 --quiet -p "$tidy" 2>/dev/null); then
  echo "check-style: names outside the one constant and enumerator style:"
  echo "$out" | grep -E 'warning|error' | sort -u | head -n 60
  status=1
fi
exit $status
