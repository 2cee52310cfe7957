#!/usr/bin/env bash
# Installs what the build, the tests and the benchmark need, skipping what is
# already present. Debian/Ubuntu: apt-get (as root, or through sudo). macOS:
# names the Homebrew packages. Also installs the interop test's, the bundle
# tool's and the release checks' npm packages.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ "$(uname -s)" == "Darwin" ]]; then
  echo "On macOS install the dependencies with Homebrew:"
  echo "  brew install cmake icu4c@78 sqlite nlohmann-json simdjson googletest google-benchmark node"
  echo "and configure with: cmake --preset release -DCMAKE_PREFIX_PATH=\"\$(brew --prefix icu4c@78);\$(brew --prefix sqlite)\""
  exit 0
fi

packages=(cmake g++ make pkg-config nlohmann-json3-dev libsimdjson-dev libicu-dev libsqlite3-dev
          googletest libgtest-dev libbenchmark-dev clang libclang-rt-dev clang-format clang-tidy nodejs npm
          ruby llvm chromium fonts-wqy-microhei fonts-noto-color-emoji clang-19 libc++-19-dev libc++abi-19-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
# A Node.js installed outside apt (nvm, a tarball) serves as well as Debian's.
if command -v node >/dev/null 2>&1 && command -v npm >/dev/null 2>&1; then
  filtered=()
  for p in "${missing[@]}"; do [[ "$p" == nodejs || "$p" == npm ]] || filtered+=("$p"); done
  missing=("${filtered[@]+"${filtered[@]}"}")
fi

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The SDK interoperability test's pinned client, the pinned bundle tool, the
# release checks' linters (ruby and llvm above are theirs too: `ruby -c`,
# llvm-lipo) and the views' SDK, bundler and browser driver (chromium and
# the CJK and emoji fonts above are their test's and screenshots'). clang-19
# with libc++ stands in for Apple's toolchain in scripts/check-apple.sh.
for folder in tests/interop packaging/mcpb tools/release-lint views; do
  if [[ -f $folder/package-lock.json ]]; then
    if [[ ! -d $folder/node_modules ]] || [[ $folder/package-lock.json -nt $folder/node_modules ]]; then
      echo "install-deps: npm ci in $folder"
      (cd "$folder" && npm ci --no-audit --no-fund --loglevel=error)
    fi
  fi
done
