# A thin wrapper over CMake. `make run` and `make test` install what is
# missing first, so both work on a fresh Debian machine.
BUILD ?= build
SANITIZE_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-bench
FUZZ_SECONDS ?= 60
CHAOS_SECONDS ?= 600
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local

.PHONY: all deps deps-run configure build run test test-asan fuzz bench chaos install package clean

all: build

# What building and running need (deps-run), or that and everything the
# tests, benchmarks, fuzzer and packaging checks need (deps).
deps:
	@./scripts/install-deps test

deps-run:
	@./scripts/install-deps run

configure:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: deps-run build
	./$(BUILD)/kestrel

test: override CMAKE_FLAGS += -DKESTREL_BUILD_TESTS=ON -DKESTREL_BUILD_BENCH=ON
test: deps build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Everything under PREFIX: bin/kestrel, the menu entry, icon, AppStream data
# and share/doc/kestrel (README, licence, ROMs with their listings).
install: deps-run build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, $(BUILD)/kestrel_<version>_<arch>.deb. Its Depends are
# read off the binary by dpkg-shlibdeps (dpkg-dev, file).
package: deps build
	cmake --build $(BUILD) --target package

# The core tests under AddressSanitizer and UndefinedBehaviorSanitizer; the
# window and the benchmarks are not built there. -O1 with line tables only
# keeps the build short and the reports readable.
test-asan: deps
	cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DKESTREL_SANITIZE=ON -DKESTREL_BUILD_TESTS=ON -DKESTREL_BUILD_APP=OFF -DKESTREL_BUILD_BENCH=OFF \
		-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS) --target core_tests
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
		ctest --test-dir $(SANITIZE_BUILD) --output-on-failure -j $(JOBS) -L core

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)

# Benchmarks in a Release build; prints a table and writes JSON (scripts/run-bench).
bench: deps
	./scripts/run-bench $(BENCH_BUILD)

# The fuzzer for FUZZ_SECONDS, seeded from roms/ and the tests' programs (scripts/run-fuzz).
fuzz: deps
	./scripts/run-fuzz $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The chaos test of the real window (tests/e2e/chaos_test.sh) for
# CHAOS_SECONDS; CHAOS_SEED replays a run.
chaos: deps build
	KESTREL_MACHINE_NAMES=$(BUILD)/tests/e2e/kestrel_machine_names CHAOS_SECONDS=$(CHAOS_SECONDS) ./tests/e2e/chaos_test.sh $(BUILD)/kestrel roms $(BUILD)/tests/e2e/chaos
