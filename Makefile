# Set-up, build, render and test on Debian 12 (bookworm) or 13 (trixie). `make render` and `make test`
# install the Debian packages the project needs (when missing), by the names this machine's release
# gives them, configure and build, then render or test.

PRESET    ?= release
BUILD_DIR := build/$(PRESET)
RENDERS   := renders
JOBS      ?= $(shell nproc)
# WERROR=ON makes every compiler warning an error (CI and developers ask for it; a user's newer
# compiler may warn where ours does not, and should still build).
WERROR    ?=
WERROR_FLAG := $(if $(WERROR),-DONDREL_WERROR=$(WERROR))
# This machine's Debian release, 12 or 13, which names the LLVM packages below.
DEBIAN_RELEASE := $(shell . /etc/os-release 2>/dev/null && echo $${VERSION_ID%%.*})
LLVM_TOOL := tools/build/llvm-tool.sh

# Debian packages the build and tests need.
PACKAGES := cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
            libopenimageio-dev openimageio-tools libcli11-dev nlohmann-json3-dev libcpp-httplib-dev \
            clang-format python3 valgrind libssl-dev
# Debian packages for cross-building the Windows plug-in and running its tests under Wine.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix wine wine64 googletest
# Debian packages for cross-building the module's suites for Linux on arm64 and running them under
# qemu-aarch64 (qemu-user; GoogleTest from its sources).
ARM64_PACKAGES := g++-aarch64-linux-gnu qemu-user googletest
ARM64_TARGETS := test_plugin_shapes test_plugin_filter test_arm64_matches_gcc
# Debian packages of the cluster test, which starts a single-node Slurm cluster of its own.
CLUSTER_PACKAGES := munge slurmctld slurmd slurm-client
# The browser that the tests of `ondrel serve` drive. Node.js and npm come from Debian too, unless
# the machine has an npm already.
BROWSER_PACKAGES := chromium
NODE_PACKAGES := nodejs npm
BROWSER_TESTS := tests/browser
# LLVM for three parts, by this release's names: Debian 12's LLVM 16 by its versioned names, Debian
# 13's own LLVM 19 by its plain ones. The macOS bundle and the libc++ build need version 16 or later
# (lld 14 cannot link the bundle; the libc++ build stands for Zig's clang 16), and the build takes
# the newest installed (tools/build/llvm-tool.sh).
# - The macOS bundle, cross-built: Zig (npm, pinned in tools/build/macos/package-lock.json) compiles,
#   ld64.lld links each architecture, llvm-lipo joins them. (The bundle's tests hash its code
#   signature's pages with libssl-dev's SHA-256, in PACKAGES.)
# - The module, drawing and effect suites built with clang and libc++ (the Mac's compiler and C++
#   library) and GoogleTest from its sources.
# - The libFuzzer targets: the release's clang and its runtime libraries (libFuzzer).
ifeq ($(DEBIAN_RELEASE),12)
MAC_PACKAGES := lld-16 llvm-16
LIBCXX_PACKAGES := clang-16 libc++-16-dev libc++abi-16-dev googletest
FUZZ_PACKAGES := clang libclang-rt-14-dev
else
MAC_PACKAGES := lld llvm
LIBCXX_PACKAGES := clang libc++-dev libc++abi-dev googletest
FUZZ_PACKAGES := clang libclang-rt-dev
endif
LLVM_MIN := 16
MAC_TOOLS := tools/build/macos
MAC_BUNDLE := build/macos/OndrelShapes.plugin
# The version, from the one place that sets it: CMakeLists.txt's project().
VERSION := $(shell sed -n 's/^project.OndrelShapes VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
MAC_ZIP := dist/OndrelShapes-$(VERSION)-macos.zip
LIBCXX_TARGETS := test_plugin_shapes test_plugin_filter test_effects test_libcxx_matches_gcc
# Debian packages only the benchmarks need: Cairo and AGG, the drawing benchmark's yardsticks.
BENCH_PACKAGES := libcairo2-dev libagg-dev
# The libFuzzer targets `make fuzz` builds and runs (ondrel_fuzz_NAME; see fuzz/CMakeLists.txt),
# how long it runs each, in seconds, and the folder where it keeps the inputs each finds new, in a
# folder per target (each starts from those and from its seeds in fuzz/corpus/NAME).
FUZZ_TARGETS ?= shapes recipe values frames server
FUZZ_SECONDS ?= 60
FUZZ_CORPUS ?= build/fuzz/corpus

.PHONY: all deps configure build render test test-asan test-tsan fuzz bench format clean windows browser
.PHONY: mac mac-zip libcxx arm64

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	  else \
	    echo "Missing Debian packages:$$missing"; \
	    echo "Install them as root: sudo apt-get install$$missing"; exit 1; \
	  fi; \
	fi

configure: deps
	cmake --preset $(PRESET) $(WERROR_FLAG)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

render: build mac
	@./tools/dev/render-defaults.sh $(BUILD_DIR) $(RENDERS)

# The Windows plug-in and its test program, cross-built with mingw-w64 into build/windows.
windows: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(WINDOWS_PACKAGES)"
	cmake --preset windows $(WERROR_FLAG)
	cmake --build --preset windows -j $(JOBS)

# Chromium, Node.js and the npm packages (playwright-core, as package-lock.json pins it) for the
# browser tests; `npm ci` runs again only when the lock file changes.
browser: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(BROWSER_PACKAGES)"
	@command -v npm >/dev/null || $(MAKE) --no-print-directory deps PACKAGES="$(NODE_PACKAGES)"
	@$(MAKE) --no-print-directory $(BROWSER_TESTS)/node_modules/.package-lock.json

$(BROWSER_TESTS)/node_modules/.package-lock.json: $(BROWSER_TESTS)/package-lock.json
	cd $(BROWSER_TESTS) && npm ci --no-audit --no-fund

# The macOS bundle in build/macos/OndrelShapes.plugin: each architecture configured and built in
# build/macos/<arch> (Zig's cache in build/macos/zig-cache), then joined.
mac: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(MAC_PACKAGES)"
	@command -v npm >/dev/null || $(MAKE) --no-print-directory deps PACKAGES="$(NODE_PACKAGES)"
	@$(MAKE) --no-print-directory $(MAC_TOOLS)/node_modules/.package-lock.json
	@$(LLVM_TOOL) ld64.lld $(LLVM_MIN) "$(MAC_PACKAGES)" >/dev/null
	@$(LLVM_TOOL) llvm-lipo $(LLVM_MIN) "$(MAC_PACKAGES)" >/dev/null
	@for arch in x86_64 arm64; do \
	  cmake --preset macos-$$arch $(WERROR_FLAG) && \
	  cmake --build --preset macos-$$arch -j $(JOBS) --target OndrelShapes || exit 1; \
	done
	@$(MAC_TOOLS)/join-bundle.sh $(MAC_BUNDLE) build/macos/x86_64/plugin/OndrelShapes.plugin \
	    build/macos/arm64/plugin/OndrelShapes.plugin

$(MAC_TOOLS)/node_modules/.package-lock.json: $(MAC_TOOLS)/package-lock.json
	cd $(MAC_TOOLS) && npm ci --no-audit --no-fund

# The bundle as a zip for release, the same bytes for the same bundle (dated by the last commit).
mac-zip: mac
	@SOURCE_DATE_EPOCH=$${SOURCE_DATE_EPOCH:-$$(git log -1 --format=%ct 2>/dev/null)} \
	    python3 tools/release/zip_bundle.py $(MAC_BUNDLE) $(MAC_ZIP) README.md=README.md LICENSE=LICENSE.txt

libcxx: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(LIBCXX_PACKAGES)"
	@$(LLVM_TOOL) clang++ $(LLVM_MIN) "$(LIBCXX_PACKAGES)" >/dev/null
	cmake --preset libcxx $(WERROR_FLAG) -DCMAKE_C_COMPILER=$$($(LLVM_TOOL) clang $(LLVM_MIN)) \
	    -DCMAKE_CXX_COMPILER=$$($(LLVM_TOOL) clang++ $(LLVM_MIN))
	cmake --build --preset libcxx -j $(JOBS) --target $(LIBCXX_TARGETS)

# The module's suites and the reference renders' comparison, built for Linux on arm64 into
# build/arm64; `make test` runs them under qemu-aarch64 (tests/arm64).
arm64: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(ARM64_PACKAGES)"
	cmake --preset arm64 $(WERROR_FLAG)
	cmake --build --preset arm64 -j $(JOBS) --target $(ARM64_TARGETS)

test: browser build windows mac libcxx arm64
	@$(MAKE) --no-print-directory deps PACKAGES="$(CLUSTER_PACKAGES)"
	ctest --preset $(PRESET) -j $(JOBS)

test-asan:
	$(MAKE) test PRESET=asan

# ThreadSanitizer covers the threaded paths: the host's worker pool, the band split and drawing on
# several threads, whole renders, the gate that keeps only the newest preview render, and the
# thread that writes a job's frames. Each suite runs as one process, which TSan starts far faster
# than one process per test.
TSAN_SUITES := tests/host/callbacks/test_host_callbacks tests/host/instance/test_host_instance \
               tests/host/module/test_host_module tests/host/pixels/test_host_pixels \
               tests/host/system/test_host_system tests/plugin/ondrel/test_plugin_ondrel \
               tests/plugin/filter/test_plugin_filter tests/effects/test_effects \
               tests/serve/test_serve tests/cli/core/test_cli_core

test-tsan:
	$(MAKE) configure PRESET=tsan
	cmake --build --preset tsan -j $(JOBS) --target $(notdir $(TSAN_SUITES))
	@for t in $(TSAN_SUITES); do echo "== $$t"; TSAN_OPTIONS=halt_on_error=1 build/tsan/$$t || exit 1; done

# Each libFuzzer target for FUZZ_SECONDS. An input that fails is written to build/fuzz/NAME-crash-...
# (or -timeout-, -oom-); run build/fuzz/fuzz/ondrel_fuzz_NAME on that file to see it again.
fuzz: deps
	@$(MAKE) --no-print-directory deps PACKAGES="$(FUZZ_PACKAGES)"
	cmake --preset fuzz $(WERROR_FLAG)
	cmake --build --preset fuzz -j $(JOBS) --target $(addprefix ondrel_fuzz_,$(FUZZ_TARGETS))
	@for t in $(FUZZ_TARGETS); do \
	  echo "== ondrel_fuzz_$$t"; mkdir -p $(FUZZ_CORPUS)/$$t; \
	  build/fuzz/fuzz/ondrel_fuzz_$$t -max_total_time=$(FUZZ_SECONDS) -timeout=20 \
	      -rss_limit_mb=4096 -artifact_prefix=build/fuzz/$$t- $(FUZZ_CORPUS)/$$t fuzz/corpus/$$t \
	      || exit 1; \
	done

# make install, make dist and make test-dist.
include packaging/dist.mk

# The benchmark programs (BLEND2D_DIR=path/to/a/blend2d/install adds Blend2D to the drawing
# benchmark's yardsticks: ../shared/yardsticks/build-blend2d builds one), then the preview's latency as a user meets it, in chromium
# (bench/preview-latency.mjs; PREVIEW_BASELINE=path/to/an/older/ondrel compares with another build),
# then the writing of frames (bench/frames.py; BASELINE=path/to/an/older/ondrel likewise).
bench: browser
	@$(MAKE) --no-print-directory deps PACKAGES="$(BENCH_PACKAGES)"
	@$(MAKE) --no-print-directory configure
	cmake -B $(BUILD_DIR) -DBLEND2D_DIR=$(BLEND2D_DIR)
	@$(MAKE) --no-print-directory build
	@for b in $(BUILD_DIR)/bench/bench_*; do echo "== $$b"; $$b; done
	@echo "== bench/preview-latency.mjs"
	node bench/preview-latency.mjs $(BUILD_DIR) $(if $(PREVIEW_BASELINE),--baseline $(PREVIEW_BASELINE))
	@echo "== bench/frames.py"
	python3 bench/frames.py --ondrel $(BUILD_DIR)/cli/ondrel $(if $(BASELINE),--baseline $(BASELINE))

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf build $(RENDERS) dist
