# make build | test | demo | deb | bench | windows | clean
BUILD ?= build
CMAKE_FLAGS ?=
JOBS ?= $(shell nproc)

WINDOWS_PACKAGES = g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 googletest zip wixl msitools

.PHONY: all deps build test demo deb bench windows windows-test clean

all: build

# Building needs no test packages: the suite is configured in where GoogleTest
# is installed (make test installs it), and left out where it is not.
gtest_installed = $(shell dpkg-query -W -f='$${Status}' libgtest-dev 2>/dev/null | grep -q 'ok installed' && echo ON || echo OFF)
configure = cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOSTREL_TESTS=$(1) $(CMAKE_FLAGS)

deps:
	@tools/deps.sh build

build: deps
	$(call configure,$(gtest_installed))
	cmake --build $(BUILD) -j $(JOBS)

test:
	@tools/deps.sh test
	$(call configure,ON)
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	@tools/demo.sh $(BUILD)

# The Debian packages here, built in $(BUILD)-deb and checked by lintian:
# vostrel-cli_VERSION_amd64.deb, vostrel_VERSION_amd64.deb and their
# -dbgsym packages. CPack names those .ddeb, Ubuntu's name; Debian's archive
# names them .deb, the only name apt install takes.
deb:
	@tools/deps.sh deb
	cmake -S . -B $(BUILD)-deb -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOSTREL_TESTS=OFF \
	  -DVOSTREL_DEB=ON -DCMAKE_INSTALL_PREFIX=/usr $(CMAKE_FLAGS)
	cmake --build $(BUILD)-deb -j $(JOBS)
	rm -f $(BUILD)-deb/*.deb $(BUILD)-deb/*.ddeb vostrel_*_amd64.deb vostrel-*_amd64.deb
	cd $(BUILD)-deb && cpack
	cp $(BUILD)-deb/*_amd64.deb .
	for f in $(BUILD)-deb/*-dbgsym_*.ddeb; do cp "$$f" "$$(basename "$${f%.ddeb}").deb"; done
	lintian --fail-on error vostrel_*_amd64.deb vostrel-*_amd64.deb

bench:
	@tools/deps.sh build mdbtools time
	cmake -S . -B $(BUILD)-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOSTREL_BENCH=ON -DVOSTREL_TESTS=OFF
	cmake --build $(BUILD)-bench -j $(JOBS)
	@tools/bench.sh $(BUILD)-bench

# The Windows programs, cross-built, their zip and their installer.
windows:
	@tools/deps.sh test $(WINDOWS_PACKAGES)
	cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake $(CMAKE_FLAGS)
	cmake --build build-windows -j $(JOBS)
	@tools/windows/pack.sh build-windows

# The Windows test suites under Wine, and a relink there against one here.
windows-test: windows build
	@tools/windows/test.sh build-windows $(BUILD)

clean:
	rm -rf $(BUILD) $(BUILD)-*
