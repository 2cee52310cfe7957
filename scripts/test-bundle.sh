#!/usr/bin/env bash
# Runs a packed MCP Bundle the way a desktop host does (tests/interop/bundle.test.mjs):
# the darwin bundle on each kind of Mac, without a build folder.
#   scripts/test-bundle.sh <bundle .mcpb>
set -euo pipefail
bundle=$(realpath "${1:?usage: test-bundle.sh <bundle .mcpb>}")
cd "$(dirname "$0")/.."
for folder in tests/interop packaging/mcpb; do
  (cd "$folder" && npm ci --no-audit --no-fund --loglevel=error)
done
QS_SOURCE_DIR=$PWD QS_BUNDLE=$bundle node tests/interop/bundle.test.mjs
