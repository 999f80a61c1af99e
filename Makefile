# Tarnwick — `make demo` and `make test` are the two everyday commands.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_LAUNCHER ?= $(if $(shell command -v ccache),-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

.PHONY: all deps build test test-asan demo fuzz bench format clean

all: build

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build build -j $(JOBS)

test: build
	@cd build && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	@cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON -DTARNWICK_BENCH=OFF >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The libFuzzer targets only (built with clang; through ccache when there is one).
fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_FUZZ=ON -DTARNWICK_BENCH=OFF $(FUZZ_LAUNCHER) >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzz_targets

bench: build
	@for b in build/bin/bench_*; do echo "== $$b"; $$b; done

demo: build
	@bash scripts/demo.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-fuzz
