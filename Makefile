# The two commands of the README: `make demo` and `make test`.
PRESETS := default asan
JOBS ?= $(shell nproc)

.PHONY: all deps build test demo bench format clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset default
	cmake --build --preset default -j $(JOBS)

test: deps
	@set -e; for p in $(PRESETS); do \
	  echo "=== preset $$p ==="; \
	  cmake --preset $$p; \
	  cmake --build --preset $$p -j $(JOBS); \
	  ctest --preset $$p -j $(JOBS); \
	done

demo: build
	scripts/demo.sh build/default

# Every benchmark program; pass arguments through BENCH_ARGS, for example
# make bench BENCH_ARGS=--benchmark_min_time=0.1 (each program prints its ratios at the end).
BENCH_ARGS ?=
bench: build
	@for b in build/default/bench/*_bench; do echo "=== $$b"; $$b $(BENCH_ARGS); done

format:
	clang-format -i $$(git ls-files '*.cc' '*.h')

clean:
	rm -rf build
