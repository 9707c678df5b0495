# The newcomer's two commands: `make demo` (installs and builds only the
# scorer and the plug-in, then scores the example) and `make test` (installs
# and builds everything, then runs every test).
# Others: `make sanitize` (tests under ASan+UBSan), `make bench`, `make clean`,
# `make fuzz` (the libFuzzer targets, built with clang), `make fuzz-smoke`
# (each target for FUZZ_SECONDS from its seeds; fails on any finding),
# `make install` (bnscore, the libraries, the public headers and the CMake
# and pkg-config files under PREFIX) and `make python` (the Python package,
# staged in $(BUILD)/python).

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 75
JOBS       ?= $(shell nproc)
PREFIX     ?= /usr/local
CMAKE_ARGS ?=
# The parts `make build` adds to a build directory that `make demo` made lean.
FULL_OPTIONS = -DBNSCORE_TESTS=ON -DBNSCORE_SERVICE=ON -DBNSCORE_PYTHON=ON
LEAN_OPTIONS = -DBNSCORE_TESTS=OFF -DBNSCORE_SERVICE=OFF -DBNSCORE_PYTHON=OFF

.PHONY: all bootstrap build test demo install sanitize bench fuzz fuzz-smoke python clean

all: build

bootstrap:
	@scripts/bootstrap

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(FULL_OPTIONS) $(CMAKE_ARGS)

# A build directory configured lean (by `make demo`) is configured again
# with everything.
build: bootstrap $(BUILD)/CMakeCache.txt
	@grep -qs '^BNSCORE_TESTS:BOOL=ON' $(BUILD)/CMakeCache.txt || \
	  cmake -S . -B $(BUILD) $(FULL_OPTIONS) $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Only what the demo needs: the packages of `scripts/bootstrap demo`, and
# bnscore with the plug-in (a build directory made here is lean: no tests,
# service or Python package, until `make build` or `make test`).
demo:
	@scripts/bootstrap demo
	@test -f $(BUILD)/CMakeCache.txt || \
	  cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LEAN_OPTIONS) $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS) --target bnscore bayesnet
	@scripts/demo $(BUILD)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

$(ASAN_BUILD)/CMakeCache.txt:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DBNSCORE_SANITIZE=ON $(CMAKE_ARGS)

sanitize: bootstrap $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j $(JOBS)

python: bootstrap $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target bnscore_python bnscore

bench: build
	@scripts/bench $(BUILD)
	@scripts/bench-threads $(BUILD)
	@scripts/bench-serve $(BUILD)

$(FUZZ_BUILD)/CMakeCache.txt:
	CC=clang-14 CXX=clang++-14 cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DBNSCORE_FUZZ=ON -DBNSCORE_TESTS=OFF $(CMAKE_ARGS)

fuzz: bootstrap $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target pmml_fuzzer csv_fuzzer json_fuzzer jsonl_fuzzer \
	  bif_fuzzer xmlbif_fuzzer dmg_fuzzer

fuzz-smoke: fuzz
	@fuzz/run $(FUZZ_BUILD) $(FUZZ_SECONDS) smoke

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
