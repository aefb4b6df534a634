// The viewer's trials of its plug-in calls in a copy of its process: what
// one costs on its own, and memory across undo and redo: with both tools
// loaded, each undo and redo builds the host anew and replays into the
// libraries loaded once, so the server's resident memory stays flat.
// Reports the growth of the resident set over 500 undo/redo cycles (the
// goal: at most 2 MB), as counters; the time is that of the cycles.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "generated_gltf.h"
#include "hosting/plugin_directory.h"
#include "hosting/plugin_trial.h"
#include "view/view_session.h"

#include <unistd.h>

namespace {

double ResidentMegabytes() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void ViewUndoRedoMemory(benchmark::State& state) {
    bench::ScratchFolder folder{"morvane-view-memory"};
    const std::string path = folder.File("scene.gltf");
    std::ofstream(path, std::ios::binary) << bench::GeneratedGltf(static_cast<int>(state.range(0)));
    const std::string here = std::filesystem::path(path).parent_path().string();
    driver::ViewSession session(path, driver::PluginDirectory(), "", driver::ViewFolders({here}), here);
    for (const char* gesture : {"open Tarvel\nselect 1", "close", "open Velkora\nselect 2"}) {
        if (session.Apply(gesture).refusal) {
            state.SkipWithError("a gesture of the set-up was refused");
            return;
        }
    }
    const auto cycles = [&session](int count) {
        for (int k = 0; k < count; ++k) {
            session.Undo();
            session.Redo();
        }
    };
    cycles(20);  // what the first cycles allocate for good
    double growth = 0;
    for (auto _ : state) {
        const double before = ResidentMegabytes();
        cycles(500);
        growth = ResidentMegabytes() - before;
    }
    state.counters["rss_growth_MB"] = growth;
    state.counters["rss_MB"] = ResidentMegabytes();
}

// A trial of no work: the copy of the process, its watch and its end.
void ViewTrialAlone(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(driver::PluginTrialFault([] {}));
    }
}

}  // namespace

BENCHMARK(ViewTrialAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(ViewUndoRedoMemory)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);
