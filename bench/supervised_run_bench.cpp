// The cost of supervision: a run of Align on a scene of 100 000 nodes, its
// replay made in this process and in a supervised process of its own (the
// fork, the account of the run through a pipe, the output's bytes), side by
// side. The scene is read, and the output made, in both; nothing is written.
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "bench_support.h"
#include "cli/replayed_run.h"
#include "cli/run_outcome.h"
#include "hosting/supervised_run.h"

namespace {

struct AlignRun {
    bench::ScratchFolder folder{"morvane-supervised-bench"};
    driver::Invocation invocation;

    AlignRun() {
        std::ofstream(folder.File("scene.json")) << bench::NamesakePairScene(100000);
        std::string session = "open Tarvel\nselect";
        for (int i = 1; i <= 100000; i += 2) {
            session += " " + std::to_string(i);
        }
        std::ofstream(folder.File("align.session")) << session << "\npress Align\nclose\n";
        invocation.scenePath = folder.File("scene.json");
        invocation.sessionPath = folder.File("align.session");
        invocation.outputPath = folder.File("out.json");
        invocation.quiet = true;
    }
};

void BM_AlignRun(benchmark::State& state) {
    static const AlignRun run;
    const bool supervised = state.range(0) != 0;
    for (auto _ : state) {
        std::optional<driver::ScratchFolder> scratch;
        const driver::RunOutcome outcome =
            supervised
                ? driver::Decode(std::make_shared<const std::string>(
                      driver::RunSupervised([&] { return driver::EncodedReplayRun(run.invocation, scratch); }, false)))
                : driver::ReplayRun(run.invocation, scratch);
        if (!outcome.done) {
            state.SkipWithError((outcome.err + (outcome.refusal ? outcome.refusal->message : "")).c_str());
        }
        benchmark::DoNotOptimize(outcome.files.size());
    }
    state.SetLabel(supervised ? "supervised" : "in this process");
}
BENCHMARK(BM_AlignRun)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
