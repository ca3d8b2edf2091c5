# The commands of the README: `make demo`, `make test` and `make windows`.
# The windows preset comes last: its Wine tests use the default build's e2e suite.
PRESETS := default asan windows
JOBS ?= $(shell nproc)

.PHONY: all deps build test demo bench format clean windows

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

# tavelin.exe (mingw-w64) packed with its README and licence texts into dist/.
windows: deps
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS) --target tavelin
	scripts/package-windows.sh build/windows dist

demo: build
	scripts/demo.sh build/default

bench: build
	@for b in build/default/bench/*_bench; do echo "=== $$b"; $$b; done

format:
	clang-format -i $$(git ls-files '*.cc' '*.h')

clean:
	rm -rf build dist
