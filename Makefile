# The two commands of this project. Both install what they need first.
#   make demo   build and run the demonstration
#   make test   build everything and run every test
.PHONY: demo test deps native sanitize fuzz clean wine-deps windows windows-test

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
	bash scripts/wine-session.sh run ctest --preset windows -j $(JOBS)

demo: native
	./build/native/examples/align_demo

clean:
	rm -rf build out
