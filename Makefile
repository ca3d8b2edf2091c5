# The two commands of the README: `make demo` and `make test`.
# "fuzz" builds the fuzzing harnesses with clang; its tests replay their corpora.
PRESETS := default asan fuzz
FUZZ_SECONDS ?= 600
JOBS ?= $(shell nproc)

.PHONY: all deps build test demo bench fuzz format clean

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

bench: build
	@for b in build/default/bench/*_bench; do echo "=== $$b"; $$b; done

# Runs each fuzzing harness for FUZZ_SECONDS seconds and prints its executions.
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS)
	FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/fuzz.sh build/fuzz

format:
	clang-format -i $$(git ls-files '*.cc' '*.h')

clean:
	rm -rf build
