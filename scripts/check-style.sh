#!/usr/bin/env bash
# The mechanical half of the house style, on the tree as it stands:
#  1. every tracked C++ file is as clang-format lays it out (.clang-format);
#  2. clang-tidy finds nothing in any C++ file the build compiles (src/,
#     tests/, bench/, fuzz/, harness/): the naming style of constants and
#     enumerators, the bug-prone and performance checks, [[nodiscard]]
#     (.clang-tidy; tests/.clang-tidy leaves out what a test gains nothing from).
# Usage: scripts/check-style.sh BUILD_DIR (a configured build with
# compile_commands.json). Exits 1 on the first kind of finding.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/release}"
status=0
mapfile -t tracked < <(git ls-files '*.cpp' '*.hpp' '*.h' '*.mm')
unformatted=()
for f in "${tracked[@]}"; do
  clang-format-14 --dry-run --Werror "$f" >/dev/null 2>&1 || unformatted+=("$f")
done
if ((${#unformatted[@]})); then
  echo "check-style: files clang-format lays out otherwise (clang-format-14 -i FILE formats one):"
  printf '  %s\n' "${unformatted[@]}"
  status=1
fi

# clang-tidy cannot read g++'s precompiled headers: the same commands without them.
[[ -f $build/compile_commands.json ]] || { echo "check-style: $build/compile_commands.json missing" >&2; exit 2; }
tidy=$(mktemp -d)
trap 'rm -rf "$tidy"' EXIT
python3 - "$build/compile_commands.json" "$tidy/compile_commands.json" "$tidy/sources" <<'PY'
import json, re, sys
entries = json.load(open(sys.argv[1]))
for e in entries:
    # Nor g++'s own warning switches, which -Werror would make errors too.
    e["command"] = re.sub(r" -Winvalid-pch| -include \S*cmake_pch\.hxx| -Werror| -Wno-(stringop-overflow|restrict|array-bounds)", "", e["command"])
kept = [e for e in entries if "/build/" not in e["file"]]
json.dump(kept, open(sys.argv[2], "w"))
# Each compiled file once (the fuzzers share a replay main).
print("\n".join(sorted({e["file"] for e in kept})), file=open(sys.argv[3], "w"))
PY
mapfile -t sources < "$tidy/sources"
if ! out=$(printf '%s\n' "${sources[@]}" | xargs -P "${JOBS:-2}" -n 8 clang-tidy-14 --quiet -p "$tidy" 2>/dev/null); then
  echo "check-style: clang-tidy findings (the checks are listed in .clang-tidy):"
  echo "$out" | grep -E 'warning|error' | sort -u | head -n 60
  status=1
fi
exit $status
