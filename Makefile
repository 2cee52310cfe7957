# Front door: `make run` starts the server on the demo vault, `make test`
# builds and runs every test. Both install missing dependencies first.
# `make fuzz` runs each libFuzzer target for FUZZ_SECONDS (needs clang).
# `make bundle` packs the MCP Bundle (.mcpb) that a desktop host installs.
# `make cross-macos` compiles every source file for macOS (arm64, x86_64) with Zig.
# `make apple-check` asks what Apple's toolchain would say: clang 19 with
# libc++ over every translation unit, and src/ (Objective-C++ under ARC too)
# for both Macs at the deployment target (scripts/check-apple.sh).
# `make release-check` dry-runs the release path here: workflow lint, the
# darwin packing on Zig-built Mach-O stand-ins, server.json and the formula.
# `make mutate` runs seeded source mutants against the whole suite
# (scripts/mutate.py; MUTATE_ARGS="--sample 20 --seed 7", "--list", ...).
PRESET ?= release
BUILD  := build/$(PRESET)
VAULT  ?= examples/demo-vault
JOBS   ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: deps configure build test run asan bench fuzz package bundle cross-macos apple-check release-check mutate clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Only the server: a first `make run` need not compile every test and benchmark.
run: configure
	@cmake --build $(BUILD) -j $(JOBS) --target quillstack-mcp
	@$(BUILD)/src/quillstack-mcp --vault $(VAULT)

asan:
	@$(MAKE) test PRESET=asan

# Always the release build, whatever PRESET says: debug timings mean nothing.
# Vaults are generated once into build/bench-vaults/ (1k, 20k and 100k entries
# by default; e.g. BENCH_ARGS="--sizes 1000000" for 1M).
bench: deps
	@cmake --preset release >/dev/null
	@cmake --build build/release -j $(JOBS) --target quillstack-bench
	@build/release/bench/quillstack-bench $(BENCH_ARGS)

fuzz: deps
	@command -v clang++ >/dev/null || { echo "fuzz: needs clang++ and libclang-rt-dev" >&2; exit 1; }
	@cmake --preset fuzz >/dev/null
	@cmake --build build/fuzz -j $(JOBS)
	@fuzz/run_fuzzers.sh build/fuzz $(FUZZ_SECONDS)

cross-macos: deps
	@JOBS=$(JOBS) bash scripts/cross-macos.sh

apple-check: deps
	@JOBS=$(JOBS) bash scripts/check-apple.sh

# Asks a server binary built here (make bundle's or make build's) for the
# manifest's tools, since the Mach-O stand-ins cannot run.
release-check: deps
	@bash scripts/release-check.sh

package: build
	@cd $(BUILD) && cpack

# Its own build folder (build/bundle: ICU and simdjson linked statically, so
# the binary needs nothing on the host but the C and C++ runtimes); the .mcpb
# lands in build/release beside the other packages.
bundle: deps
	@cmake --preset bundle >/dev/null
	@cmake --build --preset bundle -j $(JOBS)
	@node packaging/mcpb/pack.mjs build/bundle/src/quillstack-mcp build/release

# Its own build folder (build/mutate, release settings, no benchmarks); the
# sources are edited in place one mutant at a time and always restored.
mutate: deps
	@python3 scripts/mutate.py $(MUTATE_ARGS)

clean:
	rm -rf build
