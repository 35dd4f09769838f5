# The README's commands. Every target installs what it needs first, so they work on a
# fresh Debian 12 machine.
BUILD_DIR ?= build
FUZZ_DIR ?= build-fuzz
SANITIZE_DIR ?= build-sanitize
BUILD_TYPE ?= RelWithDebInfo
FUZZ_SECONDS ?= 300
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
RUN_ARGS ?=

# Compiles go through ccache where the machine has it: several work trees of one machine
# then share what each has compiled.
LAUNCHER = $(if $(shell command -v ccache 2>/dev/null),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

# Our own targets treat warnings as errors; a plain cmake build does not.
CONFIGURE = cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
            -DCMAKE_INSTALL_PREFIX=$(PREFIX) -DTOLLIX_WERROR=ON $(LAUNCHER)

# Sanitizer findings end the test that reached them; leaks inside system libraries that
# are not ours are listed, each with its reason, in the suppression file.
SANITIZE_ENV = ASAN_OPTIONS=detect_stack_use_after_return=1:strict_init_order=1 \
               UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
               LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitize/lsan.supp:print_suppressions=0

.PHONY: all deps build run test test-sanitize bench bench-flood bench-flood-desktop bench-files \
        bench-sessions fuzz install \
        package format clean

all: build

# Each target names the package groups it needs beyond the build's (DEPS_GROUPS, which
# reaches `deps` through `build` too), so that missing packages come in one apt-get run.
deps:
	@scripts/install-deps.sh build $(DEPS_GROUPS)

build: deps
	@$(CONFIGURE) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/apps/tollix/tollix $(RUN_ARGS)

test: DEPS_GROUPS = test
test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

# Every test again, on a build made with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# in a folder of its own.
test-sanitize: DEPS_GROUPS = test fuzz
test-sanitize: deps
	@cmake -S . -B $(SANITIZE_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DTOLLIX_SANITIZE=ON -DTOLLIX_WERROR=ON $(LAUNCHER) >/dev/null
	@cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && $(SANITIZE_ENV) ctest --output-on-failure -j $(JOBS)

bench: build
	$(BUILD_DIR)/bench/tollix-bench

# Floods a terminal peer in network namespaces (root); never part of `make test`.
bench-flood: DEPS_GROUPS = test
bench-flood: build
	bench/flood.sh $(BUILD_DIR)

# Floods the desktop program with texts from forged senders, under Xvfb in network
# namespaces (root); never part of `make test`.
bench-flood-desktop: DEPS_GROUPS = test
bench-flood-desktop: build
	bench/flood_desktop.sh $(BUILD_DIR)

# Times a 2 GiB file sent between two network namespaces against a plain TCP copy, with both
# ends' memory, answers to announcements and private texts meanwhile (root); never part of
# `make test`.
# BENCH_FILES_ARGS passes options (--size-mib, --rounds, --sparse, --receive-dir, --rate,
# --ends).
BENCH_FILES_ARGS ?=
bench-files: DEPS_GROUPS = bench-files
bench-files: build
	bench/file_speed.py --build $(BUILD_DIR) $(BENCH_FILES_ARGS)

# Private sessions against a terminal peer in network namespaces (root): the first text and
# later ones to their ACKs, 256 sessions held, stalled handshakes, start-up; never part of
# `make test`.
bench-sessions: DEPS_GROUPS = test
bench-sessions: build
	bench/sessions.sh $(BUILD_DIR)

fuzz: DEPS_GROUPS = fuzz
fuzz: deps
	@cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTOLLIX_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_DIR) -j $(JOBS) --target fuzz-targets
	@scripts/run-fuzzers.sh $(FUZZ_DIR)/tests/fuzz $(FUZZ_SECONDS)

install: build
	cmake --install $(BUILD_DIR)

# The Debian package, checked by lintian: $(BUILD_DIR)/package/tollix_<version>_<arch>.deb
package: DEPS_GROUPS = package
package: build
	@rm -rf $(BUILD_DIR)/package
	cd $(BUILD_DIR) && cpack -G DEB -B package
	lintian --fail-on error --info $(BUILD_DIR)/package/tollix_*.deb

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(FUZZ_DIR) $(SANITIZE_DIR)
