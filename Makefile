# sandglass: the two set-up commands are `make run` and `make test`; the rest serve them.
#
#   make deps     install every Debian package either flavour needs (idempotent)
#   make build    configure and build both flavours (native and windows), no tests
#   make test     deps, build, web, then every test (Windows ones under Wine, the page in Chromium)
#   make run      deps, build, then run the saver full screen under Wine
#   make run-x11  deps, native build, then run the X11 saver (on $DISPLAY, else on a private Xvfb)
#   make install  the X11 saver, its settings file and manual page (PREFIX, DESTDIR honoured)
#   make deb      the Debian package: build/dist/sandglass_VERSION-1_ARCH.deb
#   make bench    the native benchmarks
#   make dist     the Windows release: build/dist/sandglass-VERSION-setup.exe and -win32.zip
#   make web      the page: the core in WebAssembly, in build/web/ (serve it with any static server)
#
# Binaries: build/native/bin/ and build/windows/bin/, the release and the package in build/dist/,
# the page in build/web/ (BUILD=dir moves all four).

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

.PHONY: all deps build native windows dist web test test-native test-windows run run-x11 install deb \
        bench clean

all: build

deps:
	./tools/install-deps

build: native windows

native:
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(NATIVE) -j $(JOBS)

windows:
	cmake -S . -B $(WINDOWS) -DCMAKE_BUILD_TYPE=Release \
	      -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake -DSANDGLASS_DIST_DIR=$(DIST)
	cmake --build $(WINDOWS) -j $(JOBS)

# The Windows flavour builds the release with the saver; this names it.
dist: windows
	@ls -l $(DIST)

# Emscripten's tools run under node and look for Debian's acorn there.
web: export NODE_PATH := /usr/share/nodejs
web:
	emcmake cmake -S . -B $(WASM) -DCMAKE_BUILD_TYPE=Release -DSANDGLASS_PAGE_DIR=$(abspath $(WEB))
	cmake --build $(WASM) -j $(JOBS)

test: deps
	$(MAKE) build web
	$(MAKE) test-native test-windows

test-native:
	cd $(NATIVE) && ctest --output-on-failure -j $(CTEST_J)

test-windows:
	cd $(WINDOWS) && ctest --output-on-failure -j $(CTEST_J)

run: deps
	$(MAKE) build
	./tools/run-saver $(WINDOWS)/bin

run-x11: deps
	$(MAKE) native
	./tools/run-x11 $(NATIVE)/bin

# The program to $(PREFIX)/libexec/xscreensaver (XScreenSaver's own folder with PREFIX=/usr).
# Built on its own, without tests or benchmarks, so it needs only what the programs use
# (`tools/install-deps --deb`); the prefix is the configured one, which the MATE entry names.
install:
	cmake -S . -B $(PROGRAMS) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
	      -DSANDGLASS_BENCH=OFF -DCMAKE_INSTALL_PREFIX="$(PREFIX)"
	cmake --build $(PROGRAMS) -j $(JOBS) --target sandglass
	DESTDIR="$(DESTDIR)" cmake --install $(PROGRAMS) --component x11

# The package, built from a copy of the tree by dpkg-buildpackage.
deb:
	./tools/install-deps --deb
	JOBS=$(JOBS) ./tools/make-deb $(BUILD)/deb $(DIST)

bench: native
	$(NATIVE)/bin/sandglass-bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true

clean:
	rm -rf $(NATIVE) $(WINDOWS) $(DIST) $(WASM) $(WEB) $(PROGRAMS) $(BUILD)/deb
