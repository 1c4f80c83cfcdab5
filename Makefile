# The two commands of the README:
#   make demo   installs what is missing, builds, and runs the programmer tools
#               on the virtual programmer
#   make test   installs what is missing, builds, and runs the whole test suite
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build demo test package sanitize tsan fuzz clean

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

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan $(BUILD)-fuzz $(BUILD)-package
