# The two commands of this project. Both install what they need first.
#   make demo   build and run the demonstration
#   make test   build everything and run every test
#   make package  the Debian package and the Windows archive, in build/packages
.PHONY: demo test package deps native sanitize fuzz clean wine-deps windows windows-test

SHELL := /bin/bash
JOBS ?= $(shell nproc)

deps:
	@bash scripts/install-deps.sh

# Wine (and, where the kernel needs it, qemu-i386) for the Windows tests.
wine-deps:
	@bash scripts/setup-wine.sh

native: deps
	cmake --preset native
	cmake --build --preset native -j $(JOBS)

sanitize: deps
	cmake --preset sanitize
	cmake --build --preset sanitize -j $(JOBS)

# The names file reader under libFuzzer for a bounded time; new inputs go
# to build/fuzz/corpus, the seeds in fuzz/corpus stay as they are.
fuzz: deps
	cmake --preset fuzz
	cmake --build --preset fuzz -j $(JOBS) --target names_reader_fuzz
	mkdir -p build/fuzz/corpus
	./build/fuzz/bin/names_reader_fuzz -max_total_time=30 -artifact_prefix=build/fuzz/ build/fuzz/corpus fuzz/corpus

# The 32-bit Windows build (MinGW-w64); its tests run under Wine.
windows: deps wine-deps
	cmake --preset windows
	cmake --build --preset windows -j $(JOBS)

# One Xvfb and one wineserver serve every Windows test program of the run.
windows-test: windows
	bash scripts/wine-session.sh run ctest --preset windows -j $(JOBS)

test: native sanitize windows
	ctest --preset native -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)
	$(MAKE) fuzz
	bash scripts/wine-session.sh run ctest --preset windows -j $(JOBS)

# The Debian package of the native build and the zip archive of the 32-bit
# Windows build.
package: native windows
	cpack --preset native
	cpack --preset windows

demo: native
	mkdir -p out
	./build/native/bin/morvane-host examples/workshop.json examples/demo.session --diff -o out/demo.json --svg out/demo.svg

clean:
	rm -rf build out
