#!/usr/bin/env bash
# The first-run probe, on each kind of Mac a release serves: prints what a
# Linux build cannot know and fails loudly where an assumption is wrong: the
# toolchain (Xcode, SDK, clang), the Homebrew packages used, the bundle
# binary's minimum macOS per slice, then the system calls the server relies
# on (tools/macos-probe/probe.mm). With --formula (Apple silicon), also
# `brew audit --strict` of the formula and `brew install --HEAD` plus
# `brew test` of it from a local tap.
#   scripts/macos-probe.sh <darwin .mcpb> [--formula]
set -euo pipefail
bundle=$(cd "$(dirname "${1:?usage: macos-probe.sh <darwin .mcpb> [--formula]}")" && pwd)/$(basename "$1")
formula=${2:-}
cd "$(dirname "$0")/.."
target=$(sed -n 's/^set(CMAKE_OSX_DEPLOYMENT_TARGET "\([0-9.]*\)".*/\1/p' CMakeLists.txt)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
section() { printf '\n== %s\n' "$*"; }
fail() { echo "macos-probe: $*" >&2; exit 1; }

section "system and toolchain"
sw_vers
uname -m
xcodebuild -version
echo "SDK $(xcrun --show-sdk-version) at $(xcrun --show-sdk-path)"
clang --version | head -n 1

section "Homebrew packages"
if [[ $formula == --formula ]]; then
  brew --version | head -n 1
  brew list --versions icu4c@78 nlohmann-json simdjson googletest google-benchmark || true
else
  echo "none: this runner builds nothing"
fi

section "the bundle's binary"
unzip -q "$bundle" -d "$work/bundle"
binary=$work/bundle/server/quillstack-mcp
file "$binary"
for arch in arm64 x86_64; do
  minos=$(vtool -arch "$arch" -show-build "$binary" | awk '$1 == "minos" { print $2 }')
  echo "$arch: macOS $minos and later"
  [[ $minos == "$target" ]] || fail "the $arch slice needs macOS $minos, the deployment target is $target"
done
codesign --verify --strict --verbose=2 "$binary"
"$binary" --version

section "system calls"
clang++ -std=c++20 -fobjc-arc -Wall -Wextra -Werror -mmacosx-version-min="$target" \
  tools/macos-probe/probe.mm -framework Foundation -o "$work/probe"
"$work/probe" "$work/scratch"

if [[ $formula == --formula ]]; then
  section "the Homebrew formula"
  tap=local/quillstack-probe
  brew tap-new --no-git "$tap" >/dev/null
  formula_dir=$(brew --repository "$tap")/Formula
  cp packaging/homebrew/quillstack-mcp.rb "$formula_dir/"
  brew audit --strict --formula "$tap/quillstack-mcp"
  # --HEAD from this checkout, not from the published repository.
  git branch -f qs-probe-head HEAD
  sed -i '' "s|^  head .*|  head \"file://$PWD\", branch: \"qs-probe-head\"|" "$formula_dir/quillstack-mcp.rb"
  brew install --HEAD "$tap/quillstack-mcp"
  brew test "$tap/quillstack-mcp"
  brew uninstall quillstack-mcp
fi
echo
echo "macos-probe: passed"
