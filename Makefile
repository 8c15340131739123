# Set-up, build and tests on a Debian machine. `make test` and `make run` do everything,
# including installing the Debian packages the project needs.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
# ccache, when present, lets the several build folders share their compiled objects.
LAUNCHER   := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

.PHONY: all deps configure build test run asan-test fuzz hostile bench package format tidy clean

all: build

deps:
	scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWAVORAX_WERROR=ON $(LAUNCHER) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Starts the desktop program when it is built, else the command-line front end's help.
run: build
	@if [ -x $(BUILD)/ui/wavorax ]; then $(BUILD)/ui/wavorax; \
	elif [ -x $(BUILD)/cli/wavorax-cli ]; then $(BUILD)/cli/wavorax-cli --help; \
	else echo "No front end is built yet: the engine and its tests are all there is."; fi

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
asan-test: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWAVORAX_WERROR=ON \
	  -DWAVORAX_SANITIZE=ON -DWAVORAX_BENCH=OFF -DCMAKE_CXX_FLAGS=-O1 $(LAUNCHER) $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

# libFuzzer targets, built with clang (run them from $(FUZZ_BUILD)/fuzz/).
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DWAVORAX_FUZZ=ON -DWAVORAX_GUI=OFF -DWAVORAX_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# Not part of CI: 20 000 damaged copies of real files through the sanitizer build of
# wavorax-cli (list, WAV, MP3); findings in $(ASAN_BUILD)/hostile/findings.
hostile: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWAVORAX_WERROR=ON \
	  -DWAVORAX_SANITIZE=ON -DWAVORAX_BENCH=OFF -DCMAKE_CXX_FLAGS=-O1 $(LAUNCHER) $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target wavorax-cli
	scripts/hostile --cli $(ASAN_BUILD)/cli/wavorax-cli --out $(ASAN_BUILD)/hostile

bench: build
	scripts/install-deps --bench
	@for b in $(BUILD)/bench/bench_*; do [ -x "$$b" ] && "$$b"; done; true

# A Debian package of both programs in $(BUILD), checked by lintian.
package: build
	cd $(BUILD) && rm -f wavorax_*.deb && cpack -G DEB
	lintian --fail-on error $(BUILD)/wavorax_*.deb

# The layout: check-format fails on a file that clang-format would change; format fixes them.
format:
	scripts/check-format --fix

# clang-tidy's bugprone and performance checks over the project's own sources.
tidy: configure
	git ls-files '*.cpp' | grep -v -e '^fuzz/' -e '^tests/' -e '^bench/' | \
	  xargs -P $(JOBS) -n 8 clang-tidy -p $(BUILD) --quiet

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
