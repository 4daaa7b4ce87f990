# Two entry points for a new machine: `make demo` and `make test`.
RELEASE := build/release
ASAN    := build/asan
WINDOWS := build/windows
JOBS    ?= 2
# Seconds per fuzzer for `make fuzz`, and for the short run `make test` makes.
FUZZ_SECONDS       ?= 300
FUZZ_CHECK_SECONDS ?= 20

CONFIGURE = cmake -S . -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

.PHONY: deps demo test test-release test-asan test-windows test-fuzz fuzz windows bench install format clean

deps:
	@scripts/install-deps

$(RELEASE)/build.ninja:
	$(CONFIGURE) -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release

$(ASAN)/build.ninja:
	$(CONFIGURE) -B $(ASAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELOR_SANITIZE=ON -DQUELOR_BENCH=OFF

# The 32-bit Windows build finds its cross-built zlib, libpng and GoogleTest in $(WINDOWS)-deps.
$(WINDOWS)/build.ninja:
	$(CONFIGURE) -B $(WINDOWS) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake \
	    -DCMAKE_BUILD_TYPE=Release -DQUELOR_BENCH=OFF

# Renders the built-in drum loop through Quelor.so as a host does, into demo-out.wav.
DEMO_SETTINGS = --param Threshold=-24 --param Ratio=6 --param Attack=2 --param Release=120 \
                --param Gain=9 --param Brickwall=On

demo: deps $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j $(JOBS)
	$(RELEASE)/tools/quelor-render demo-out.wav --module $(RELEASE)/modules/vst2/Quelor.so $(DEMO_SETTINGS)

# Puts Quelor.so where Linux hosts look: $VST_PATH when set, else ~/.vst.
install: deps $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j $(JOBS) --target Quelor
	cmake --install $(RELEASE) --prefix "$${VST_PATH:-$$HOME/.vst}"

test: deps
	$(MAKE) --no-print-directory test-release test-asan test-windows test-fuzz

test-release: $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j $(JOBS)
	ctest --test-dir $(RELEASE) -j $(JOBS) --output-on-failure

test-asan: $(ASAN)/build.ninja
	cmake --build $(ASAN) -j $(JOBS)
	ctest --test-dir $(ASAN) -j $(JOBS) --output-on-failure

# Quelor.dll for 32-bit Windows hosts, cross-compiled.
windows: deps
	JOBS=$(JOBS) scripts/windows-deps $(WINDOWS)-deps
	$(MAKE) --no-print-directory $(WINDOWS)/build.ninja
	cmake --build $(WINDOWS) -j $(JOBS)

# The Windows suite runs under wine where the cross tools are installed, else says why not.
WINDOWS_TOOLS = i686-w64-mingw32-g++-posix i686-w64-mingw32-windres wine xvfb-run
test-windows:
	@if (for t in $(WINDOWS_TOOLS); do command -v $$t >/dev/null || exit 1; done); then \
	    $(MAKE) --no-print-directory windows && \
	    ctest --test-dir $(WINDOWS) -j $(JOBS) --output-on-failure; \
	else \
	    echo "test-windows: skipped: needs $(WINDOWS_TOOLS) (scripts/install-deps installs them)"; \
	fi

# The libFuzzer harnesses (tests/fuzz) under clang with ASan and UBSan; skipped with a
# message where clang or libFuzzer are missing.
test-fuzz:
	@JOBS=$(JOBS) scripts/fuzz check $(FUZZ_CHECK_SECONDS)

# Longer runs that keep what they find in build/fuzz/corpus: make fuzz FUZZ_SECONDS=1800
fuzz: deps
	@JOBS=$(JOBS) scripts/fuzz run $(FUZZ_SECONDS)

bench: deps $(RELEASE)/build.ninja
	cmake --build $(RELEASE) -j $(JOBS) --target quelor-bench quelor-raster-bench
	$(RELEASE)/bench/quelor-bench
	$(RELEASE)/bench/raster/quelor-raster-bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
