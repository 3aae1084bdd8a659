# `make demo` and `make check`: what the README's `./run demo` and
# `./run check` hand over to once the tools are installed.
BUILD ?= build
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo -G Ninja)
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build check demo bench clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(TESTS_FLAG) $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# The tests need GoogleTest: the build directory is configured to insist on
# them, or switched over if the demo configured it without.
check: TESTS_FLAG := -DRAVLOG_TESTS=ON
check: $(BUILD)/CMakeCache.txt
	@grep -q '^RAVLOG_TESTS:[A-Z]*=ON$$' $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -DRAVLOG_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# History cutting against real binkd callers (docs/cutting.md), for
# minutes: SOAK_SECONDS of calls per part (plain, runs killed), at most
# SOAK_SESSIONS sessions each. `make check` runs it for 8 seconds.
SOAK_SECONDS ?= 90
SOAK_SESSIONS ?= 20000

.PHONY: soak

soak: TESTS_FLAG := -DRAVLOG_TESTS=ON
soak: $(BUILD)/CMakeCache.txt
	@grep -q '^RAVLOG_TESTS:[A-Z]*=ON$$' $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -DRAVLOG_TESTS=ON
	cmake --build $(BUILD) -j $(JOBS) --target ravlog ravlog_cut_fault unit_tests
	RAVLOG_SOAK_SECONDS=$(SOAK_SECONDS) RAVLOG_SOAK_SESSIONS=$(SOAK_SESSIONS) \
		timeout $$(( 2 * $(SOAK_SECONDS) + 300 )) $(BUILD)/tests/unit_tests --gtest_filter='CutSoak.*'

# The demo builds only what it runs: the three programs and histgen.
DEMO_PROGRAMS := brimsel ravlog pondrel histgen

demo: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target $(DEMO_PROGRAMS)
	BUILD=$(BUILD) ./examples/demo.sh

bench: build
	BUILD=$(BUILD) ./bench/run.sh

clean:
	rm -rf $(BUILD)

# Installation into PREFIX (DESTDIR stages it, as package builds do), and
# the Debian package of the build in $(BUILD).
PREFIX ?= /usr/local

.PHONY: install package

install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

package: build
	cmake --build $(BUILD) --target package

# Reliability: the whole suite under AddressSanitizer and UBSan (clang),
# and every fuzz target for a bounded time, FUZZ_SECONDS each.
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 20

.PHONY: sanitize fuzz-smoke

sanitize:
	CXX=clang++ cmake -S . -B $(ASAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DRAVLOG_SANITIZE=ON -DRAVLOG_WERROR=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

fuzz-smoke:
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DRAVLOG_FUZZ=ON -DRAVLOG_WERROR=ON
	cmake --build $(FUZZ_BUILD) --target fuzzers -j $(JOBS)
	tests/fuzz/smoke.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

# The README's two commands on a fresh Debian 12: a minimal root made with
# mmdebstrap, entered with chroot. Needs root, mmdebstrap and the mirror.
.PHONY: fresh-machine

fresh-machine:
	tests/packaging/fresh_machine_test.sh
