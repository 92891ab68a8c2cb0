# make build | test | demo | bench | windows | clean
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

WINDOWS_PACKAGES = g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 googletest zip wixl msitools

.PHONY: all deps build test demo bench windows windows-test clean

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

# The Windows programs, cross-built, their zip and their installer.
windows:
	@tools/deps.sh $(WINDOWS_PACKAGES)
	cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake $(CMAKE_FLAGS)
	cmake --build build-windows -j $(JOBS)
	@tools/windows/pack.sh build-windows

# The Windows test suites under Wine, and a relink there against one here.
windows-test: windows build
	@tools/windows/test.sh build-windows $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-*
