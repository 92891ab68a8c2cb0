# make build | test | demo | bench | clean
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

.PHONY: all deps build test demo bench clean

all: build

deps:
	@tools/deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	@tools/demo.sh $(BUILD)

bench: deps
	@tools/deps.sh time
	cmake -S . -B $(BUILD)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOSTREL_BENCH=ON -DVOSTREL_TESTS=OFF
	cmake --build $(BUILD)-bench -j $(JOBS)
	@tools/bench.sh $(BUILD)-bench

clean:
	rm -rf $(BUILD) $(BUILD)-*
