# The two commands of the README:
#   make demo   installs what the Linux build needs, builds the programs (no
#               tests) and runs the programmer tools and pic-prog on the
#               virtual programmer; its files stay in $(BUILD)/demo-output/
#   make test   installs what the build and its tests need, builds, and runs
#               the whole test suite
# Each target installs only its own groups of scripts/install-deps; `make deps`
# installs them all.
#   make windows        the Windows build: build-win32/ (i686, the deliverables,
#                       laid out in dist/windows/) and build-win64/ (x86_64, the
#                       same sources, for the tests under Wine)
#   make windows-test   that build's tests: static checks of the i686 files
#                       (each file of dist/windows imports only what Windows
#                       XP SP3 exports), the x86_64 tests under Wine
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps deps-% configure build demo test package sanitize tsan fuzz windows windows-test clean

all: build

deps:
	@scripts/install-deps

deps-%:
	@scripts/install-deps $(subst +, ,$*)

configure: deps-build+test
	@cmake -S . -B $(BUILD) -G Ninja -DBENCH_WERROR=ON -DBUILD_TESTING=ON >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# A build tree made by `make test` keeps its tests; a new one has none, so that
# the demo needs neither GoogleTest, benchmark nor umockdev.
demo: deps-build
	@if [ -f $(BUILD)/CMakeCache.txt ]; then testing=; else testing=-DBUILD_TESTING=OFF; fi; \
	  cmake -S . -B $(BUILD) -G Ninja -DBENCH_WERROR=ON $$testing >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)
	@scripts/demo $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

# The Debian package vantrel-bench_<version>_amd64.deb, checked with lintian
# and installed, removed and purged in a scratch dpkg tree.
package: deps-build+package
	@JOBS=$(JOBS) scripts/package $(BUILD)-package

# The same suite once more, built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps-build+test+sanitize
	@cmake -S . -B $(BUILD)-asan -G Ninja -DBENCH_WERROR=ON -DBENCH_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(BUILD)-asan -j $(JOBS)
	@cd $(BUILD)-asan && ctest --output-on-failure -j $(JOBS) --timeout 900 -LE no-sanitize

# The thermometer's threads under ThreadSanitizer.
tsan: deps-build+test+sanitize
	@cmake -S . -B $(BUILD)-tsan -G Ninja -DBENCH_WERROR=ON -DBENCH_TSAN=ON -DCMAKE_BUILD_TYPE=Debug \
	  -DBENCH_PARTS="common;thermometer" >/dev/null
	@cmake --build $(BUILD)-tsan -j $(JOBS)
	@cd $(BUILD)-tsan && ctest --output-on-failure -j $(JOBS) --timeout 900 -L threads

# Every reader of outside input under libFuzzer, each for a fixed time.
fuzz: deps-build+test+sanitize
	@scripts/fuzz $(BUILD)-fuzz

WINDOWS_CMAKE = -G Ninja -DBENCH_WERROR=ON -DCMAKE_BUILD_TYPE=Release

windows: deps-windows
	@cmake -S . -B build-win32 $(WINDOWS_CMAKE) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake >/dev/null
	@cmake --build build-win32 -j $(JOBS)
	@rm -rf dist/windows
	@cmake --install build-win32 --prefix dist/windows >/dev/null
	@echo "dist/windows: $$(ls dist/windows | xargs)"
	@rm -f dist/vantrel-bench-windows.zip
	@cd dist && cmake -E tar cf vantrel-bench-windows.zip --format=zip windows
	@cmake -S . -B build-win64 $(WINDOWS_CMAKE) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake >/dev/null
	@cmake --build build-win64 -j $(JOBS)

windows-test: windows
	@scripts/xp-imports-check cmake/windows/xp-sp3-exports.txt dist/windows/*.exe dist/windows/*.dll
	@cd build-win32 && ctest --output-on-failure -j $(JOBS) --timeout 300
	@cd build-win64 && ctest --output-on-failure -j $(JOBS) --timeout 600

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-fuzz $(BUILD)-package build-win32 build-win64 dist
