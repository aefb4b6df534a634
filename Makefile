# The two commands of this project. Both install what they need first.
#   make demo   build and run the demonstration
#   make test   build everything and run every test
.PHONY: demo test deps native sanitize fuzz clean

SHELL := /bin/bash
JOBS ?= $(shell nproc)

deps:
	@bash scripts/install-deps.sh

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

test: native sanitize
	ctest --preset native -j $(JOBS)
	ctest --preset sanitize -j $(JOBS)
	$(MAKE) fuzz

demo: native
	mkdir -p out
	./build/native/bin/morvane-host examples/workshop.json examples/demo.session --diff -o out/demo.json --svg out/demo.svg

clean:
	rm -rf build out
