#!/usr/bin/env bash
# Completes a release's files in <dist>, which already holds the bundles and
# packages: the source tarball, server.json for the MCP Registry (its package
# the darwin bundle), the Homebrew formula for the tarball, each checked
# (server.json against the registry's schema vendored in packaging/registry,
# the formula with `ruby -c`), and SHA256SUMS over everything.
#   scripts/release-assets.sh <owner/repo> <tag> <dist> [source ref, default the tag]
set -euo pipefail
(($# == 3 || $# == 4)) || { echo "usage: release-assets.sh <owner/repo> <tag> <dist> [source ref]" >&2; exit 2; }
repo=$1 tag=$2 dist=$3 ref=${4:-$2}
version=${tag#v}
cd "$(dirname "$0")/.."
say() { echo "release-assets: $*"; }

shopt -s nullglob
bundles=("$dist"/quillstack-mcp-"$version"-darwin-universal.mcpb)
((${#bundles[@]} == 1)) || { say "no quillstack-mcp-$version-darwin-universal.mcpb in $dist" >&2; exit 1; }

tarball=$dist/quillstack-mcp-$version.tar.gz
git archive --format=tar.gz --prefix="quillstack-mcp-$version/" -o "$tarball" "$ref"
say "source: $tarball ($ref)"

node scripts/fill-server-json.mjs "$repo" "$tag" "${bundles[0]}" "$dist/server.json"
lint=tools/release-lint
if [[ ! -d $lint/node_modules || $lint/package-lock.json -nt $lint/node_modules/.package-lock.json ]]; then
  (cd "$lint" && npm ci --no-audit --no-fund --loglevel=error)
fi
# The schema is draft-07 (Ajv's default draft); its "example" annotations are not keywords Ajv knows.
"$lint/node_modules/.bin/ajv" validate --strict=false -c ajv-formats \
  -s packaging/registry/server.schema.json -d "$dist/server.json"

bash scripts/fill-formula.sh "$repo" "$tag" "$tarball" "$dist/quillstack-mcp.rb"
ruby -c "$dist/quillstack-mcp.rb"

(cd "$dist" && rm -f SHA256SUMS && sha256sum -- * >SHA256SUMS.tmp && mv SHA256SUMS.tmp SHA256SUMS)
say "$dist/SHA256SUMS:"
sed 's/^/  /' "$dist/SHA256SUMS"
