#!/usr/bin/env bash
# macOS only: builds the server binary a bundle carries for one architecture
# (either one, on an Apple silicon Mac) and the deployment target CMakeLists.txt
# sets: ICU from scripts/macos-static-icu.sh, simdjson from the very release
# Linux builds and tests with (Debian 12's 3.0.1: the tag's commit is checked,
# and its simdjson.h is byte for byte Debian's), both linked statically. It
# strips the binary, checks it needs only the system's libraries and states
# its minimum macOS. It stays unsigned: scripts/pack-darwin.sh signs the
# joined binary after its last change. Needs: brew install nlohmann-json
# (headers only, the same for both architectures).
#   scripts/macos-static-binary.sh <arm64|x86_64> <ICU root> <output file>
set -euo pipefail
arch=${1:?usage: macos-static-binary.sh <arm64|x86_64> <ICU root> <output file>}
icu_root=${2:?usage: macos-static-binary.sh <arm64|x86_64> <ICU root> <output file>}
out=${3:?usage: macos-static-binary.sh <arm64|x86_64> <ICU root> <output file>}
cd "$(dirname "$0")/.."
say() { echo "macos-static-binary: $*"; }
target=$(sed -n 's/^set(CMAKE_OSX_DEPLOYMENT_TARGET "\([0-9.]*\)".*/\1/p' CMakeLists.txt)

# simdjson 3.0.1, as Debian 12 ships it: the tag's commit, and the git blob
# of its singleheader/simdjson.h, which is Debian's /usr/include/simdjson.h.
simdjson_tag=v3.0.1
simdjson_commit=0d2455029d845e801809dd54b01ae47173d7d8e8
simdjson_header_blob=f9d80812f5c635672127b398b46dc855efa53cf7
src=$(mktemp -d)
trap 'rm -rf "$src"' EXIT
git clone --quiet --depth 1 --branch "$simdjson_tag" https://github.com/simdjson/simdjson.git "$src/simdjson"
got=$(git -C "$src/simdjson" rev-parse HEAD)
[[ $got == "$simdjson_commit" ]] || { say "simdjson $simdjson_tag is commit $got, expected $simdjson_commit" >&2; exit 1; }
[[ $(git -C "$src/simdjson" hash-object singleheader/simdjson.h) == "$simdjson_header_blob" ]] ||
  { say "simdjson $simdjson_tag's simdjson.h is not Debian's" >&2; exit 1; }

# ld64 has no -s; the binary is stripped after the link instead.
build=build/bundle-$arch
cmake --preset bundle -B "$build" -DCMAKE_EXE_LINKER_FLAGS= -DCMAKE_OSX_ARCHITECTURES="$arch" \
  -DICU_ROOT="$icu_root/$arch" -DCMAKE_PREFIX_PATH="$(brew --prefix nlohmann-json)" \
  -DQS_SIMDJSON_SOURCE="$src/simdjson/singleheader"
cmake --build "$build" --target quillstack-mcp -j "$(sysctl -n hw.ncpu)"
binary=$build/src/quillstack-mcp
strip "$binary"
if otool -L "$binary" | tail -n +2 | grep -v -E '^\s*/(usr/lib|System)/'; then
  say "the bundled binary needs the libraries above" >&2
  exit 1
fi
[[ $(lipo -archs "$binary") == "$arch" ]] || { say "$binary holds $(lipo -archs "$binary"), expected $arch" >&2; exit 1; }
# The load command the loader checks: the oldest macOS that runs the binary.
minos=$(vtool -show-build "$binary" | awk '$1 == "minos" { print $2 }')
[[ $minos == "$target" ]] || { say "$binary needs macOS $minos, expected $target" >&2; exit 1; }
say "$arch binary for macOS $minos and later, simdjson $simdjson_tag"
mkdir -p "$(dirname "$out")"
cp "$binary" "$out"
