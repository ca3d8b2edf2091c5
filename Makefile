# The two commands of the README: `make demo` and `make test`; `make package`, `make windows`,
# `make fuzz` and `make lint`. "default" builds with g++, "asan" and "fuzz" with clang; fuzz's
# tests replay their corpora. The windows preset's Wine tests drive it from the default
# build's e2e suite, so default comes first.
PRESETS := default asan fuzz windows
FUZZ_SECONDS ?= 600
JOBS ?= $(shell nproc)

.PHONY: all deps build test demo package windows bench fuzz lint format clean

all: build

deps:
	@scripts/install-deps.sh all

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

# A machine whose kernel runs no 32-bit code cannot run the 32-bit tavelin.exe under Wine;
# there the Windows suites run the 64-bit build of the same sources (preset windows-x64).
test: deps
	@set -e; for p in $(PRESETS); do \
	  if [ "$$p" = windows ] && ! scripts/runs-32bit-code.sh; then \
	    echo "=== this machine runs no 32-bit programs: the Windows suites test the 64-bit build ==="; \
	    p=windows-x64; \
	  fi; \
	  echo "=== preset $$p ==="; \
	  cmake --preset $$p; \
	  cmake --build --preset $$p -j $(JOBS); \
	  ctest --preset $$p -j $(JOBS); \
	done

# The demo needs only the program and the simulator: no test suites, no benchmarks.
demo:
	@scripts/install-deps.sh build
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	scripts/demo.sh build/release

# tavelin.exe (mingw-w64) packed with its README and licence texts into dist/.
windows: deps
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS) --target tavelin
	scripts/package-windows.sh build/windows dist

# build/release/tavelin_<version>_amd64.deb; `apt install ./build/release/tavelin_*.deb`.
package: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS)
	cd build/release && cpack -G DEB
	@ls build/release/tavelin_*.deb

# Every benchmark program; pass arguments through BENCH_ARGS, for example
# make bench BENCH_ARGS=--benchmark_min_time=0.1 (each program prints its ratios at the end).
BENCH_ARGS ?=
bench: build
	@for b in build/default/bench/*_bench; do echo "=== $$b"; $$b $(BENCH_ARGS); done

# Runs each fuzzing harness for FUZZ_SECONDS seconds and prints its executions.
fuzz: deps
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
