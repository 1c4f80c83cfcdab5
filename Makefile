# The two commands of the README:
#   make demo   installs what is missing, builds, and runs the programmer tools
#               on the virtual programmer
#   make test   installs what is missing, builds, and runs the whole test suite
#   make windows        the Windows build: build-win32/ (i686, the deliverables,
#                       laid out in dist/windows/) and build-win64/ (x86_64, the
#                       same sources, for the tests under Wine)
#   make windows-test   that build's tests: static checks of the i686 files
#                       (each file of dist/windows imports only what Windows
#                       XP SP3 exports), the x86_64 tests under Wine
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build demo test package sanitize tsan fuzz windows windows-test clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DBENCH_WERROR=ON >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

demo: build
	@scripts/demo $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS) --timeout 600

# The Debian package vantrel-bench_<version>_amd64.deb, checked with lintian
# and installed, removed and purged in a scratch dpkg tree.
package: deps
	@JOBS=$(JOBS) scripts/package $(BUILD)-package

# The same suite once more, built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	@cmake -S . -B $(BUILD)-asan -G Ninja -DBENCH_WERROR=ON -DBENCH_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(BUILD)-asan -j $(JOBS)
	@cd $(BUILD)-asan && ctest --output-on-failure -j $(JOBS) --timeout 900 -LE no-sanitize

# The thermometer's threads under ThreadSanitizer.
tsan: deps
	@cmake -S . -B $(BUILD)-tsan -G Ninja -DBENCH_WERROR=ON -DBENCH_TSAN=ON -DCMAKE_BUILD_TYPE=Debug \
	  -DBENCH_PARTS="common;thermometer" >/dev/null
	@cmake --build $(BUILD)-tsan -j $(JOBS)
	@cd $(BUILD)-tsan && ctest --output-on-failure -j $(JOBS) --timeout 900 -L threads

# Every reader of outside input under libFuzzer, each for a fixed time.
fuzz: deps
	@scripts/fuzz $(BUILD)-fuzz

WINDOWS_CMAKE = -G Ninja -DBENCH_WERROR=ON -DCMAKE_BUILD_TYPE=Release

windows: deps
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
