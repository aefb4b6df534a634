#!/usr/bin/env bash
# Runs the two libFuzzer targets of the sanitize build side by side, a core
# each, for 30 seconds: the names file reader and the scene readers. New
# inputs go to build/fuzz/corpus, the seeds in fuzz/corpus stay as they
# are; each one's output is in build/fuzz/<name>.log, an input that fails
# in build/fuzz. Exits 0 only when both ran their time without a failure.
#   scripts/run-fuzzers.sh   (after building them: make fuzz does both)
set -uo pipefail
cd "$(dirname "$0")/.."

bin=build/sanitize/bin
out=build/fuzz
for fuzzer in names_reader_fuzz scene_reader_fuzz; do
    if [[ ! -x $bin/$fuzzer ]]; then
        echo "run-fuzzers: $bin/$fuzzer is missing; build it first (make fuzz)" >&2
        exit 1
    fi
done
mkdir -p "$out/corpus/names" "$out/corpus/scenes" || exit 1

run() {  # run NAME FUZZER SEEDS
    "$bin/$2" -max_total_time=30 -artifact_prefix="$out/" "$out/corpus/$1" "$3" >"$out/$1.log" 2>&1
}
run names names_reader_fuzz fuzz/corpus/names &
names=$!
run scenes scene_reader_fuzz fuzz/corpus/scenes
scenes=$?
wait "$names"
names=$?
tail -n 3 "$out/names.log" "$out/scenes.log"
if ((names != 0 || scenes != 0)); then
    echo "run-fuzzers: a fuzzer failed (names: status $names, scenes: status $scenes); see $out" >&2
    exit 1
fi
