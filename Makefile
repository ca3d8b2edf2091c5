# The two commands of the README: `make demo` and `make test`; `make build`, `make package`,
# `make windows`, `make bench`, `make fuzz` and `make lint`. "default" builds with g++, "asan"
# (every target) and "fuzz" (the fuzzing harnesses) with clang; fuzz's tests replay their
# corpora. The Windows preset's Wine tests drive it from the default build's e2e suite, so
# default comes first.
# Each target installs only the packages it uses (scripts/install-deps.sh <purpose>).
PRESETS := default asan fuzz
FUZZ_SECONDS ?= 600
JOBS ?= $(shell nproc)

.PHONY: all build test demo package windows bench fuzz lint format clean

all: build

# The program and the simulator (release preset): no test suites, no benchmarks.
build:
	@scripts/install-deps.sh build
	cmake --preset release
	cmake --build --preset release -j $(JOBS)

# Every preset's build and suites. The Windows suites test the 32-bit tavelin.exe where this
# machine runs it under Wine, else the 64-bit build of the same sources (windows-x64); the
# last line says which, and why.
test:
	@scripts/install-deps.sh test
	@set -e; windows=$$(scripts/windows-test-build.sh); \
	preset=$$(printf '%s\n' "$$windows" | sed -n 1p); \
	reason=$$(printf '%s\n' "$$windows" | sed -n 2p); \
	if [ "$$preset" != windows ]; then \
	  echo "=== the Windows suites will test the 64-bit build (windows-x64): $$reason ==="; \
	fi; \
	for p in $(PRESETS) $$preset; do \
	  echo "=== preset $$p ==="; \
	  cmake --preset $$p; \
	  cmake --build --preset $$p -j $(JOBS); \
	  ctest --preset $$p -j $(JOBS); \
	done; \
	if [ "$$preset" = windows ]; then \
	  echo "=== the Windows suites tested the 32-bit build (preset windows), as delivered ==="; \
	else \
	  echo "=== the Windows suites tested the 64-bit build (preset windows-x64), not the 32-bit one: $$reason ==="; \
	fi

# The demo needs only the programs and the simulator: no test suites, no benchmarks.
demo:
	@scripts/install-deps.sh build
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	scripts/demo.sh build/release

# tavelin.exe and tavelin-calendar.exe (mingw-w64, no test suites) packed with the README and
# licence texts into dist/.
windows:
	@scripts/install-deps.sh windows
	cmake --preset windows-release
	cmake --build --preset windows-release -j $(JOBS)
	scripts/package-windows.sh build/windows-release dist

# build/release/tavelin_<version>_amd64.deb; `apt install ./build/release/tavelin_*.deb`.
package:
	@scripts/install-deps.sh package
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	cd build/release && cpack -G DEB
	@ls build/release/tavelin_*.deb

# Every benchmark program; pass arguments through BENCH_ARGS, for example
# make bench BENCH_ARGS=--benchmark_min_time=0.1 (each program prints its ratios at the end).
BENCH_ARGS ?=
bench:
	@scripts/install-deps.sh test
	cmake --preset default
	cmake --build --preset default -j $(JOBS)
	@for b in build/default/bench/*_bench; do echo "=== $$b"; $$b $(BENCH_ARGS); done

# Runs each fuzzing harness for FUZZ_SECONDS seconds and prints its executions.
fuzz:
	@scripts/install-deps.sh test
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz.sh build/fuzz

# clang-tidy over src/ and tools/ with the clang build's compile commands (configuring the
# asan preset is enough), and the clang-format check of every tracked source.
LINT_JOBS ?= 2
lint:
	@scripts/install-deps.sh lint
	cmake --preset asan >/dev/null
	JOBS=$(LINT_JOBS) scripts/lint.sh build/asan

format:
	clang-format -i $$(git ls-files '*.cc' '*.h')

clean:
	rm -rf build dist
