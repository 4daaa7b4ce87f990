# Two entry points for a new machine: `make demo` and `make test`.
RELEASE := build/release
ASAN    := build/asan
TSAN    := build/tsan
WINDOWS := build/windows
WINDOWS64 := build/windows-x64
JOBS    ?= 2
# Seconds per fuzzer for `make fuzz`, and for the short run `make test` makes.
FUZZ_SECONDS       ?= 300
FUZZ_CHECK_SECONDS ?= 20

CONFIGURE = cmake -S . -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: deps release-tree demo test test-release test-install test-asan test-tsan test-tsan-run test-windows test-dist test-fuzz fuzz \
        windows dist bench bench-peers bench-render soak install format clean

deps:
	@scripts/install-deps

# The release tree with its tests and benchmarks. `make demo` may have made it without
# them, for speed; the first target that needs them turns them on, keeping what is built.
release-tree:
	@if ! test -f $(RELEASE)/build.ninja || \
	    grep -qE '^QUELOR_(TESTS|BENCH):BOOL=OFF' $(RELEASE)/CMakeCache.txt; then \
	    $(CONFIGURE) -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DQUELOR_TESTS=ON -DQUELOR_BENCH=ON; \
	fi

$(ASAN)/build.ninja:
	$(CONFIGURE) -B $(ASAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELOR_SANITIZE=ON -DQUELOR_BENCH=OFF

# Assertions on (the lock's debug checks), optimised enough for the stress tool.
$(TSAN)/build.ninja:
	$(CONFIGURE) -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
	    -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DQUELOR_TSAN=ON -DQUELOR_BENCH=OFF

# Each Windows build finds its cross-built zlib, libpng and GoogleTest in its tree's
# "-deps" sibling: 32-bit in $(WINDOWS), 64-bit in $(WINDOWS64).
$(WINDOWS)/build.ninja:
	$(CONFIGURE) -B $(WINDOWS) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DQUELOR_BENCH=OFF

$(WINDOWS64)/build.ninja:
	$(CONFIGURE) -B $(WINDOWS64) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DQUELOR_BENCH=OFF

# Renders the built-in drum loop through Quelor.so as a host does, into demo-out.wav,
# with a picture of what the compressor did in demo-out.png. It needs the build group
# of packages only, and builds only the module and the render tool.
DEMO_SETTINGS = --param Threshold=-24 --param Ratio=6 --param Attack=2 --param Release=120 \
                --param Gain=9 --param Brickwall=On

# The products alone need the build group only: a new tree is made without tests and benchmarks.
RELEASE_PRODUCTS_TREE = scripts/install-deps build && { test -f $(RELEASE)/build.ninja || \
    $(CONFIGURE) -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DQUELOR_TESTS=OFF -DQUELOR_BENCH=OFF; }

demo:
	@$(RELEASE_PRODUCTS_TREE)
	cmake --build $(RELEASE) -j $(JOBS) --target Quelor quelor-render
	$(RELEASE)/tools/render/quelor-render --demo demo-out.wav --module $(RELEASE)/modules/vst2/Quelor.so $(DEMO_SETTINGS) \
	    --plot demo-out.png

# Puts Quelor.so where Linux VST hosts look (the first folder of $VST_PATH, else ~/.vst),
# Quelor.clap where CLAP hosts look (~/.clap),
# the Quelor.lv2 bundle where LV2 hosts look (the first folder of $LV2_PATH, else ~/.lv2),
# the Quelor.vst3 bundle where VST 3 hosts look (~/.vst3), and quelor-render and
# quelor-snapshot where a shell finds them ($PREFIX/bin, else ~/.local/bin); the tools
# then find Quelor.so in the VST folder.
install:
	@$(RELEASE_PRODUCTS_TREE)
	cmake --build $(RELEASE) -j $(JOBS) --target Quelor Quelor_clap Quelor_lv2 Quelor_lv2ui \
	    Quelor_vst3 quelor-render quelor-snapshot
	vst="$${VST_PATH%%:*}"; cmake --install $(RELEASE) --prefix "$${vst:-$$HOME/.vst}"
	cmake --install $(RELEASE) --component clap --prefix "$$HOME/.clap"
	lv2="$${LV2_PATH%%:*}"; cmake --install $(RELEASE) --component lv2 --prefix "$${lv2:-$$HOME/.lv2}"
	cmake --install $(RELEASE) --component vst3 --prefix "$$HOME/.vst3"
	cmake --install $(RELEASE) --component tools --prefix "$${PREFIX:-$$HOME/.local}"

test: deps
	$(MAKE) --no-print-directory test-release test-install test-asan test-tsan test-windows \
	    test-dist test-deb test-fuzz

test-release: release-tree
	cmake --build $(RELEASE) -j $(JOBS)
	ctest --test-dir $(RELEASE) -j $(JOBS) --output-on-failure

# `make install` into an empty home: each format where its hosts look, and the installed
# render tool finding the installed module.
INSTALLED = .vst/Quelor.so .clap/Quelor.clap .lv2/Quelor.lv2/manifest.ttl \
            .vst3/Quelor.vst3/Contents/x86_64-linux/Quelor.so .local/bin/quelor-render \
            .local/bin/quelor-snapshot
test-install: release-tree
	home=$$(mktemp -d) && trap 'rm -rf "$$home"' EXIT && \
	env -u VST_PATH -u LV2_PATH -u PREFIX HOME="$$home" \
	    $(MAKE) --no-print-directory install >/dev/null && \
	for f in $(INSTALLED); do \
	    test -e "$$home/$$f" || { echo "test-install: make install put no $$f"; exit 1; }; \
	done && \
	HOME="$$home" "$$home/.local/bin/quelor-render" --info | grep -q "^module: *$$home/.vst/Quelor.so$$" && \
	echo "test-install: passed"

test-asan: $(ASAN)/build.ninja
	cmake --build $(ASAN) -j $(JOBS)
	ctest --test-dir $(ASAN) -j $(JOBS) --output-on-failure

# The module under audio, parameter and editor threads with ThreadSanitizer watching:
# the thread tests, the X error trap's, then the stress tool for STRESS_SECONDS, each on
# an X server of its own. TSan makes every call slow, so the stress run's limits are the
# most a run of that length can reach: it must only run to its end.
STRESS_SECONDS ?= 20
TSAN_STRESS_LIMITS = --max-over-1ms $(STRESS_SECONDS)000 --max-p9999-us $(STRESS_SECONDS)000000
TSAN_RUN = TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 \
           suppressions=$(CURDIR)/cmake/tsan-suppressions.txt" xvfb-run -a
test-tsan:
	@if command -v xvfb-run >/dev/null && command -v Xvfb >/dev/null; then \
	    $(MAKE) --no-print-directory test-tsan-run; \
	else \
	    echo "test-tsan: skipped: needs xvfb (scripts/install-deps installs it)"; \
	fi

test-tsan-run: $(TSAN)/build.ninja
	cmake --build $(TSAN) -j $(JOBS) --target Quelor quelor-stress quelor_thread_tests quelor_x11_tests
	$(TSAN_RUN) $(TSAN)/tests/module/quelor_thread_tests
	$(TSAN_RUN) $(TSAN)/tests/x11/quelor_x11_tests --gtest_filter='X11ErrorTrap*'
	$(TSAN_RUN) $(TSAN)/tools/quelor-stress --seconds $(STRESS_SECONDS) $(TSAN_STRESS_LIMITS)

# Quelor.dll for 32-bit and for 64-bit Windows hosts, cross-compiled.
windows: deps
	JOBS=$(JOBS) scripts/windows-deps $(WINDOWS)-deps x86
	JOBS=$(JOBS) scripts/windows-deps $(WINDOWS64)-deps x64
	$(MAKE) --no-print-directory $(WINDOWS)/build.ninja $(WINDOWS64)/build.ninja
	cmake --build $(WINDOWS) -j $(JOBS)
	cmake --build $(WINDOWS64) -j $(JOBS)

# The Windows suite runs under 32-bit and under 64-bit wine, one after the other on one
# virtual X display, where the cross tools and wine are installed; else it says why not.
WINDOWS_TOOLS = i686-w64-mingw32-g++-posix i686-w64-mingw32-windres \
                x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres wine xvfb-run zip unzip
# Wine's 64-bit runner is in the PATH on some systems, beside wine's own files on Debian.
HAVE_WINDOWS_TOOLS = (for t in $(WINDOWS_TOOLS); do command -v $$t >/dev/null || exit 1; done) && \
                     { command -v wine64 >/dev/null || test -x /usr/lib/wine/wine64; }
test-windows:
	@if $(HAVE_WINDOWS_TOOLS); then \
	    $(MAKE) --no-print-directory windows && \
	    xvfb-run -a sh -c 'export WINE_RUN_DISPLAY=$$DISPLAY; status=0; \
	        ctest --test-dir $(WINDOWS) -j $(JOBS) --output-on-failure || status=1; \
	        ctest --test-dir $(WINDOWS64) -j $(JOBS) --output-on-failure || status=1; \
	        exit $$status'; \
	else \
	    echo "test-windows: skipped: needs $(WINDOWS_TOOLS) and wine64 (scripts/install-deps installs them)"; \
	fi

# The release archives, named after the CMake project version: dist/quelor-VERSION-linux-x86_64.tar.gz
# (the VST 2 and CLAP modules, the LV2 and VST 3 bundles and the two tools, for glibc 2.31
# and later) and dist/quelor-VERSION-windows.zip (both DLLs, both CLAP modules, and one
# VST 3 bundle with both Windows binaries). scripts/make-dist lists what goes into each.
dist: deps release-tree windows
	cmake --build $(RELEASE) -j $(JOBS) --target Quelor Quelor_clap Quelor_lv2 Quelor_lv2ui \
	    Quelor_vst3 quelor-render quelor-snapshot
	scripts/make-dist $(RELEASE) $(WINDOWS) $(WINDOWS64) dist
	scripts/make-deb $(RELEASE) dist

# dist/quelor_VERSION_amd64.deb (scripts/make-deb): each format in the system folder its
# hosts scan, the tools in /usr/bin with man pages from their --help, Depends worked out
# by dpkg-shlibdeps. Its tools (dpkg-dev, help2man) are in the test group.
.PHONY: deb test-deb
deb:
	@$(RELEASE_PRODUCTS_TREE)
	@scripts/install-deps test
	cmake --build $(RELEASE) -j $(JOBS) --target Quelor Quelor_clap Quelor_lv2 Quelor_lv2ui \
	    Quelor_vst3 quelor-render quelor-snapshot
	scripts/make-deb $(RELEASE) dist

# lintian, then dpkg -i, the hosts' scanners and the installed quelor-render on the
# system folders, and dpkg -r; as root, on a machine without Quelor installed already.
test-deb: deb
	tests/deb/check-deb dist/quelor_$$(cat $(RELEASE)/quelor-version.txt)_amd64.deb

# Unpacks each archive into a temporary folder and loads its modules from there, the
# Linux ones on this system and on Debian 11's glibc 2.31 too, where its libraries can
# be fetched into $(DEBIAN11): the tools, and the module and LV2 suites, which are built
# for glibc 2.31 as the archive's binaries are.
DEBIAN11 := build/debian11
test-dist:
	@if $(HAVE_WINDOWS_TOOLS); then \
	    $(MAKE) --no-print-directory dist && \
	    cmake --build $(RELEASE) -j $(JOBS) --target quelor_module_tests quelor_lv2_host_tests \
	        quelor_lv2_ui_tests quelor_clap_tests && \
	    { scripts/debian11-runtime $(DEBIAN11) || echo "test-dist: no Debian 11 libraries"; } && \
	    tests/dist/check-archives dist $(RELEASE) $(WINDOWS) $(WINDOWS64) $(DEBIAN11); \
	else \
	    echo "test-dist: skipped: the Windows archive needs $(WINDOWS_TOOLS) and wine64"; \
	fi

# The libFuzzer harnesses (tests/fuzz) under clang with ASan and UBSan; skipped with a
# message where clang or libFuzzer are missing.
test-fuzz:
	@JOBS=$(JOBS) scripts/fuzz check $(FUZZ_CHECK_SECONDS)

# Longer runs that keep what they find in build/fuzz/corpus: make fuzz FUZZ_SECONDS=1800
fuzz: deps
	@JOBS=$(JOBS) scripts/fuzz run $(FUZZ_SECONDS)

bench: deps release-tree
	cmake --build $(RELEASE) -j $(JOBS) --target quelor-bench quelor-raster-bench quelor-true-peak-bench \
	    quelor-panel-bench
	$(RELEASE)/bench/quelor-panel-bench
	$(RELEASE)/bench/quelor-bench
	$(RELEASE)/bench/raster/quelor-raster-bench
	$(RELEASE)/bench/quelor-true-peak-bench

# 10 and 60 minutes of stereo at 48 kHz piped through quelor-render: peak memory and speed.
soak: deps release-tree
	cmake --build $(RELEASE) -j $(JOBS) --target quelor-render-soak
	nice -n 10 $(RELEASE)/bench/quelor-render-soak $(RELEASE)/tools/render/quelor-render \
	    $(RELEASE)/modules/vst2/Quelor.so $(RELEASE)/soak 10 60

# quelor-render against sox's compand on 10 minutes of stereo pink noise that sox makes
# (RENDER_BENCH_MINUTES), in alternating rounds (RENDER_BENCH_ROUNDS): wall and CPU seconds
# and the ratios to sox.
RENDER_BENCH_MINUTES ?= 10
RENDER_BENCH_ROUNDS  ?= 3
bench-render: release-tree
	scripts/install-deps --sox
	cmake --build $(RELEASE) -j $(JOBS) --target quelor-render-bench quelor-render
	$(RELEASE)/bench/quelor-render-bench $(RELEASE)/tools/render/quelor-render \
	    $(RELEASE)/modules/vst2/Quelor.so $(RELEASE)/bench-render $(RENDER_BENCH_MINUTES) \
	    $(RENDER_BENCH_ROUNDS)

# Quelor.so against LSP's Compressor Stereo, loaded into the same process by the same host code.
bench-peers: release-tree
	scripts/install-deps --peers
	cmake --build $(RELEASE) -j $(JOBS) --target quelor-peer-bench
	nice -n 10 $(RELEASE)/bench/quelor-peer-bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build dist
