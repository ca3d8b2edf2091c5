# The two commands of the README: `make demo` and `make test`.
# windows first: the default preset's Wine desktop tests drive the tavelin.exe it builds.
PRESETS := windows default asan
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

bench: build
	@for b in build/default/bench/*_bench; do echo "=== $$b"; $$b; done

format:
	clang-format -i $$(git ls-files '*.cc' '*.h')

clean:
	rm -rf build
