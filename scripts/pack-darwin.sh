#!/usr/bin/env bash
# The darwin MCP Bundle: joins an arm64 and an x86_64 server binary into one
# universal binary, signs it (its last change), notarizes it when the
# credentials are there, and packs it. A bundle's manifest names an OS, not an
# architecture, so one darwin bundle has to serve both kinds of Mac.
#   scripts/pack-darwin.sh <arm64 binary> <x86_64 binary> <output folder> [--tools-from <binary>]
# --tools-from: a build of the same sources that runs here, asked for the
# manifest's tools when the universal binary cannot run (a dry run on Linux).
#
# Signing, on macOS only (codesign is Apple's):
#   always             ad hoc (`codesign --sign -`): Apple silicon runs nothing unsigned;
#   QS_SIGN_IDENTITY   a "Developer ID Application: ..." identity in the keychain:
#                      hardened runtime and a secure time stamp instead;
#   QS_NOTARY_KEY, QS_NOTARY_KEY_ID, QS_NOTARY_ISSUER
#                      an App Store Connect API key (file, id, issuer): the
#                      signed binary is notarized with notarytool.
# The .mcpb itself stays unsigned: hosts today refuse `mcpb sign`'s output.
set -euo pipefail
usage="usage: pack-darwin.sh <arm64 binary> <x86_64 binary> <output folder> [--tools-from <binary>]"
(($# == 3 || $# == 5)) || { echo "$usage" >&2; exit 2; }
arm64=$1 x86_64=$2 out=$3
pack_args=(--platform darwin --arch universal)
if (($# == 5)); then
  [[ $4 == --tools-from ]] || { echo "$usage" >&2; exit 2; }
  pack_args+=(--tools-from "$5")
fi
here=$(cd "$(dirname "$0")/.." && pwd)
say() { echo "pack-darwin: $*"; }

# Apple's lipo on a Mac; LLVM's (Debian names it llvm-lipo-<version>) elsewhere.
lipo=$(command -v lipo || command -v llvm-lipo || compgen -c llvm-lipo- | sort -t- -k3 -n | tail -n 1 || true)
[[ -n $lipo ]] && command -v "$lipo" >/dev/null || { say "no lipo (on Debian: apt-get install llvm)" >&2; exit 1; }
archs() { "$lipo" -archs "$1" | xargs -n1 | sort | xargs; }

for pair in "arm64:$arm64" "x86_64:$x86_64"; do
  want=${pair%%:*} file=${pair#*:}
  got=$(archs "$file") || { say "$file is not a Mach-O binary" >&2; exit 1; }
  [[ $got == "$want" ]] || { say "$file holds '$got', expected $want" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
binary=$work/quillstack-mcp
"$lipo" -create -output "$binary" "$arm64" "$x86_64"
chmod 755 "$binary"
[[ $(archs "$binary") == "arm64 x86_64" ]] || { say "the joined binary holds '$(archs "$binary")'" >&2; exit 1; }
say "joined arm64 and x86_64 with $lipo"

if ! command -v codesign >/dev/null; then
  say "codesign not found (not macOS): signing skipped, this bundle is a dry run only"
elif [[ -z ${QS_SIGN_IDENTITY:-} ]]; then
  codesign --force --sign - "$binary"
  codesign --verify --strict --verbose=2 "$binary"
  say "signed ad hoc (no QS_SIGN_IDENTITY: not Developer ID, not notarized)"
else
  codesign --force --options runtime --timestamp --sign "$QS_SIGN_IDENTITY" "$binary"
  codesign --verify --strict --verbose=2 "$binary"
  say "signed with $QS_SIGN_IDENTITY, hardened runtime"
  if [[ -n ${QS_NOTARY_KEY:-} && -n ${QS_NOTARY_KEY_ID:-} && -n ${QS_NOTARY_ISSUER:-} ]]; then
    # notarytool takes archives, not bare binaries; a bare binary cannot be
    # stapled either, so Gatekeeper looks its ticket up online.
    ditto -c -k --keepParent "$binary" "$work/notarize.zip"
    xcrun notarytool submit "$work/notarize.zip" --key "$QS_NOTARY_KEY" \
      --key-id "$QS_NOTARY_KEY_ID" --issuer "$QS_NOTARY_ISSUER" --wait --timeout 30m \
      --output-format json | tee "$work/notary.json"
    grep -q '"status" *: *"Accepted"' "$work/notary.json" || { say "notarization was not accepted" >&2; exit 1; }
    say "notarized"
  else
    say "no notary credentials (QS_NOTARY_KEY, QS_NOTARY_KEY_ID, QS_NOTARY_ISSUER): not notarized"
  fi
fi

log=$work/pack.log
node "$here/packaging/mcpb/pack.mjs" "$binary" "$out" "${pack_args[@]}" | tee "$log"
bundle=$(sed -n 's/^bundle: //p' "$log")
# What a host will unpack: both architectures, and the signature intact.
node "$here/packaging/mcpb/node_modules/@anthropic-ai/mcpb/dist/cli/cli.js" unpack "$bundle" "$work/unpacked" >/dev/null
packed=$work/unpacked/server/quillstack-mcp
[[ $(archs "$packed") == "arm64 x86_64" ]] || { say "the bundle's binary holds '$(archs "$packed")'" >&2; exit 1; }
if command -v codesign >/dev/null; then
  codesign --verify --strict "$packed"
fi
say "$bundle holds a universal binary ($(archs "$packed"))"
