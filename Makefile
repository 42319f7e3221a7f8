# sandglass: the two set-up commands are `make run` and `make test`; the rest serve them.
#
#   make deps     install every Debian package either flavour needs (idempotent)
#   make build    configure and build both flavours (native and windows), no tests
#   make test     deps, build, web, then every test (Windows ones under Wine, the page in Chromium)
#   make run      deps, build, then run the saver full screen under Wine
#   make run-x11  deps, native build, then run the X11 saver (on $DISPLAY, else on a private Xvfb)
#   make install  the X11 saver, its settings file and manual page, and the Wayland saver with
#                 its manual page (PREFIX, DESTDIR honoured)
#   make bench    the native benchmarks
#   make dist     the Windows release: build/dist/sandglass-VERSION-setup.exe and -win32.zip
#   make web      the page: the core in WebAssembly, in build/web/ (serve it with any static server)
#
# Binaries: build/native/bin/ and build/windows/bin/, the release in build/dist/, the page in
# build/web/ (BUILD=dir moves all four).

BUILD    ?= build
NATIVE   := $(BUILD)/native
WINDOWS  := $(BUILD)/windows
DIST     := $(abspath $(BUILD))/dist
WASM     := $(BUILD)/wasm
WEB      := $(BUILD)/web
JOBS     ?= $(shell nproc)
PREFIX   ?= /usr/local
CTEST_J  ?= 2

.PHONY: all deps build native windows dist web test test-native test-windows run run-x11 install bench clean

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

# The X11 program to $(PREFIX)/libexec/xscreensaver (XScreenSaver's own folder with
# PREFIX=/usr); the Wayland program to $(PREFIX)/bin, where idle daemons' commands find it.
install: native
	DESTDIR="$(DESTDIR)" cmake --install $(NATIVE) --component x11 --prefix "$(PREFIX)"
	DESTDIR="$(DESTDIR)" cmake --install $(NATIVE) --component wayland --prefix "$(PREFIX)"

bench: native
	$(NATIVE)/bin/sandglass-bench --benchmark_repetitions=9 --benchmark_report_aggregates_only=true

clean:
	rm -rf $(NATIVE) $(WINDOWS) $(DIST) $(WASM) $(WEB)
