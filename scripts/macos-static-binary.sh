#!/usr/bin/env bash
# macOS only: builds the server binary a bundle carries (ICU from Homebrew's
# static archives, simdjson built from the amalgamation of the very release
# Homebrew installed), strips it and checks it needs only the system's
# libraries. It stays unsigned: scripts/pack-darwin.sh signs the joined binary
# after its last change. Needs: brew install cmake icu4c sqlite nlohmann-json simdjson.
#   scripts/macos-static-binary.sh <output file>
set -euo pipefail
out=${1:?usage: macos-static-binary.sh <output file>}
cd "$(dirname "$0")/.."

brew fetch --build-from-source simdjson
src="$(mktemp -d)"
trap 'rm -rf "$src"' EXIT
tar -xzf "$(brew --cache --build-from-source simdjson)" -C "$src" --strip-components 2 \
  '*/singleheader/simdjson.cpp' '*/singleheader/simdjson.h'
cmp "$src/simdjson.h" "$(brew --prefix simdjson)/include/simdjson.h"

# ld64 has no -s; the binary is stripped after the link instead.
cmake --preset bundle -DCMAKE_EXE_LINKER_FLAGS= \
  -DCMAKE_PREFIX_PATH="$(brew --prefix icu4c);$(brew --prefix sqlite)" -DQS_SIMDJSON_SOURCE="$src"
cmake --build --preset bundle -j "$(sysctl -n hw.ncpu)"
strip build/bundle/src/quillstack-mcp
if otool -L build/bundle/src/quillstack-mcp | tail -n +2 | grep -v -E '^\s*/(usr/lib|System)/'; then
  echo "macos-static-binary: the bundled binary needs the libraries above" >&2
  exit 1
fi
mkdir -p "$(dirname "$out")"
cp build/bundle/src/quillstack-mcp "$out"
lipo -archs "$out"
