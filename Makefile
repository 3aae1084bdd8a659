# The two commands a newcomer needs: `make demo` and `make check`.
BUILD ?= build
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo -G Ninja)
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build check demo bench clean

all: build

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

check: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	BUILD=$(BUILD) ./examples/demo.sh

bench: build
	BUILD=$(BUILD) ./bench/run.sh

clean:
	rm -rf $(BUILD)
