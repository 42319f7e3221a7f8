# sandglass: the two set-up commands are `make run` and `make test`; the rest serve them.
#
#   make deps     install every Debian package either flavour needs (idempotent)
#   make build    configure and build both flavours (native and windows), no tests
#   make test     deps, build, web, asan, then every test (Windows ones under Wine, the page in
#                 Chromium, the quick set again under the sanitizers)
#   make check    the native build and its quick tests (no Wine, browser, X server or daemon)
#   make asan     the quick tests' build with AddressSanitizer and UBSan, in build/asan/
#   make test-asan  asan, then the quick tests under the sanitizers
#   make run      deps, build, then run the saver full screen under Wine
#   make run-x11  deps, native build, then run the X11 saver (on $DISPLAY, else on a private Xvfb)
#   make install  the X11 saver, its settings file and manual page, and the Wayland saver with
#                 its manual page (PREFIX, DESTDIR honoured)
#   make deb      the Debian package: build/dist/sandglass_VERSION-1_ARCH.deb
#   make bench    the native benchmarks
#   make dist     the Windows release: build/dist/sandglass-VERSION-setup.exe and -win32.zip
#   make web      the page: the core in WebAssembly, in build/web/ (serve it with any static server)
#   make format   reformat the C++ sources with clang-format (.clang-format)
#
# Binaries: build/native/bin/ and build/windows/bin/, the release and the package in build/dist/,
# the page in build/web/ (BUILD=dir moves them all). WERROR=1 makes every flavour's warnings errors
# (CI).

BUILD    ?= build
NATIVE   := $(BUILD)/native
WINDOWS  := $(BUILD)/windows
DIST     := $(abspath $(BUILD))/dist
WASM     := $(BUILD)/wasm
WEB      := $(BUILD)/web
PROGRAMS := $(BUILD)/programs
JOBS     ?= $(shell nproc)
PREFIX   ?= /usr/local
CTEST_J  ?= 2
ASAN     := $(BUILD)/asan
WERROR   ?= 0
# Passed to every flavour's configuration, so that the cache never keeps an earlier choice.
CONFIG   := -DSANDGLASS_WERROR=$(if $(filter 1 ON on yes,$(WERROR)),ON,OFF)

.PHONY: all deps build native windows dist web asan check test test-native test-windows test-asan \
        run run-x11 install deb bench format clean

all: build

deps:
	./tools/install-deps

build: native windows

native:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release $(CONFIG)
	cmake --build $(NATIVE) -j $(JOBS)

windows:
	cmake -S . -B $(WINDOWS) -DCMAKE_BUILD_TYPE=Release $(CONFIG) \
	      -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake -DSANDGLASS_DIST_DIR=$(DIST)
	cmake --build $(WINDOWS) -j $(JOBS)

# The Windows flavour builds the release with the saver; this names it.
dist: windows
	@ls -l $(DIST)

# Emscripten's tools run under node and look for Debian's acorn there.
web: export NODE_PATH := /usr/share/nodejs
web:
	emcmake cmake -S . -B $(WASM) -DCMAKE_BUILD_TYPE=Release $(CONFIG) \
	      -DSANDGLASS_PAGE_DIR=$(abspath $(WEB))
	cmake --build $(WASM) -j $(JOBS)

# Only the quick tests' programs: the sanitizers slow everything down, and the rest needs Wine, a
# browser or an X server, whose own code they would not check.
asan:
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Sanitize -DCMAKE_CXX_FLAGS_SANITIZE="-O1 -g1" \
	      $(CONFIG) -DSANDGLASS_SANITIZE=ON
	cmake --build $(ASAN) -j $(JOBS) --target sandglass_quick

# The quick loop while working: seconds after a build.
check: native
	cd $(NATIVE) && ctest --output-on-failure -j $(CTEST_J) -L quick

test: deps
	$(MAKE) build web asan
	$(MAKE) test-native test-windows test-asan

test-native:
	cd $(NATIVE) && ctest --output-on-failure -j $(CTEST_J)

test-windows:
	cd $(WINDOWS) && ctest --output-on-failure -j $(CTEST_J)

test-asan: asan
	cd $(ASAN) && ctest --output-on-failure -j $(CTEST_J) -L quick

run: deps
	$(MAKE) build
	./tools/run-saver $(WINDOWS)/bin

run-x11: deps
	$(MAKE) native
	./tools/run-x11 $(NATIVE)/bin

# The X11 program to $(PREFIX)/libexec/xscreensaver (XScreenSaver's own folder with
# PREFIX=/usr); the Wayland program to $(PREFIX)/bin, where idle daemons' commands find it.
# Built on their own, without tests or benchmarks, so they need only what the programs use
# (`tools/install-deps --deb`, and the Wayland packages of `make deps`); the prefix is the
# configured one, which the MATE entry names.
install:
	cmake -S . -B $(PROGRAMS) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
	      -DSANDGLASS_BENCH=OFF -DCMAKE_INSTALL_PREFIX="$(PREFIX)"
	cmake --build $(PROGRAMS) -j $(JOBS) --target sandglass sandglass-wayland
	DESTDIR="$(DESTDIR)" cmake --install $(PROGRAMS) --component x11
	DESTDIR="$(DESTDIR)" cmake --install $(PROGRAMS) --component wayland

# The package, built from a copy of the tree by dpkg-buildpackage.
deb:
	./tools/install-deps --deb
	JOBS=$(JOBS) ./tools/make-deb $(BUILD)/deb $(DIST)

bench: native
	$(NATIVE)/bin/sandglass-bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true

# Applies .clang-format to every C++ file git knows but the generated vessel picture, which must
# stay byte for byte what its generator writes.
format:
	git ls-files -z '*.cpp' '*.h' ':!core/vessel_picture.cpp' | xargs -0 clang-format -i

clean:
	rm -rf $(NATIVE) $(WINDOWS) $(DIST) $(WASM) $(WEB) $(ASAN) $(PROGRAMS) $(BUILD)/deb
