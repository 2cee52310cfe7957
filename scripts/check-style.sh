#!/usr/bin/env bash
# The mechanical half of the house style, on the tree as it stands:
#  1. every C++ line changed since the formatter came in is as clang-format
#     lays it out (.clang-format); older lines are left as they were written;
#  2. constants and enumerators follow the one naming style (.clang-tidy).
# Usage: scripts/check-style.sh BUILD_DIR (a configured build with
# compile_commands.json). Exits 1 on the first kind of finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
# The commit before the formatter: lines older than it keep their layout.
base=4bc960008a540088596dc3f846edd4a1c1751788

status=0
if git cat-file -e "$base^{commit}" 2>/dev/null; then
  diff=$(git clang-format-14 --binary clang-format-14 --diff --extensions cpp,hpp "$base" -- \
           src tests bench fuzz harness 2>&1 || true)
  case "$diff" in
    *"no modified files to format"*|*"clang-format did not modify any files"*|"") ;;
    *) echo "check-style: lines changed since the formatter came in that clang-format lays out otherwise:"
       printf "%s\n" "$diff" | head -n 60 || true
       status=1 ;;
  esac
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
