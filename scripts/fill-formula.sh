#!/usr/bin/env bash
# Writes the Homebrew formula of a release: homepage, head and url pointed at
# the repository, sha256 of the source tarball the release attaches.
#   scripts/fill-formula.sh <owner/repo> <tag> <source tarball> <output .rb>
set -euo pipefail
(($# == 4)) || { echo "usage: fill-formula.sh <owner/repo> <tag> <source tarball> <output .rb>" >&2; exit 2; }
repo=$1 tag=$2 tarball=$3 out=$4
here=$(cd "$(dirname "$0")/.." && pwd)
sha=$(sha256sum "$tarball" | cut -d' ' -f1)
url="https://github.com/$repo/releases/download/$tag/$(basename "$tarball")"
sed -e "s|^  homepage \".*\"|  homepage \"https://github.com/$repo\"|" \
    -e "s|^  url \".*\"|  url \"$url\"|" \
    -e "s|^  sha256 \".*\"|  sha256 \"$sha\"|" \
    -e "s|^  head \"[^\"]*\"|  head \"https://github.com/$repo.git\"|" \
    "$here/packaging/homebrew/quillstack-mcp.rb" >"$out"
# Every line the release depends on was there to rewrite.
for want in "homepage \"https://github.com/$repo\"" "url \"$url\"" "sha256 \"$sha\"" "head \"https://github.com/$repo.git\""; do
  grep -qF "  $want" "$out" || { echo "fill-formula: no '$want' in $out" >&2; exit 1; }
done
echo "formula: $out ($url, sha256 $sha)"
