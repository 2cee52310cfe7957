#!/usr/bin/env bash
# macOS only: builds ICU as static archives for arm64 and x86_64 (on an Apple
# silicon Mac; the x86_64 half is cross-built against the arm64 build's data
# tools), for the deployment target CMakeLists.txt sets, from the source of
# the ICU release Homebrew's formula names (fetched and checksum-verified by
# brew). Homebrew's bottles are built for the runner's own macOS, and Intel
# Macs get no bottles at all. A prefix already built is kept, so a cache of
# <root> makes this a no-op. Needs: Xcode's command line tools, Homebrew.
#   scripts/macos-static-icu.sh <root>   (installs into <root>/arm64 and <root>/x86_64)
set -euo pipefail
root=${1:?usage: macos-static-icu.sh <root>}
cd "$(dirname "$0")/.."
formula=icu4c@78
target=$(sed -n 's/^set(CMAKE_OSX_DEPLOYMENT_TARGET "\([0-9.]*\)".*/\1/p' CMakeLists.txt)
say() { echo "macos-static-icu: $*"; }
[[ -f $root/arm64/lib/libicuuc.a && -f $root/x86_64/lib/libicuuc.a ]] && { say "cached in $root"; exit 0; }
mkdir -p "$root"
root=$(cd "$root" && pwd)

brew fetch --build-from-source "$formula"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tar -xzf "$(brew --cache --build-from-source "$formula")" -C "$work"
source_dir=$(echo "$work"/icu*/source)
[[ -x $source_dir/configure ]] || source_dir=$(echo "$work"/*/icu4c/source)

build() {
  local arch=$1
  shift
  mkdir -p "$work/build-$arch"
  (
    cd "$work/build-$arch"
    flags="-arch $arch -mmacosx-version-min=$target -O2"
    CC=clang CXX=clang++ CFLAGS="$flags" CXXFLAGS="$flags -std=c++17" LDFLAGS="-arch $arch" \
      "$source_dir/configure" --prefix="$root/$arch" --enable-static --disable-shared --disable-tests \
      --disable-samples --disable-extras --with-data-packaging=static "$@" >"$work/configure-$arch.log" ||
      { cat "$work/configure-$arch.log" >&2; exit 1; }
    make -j "$(sysctl -n hw.ncpu)" >"$work/make-$arch.log" 2>&1 || { tail -50 "$work/make-$arch.log" >&2; exit 1; }
    make install >/dev/null
  )
  say "$formula's ICU for $arch, macOS $target, in $root/$arch"
}
build arm64
# The data is packed by tools that must run here: the arm64 build's.
build x86_64 --host=x86_64-apple-darwin --with-cross-build="$work/build-arm64"
