# The two commands of this project. Both install what they need first.
#   make demo   build and run the demonstration
#   make test   build everything and run every test (and the linters: make lint)
#   make package  the Debian package and the Windows archive, in build/packages
#   make deb    the Debian package alone, from the native build of what it holds
.PHONY: demo demo-build test package deb deps native sanitize fuzz clean wine-deps windows windows-test lint

SHELL := /bin/bash
JOBS ?= $(shell nproc)

deps:
	@bash scripts/install-deps.sh

# Wine (and, where the kernel needs it, qemu-i386) for the Windows tests.
wine-deps:
	@bash scripts/setup-wine.sh

native: deps
	cmake --preset native -DMORVANE_BUILD_TESTS=ON -DMORVANE_BUILD_BENCH=ON
	cmake --build --preset native -j $(JOBS)

# What the demonstration runs, in the native build folder: morvane-host,
# the two plug-ins, the stand-in host and the viewer's page, without the
# test programs. A new
# build folder is configured without them (their packages may be missing);
# one made before keeps its settings, and `make native` turns them on.
DEMO_TARGETS := morvane-host Tarvel Velkora morvane_standin viewer_page
DEMO_CONFIGURE := cmake --preset native -DMORVANE_BUILD_TESTS=OFF -DMORVANE_BUILD_BENCH=OFF
# And what the Debian package holds besides.
DEB_TARGETS := $(DEMO_TARGETS) morvane_win32 morvane_manual morvane_changelog

demo-build:
	@bash scripts/install-deps.sh demo
	test -f build/native/CMakeCache.txt || $(DEMO_CONFIGURE)
	cmake --build --preset native -j $(JOBS) --target $(DEMO_TARGETS)

sanitize: deps
	cmake --preset sanitize
	cmake --build --preset sanitize -j $(JOBS)

# The names file reader and the scene readers under libFuzzer, built in the
# sanitize build, each for a bounded time (scripts/run-fuzzers.sh: new
# inputs and the logs go to build/fuzz, the seeds in fuzz/corpus stay as
# they are).
fuzz: deps
	cmake --preset sanitize
	cmake --build --preset sanitize -j $(JOBS) --target names_reader_fuzz scene_reader_fuzz
	bash scripts/run-fuzzers.sh

# The 32-bit Windows build (MinGW-w64) needs no Wine; its tests do.
windows:
	@bash scripts/install-deps.sh windows
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS)

# One Xvfb and one wineserver serve every Windows test program of the run.
windows-test: windows wine-deps
	bash scripts/wine-session.sh run ctest --preset windows -j $(JOBS)

# The layout of the C++ sources, clang-tidy over the product's C++ sources
# (as the native build compiles them) and ESLint over the JavaScript
# (scripts/lint.sh). `scripts/format.sh` applies the layout.
lint: deps
	test -f build/native/compile_commands.json || $(DEMO_CONFIGURE)
	bash scripts/lint.sh -j $(JOBS)

test: native sanitize windows wine-deps
	ctest --preset native -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)
	# The sanitize build has built the fuzz targets.
	bash scripts/run-fuzzers.sh
	# The linters run beside the Windows tests, which leave a core idle;
	# their report follows the tests'.
	bash scripts/lint.sh -j $(JOBS) > build/lint.log 2>&1 & lint=$$!; \
	bash scripts/wine-session.sh run ctest --preset windows -j $(JOBS); wine=$$?; \
	wait $$lint; lint=$$?; cat build/lint.log; test $$wine -eq 0 -a $$lint -eq 0

# The Debian package alone, in build/packages: the native build of what it
# holds, without the tests or the Windows build (a build folder that has
# the tests keeps them, and cpack builds them too).
deb:
	@bash scripts/install-deps.sh deb
	test -f build/native/CMakeCache.txt || $(DEMO_CONFIGURE)
	cmake --build --preset native -j $(JOBS) --target $(DEB_TARGETS)
	cpack --preset native

# The Debian package of the native build and the zip archive of the 32-bit
# Windows build.
package: native windows
	cpack --preset native
	cpack --preset windows

demo: demo-build
	mkdir -p out
	./build/native/bin/morvane-host examples/workshop.json examples/demo.session --diff -o out/demo.json --svg out/demo.svg
	./build/native/bin/morvane-host examples/room.gltf examples/room.session --diff -o out/room.gltf --svg out/room.svg
	@echo
	@echo "To see the result in your browser, run this and open the address that it prints:"
	@echo "    ./build/native/bin/morvane-host view out/room.gltf"

clean:
	rm -rf build out
