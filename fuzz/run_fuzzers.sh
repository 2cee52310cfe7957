#!/usr/bin/env bash
# Runs each fuzz target for a while over a scratch copy of its seed corpus
# and fails, showing the end of its log, when one of them finds a crash.
# Usage: fuzz/run_fuzzers.sh BUILD_DIR SECONDS [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:?build directory}
seconds=${2:?seconds per target}
shift 2
targets=("$@")
((${#targets[@]})) || targets=(server dashboard vocab search)

# Crash inputs and logs stay in the build tree for inspection; the corpus the
# fuzzers grow lives in a scratch folder so the repository never changes.
out="$build/fuzz-runs"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/qs-fuzz-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$out"

failed=()
for t in "${targets[@]}"; do
  bin="$build/fuzz/fuzz_$t"
  [[ -x "$bin" ]] || { echo "fuzz: $bin is missing (build the fuzz preset first)" >&2; exit 1; }
  corpus="$scratch/corpus-$t"
  mkdir -p "$corpus" "$out/$t"
  cp fuzz/corpus/"$t"/* "$corpus"/
  log="$out/$t.log"
  dict=()
  [[ -f "fuzz/dict/$t.dict" ]] && dict=(-dict="fuzz/dict/$t.dict")
  echo "fuzz: $t for ${seconds}s (log: $log)"
  # The server target writes a scratch vault under TMPDIR; keep it in ours.
  if TMPDIR="$scratch" "$bin" -max_total_time="$seconds" -timeout=60 -print_final_stats=1 \
        -artifact_prefix="$out/$t/" ${dict[@]+"${dict[@]}"} "$corpus" "fuzz/regressions/$t" >"$log" 2>&1; then
    grep '^Done' "$log" | sed "s/^/fuzz: $t: /" || true
  else
    failed+=("$t")
    echo "fuzz: $t FAILED; end of its log (server chatter left out):" >&2
    grep -v '^\[quillstack-mcp\]' "$log" | tail -n 80 >&2
    echo "fuzz: crash inputs in $out/$t/; keep each in fuzz/regressions/$t/ once fixed" >&2
  fi
done

if ((${#failed[@]})); then
  echo "fuzz: crashes found in: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: no crash in ${targets[*]}"
