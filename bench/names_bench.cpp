// The names file on a scene of a million nodes, beside writing and reading
// the same bytes with one call each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "names_utility.h"
#include "scene_order.h"
#include "standin/standin_interface.h"

namespace {

// The grouped scene of `nodes` nodes, with the journal off; the file lies
// in a scratch folder.
struct NamesBenchSetup {
    explicit NamesBenchSetup(int nodes) : host(scene) {
        scene.Journal().SetEnabled(false);
        bench::BuildGroupedScene(scene, nodes);
        tool.SetInterface(&host);
        path = folder.File("names.txt");
        tool.SaveNames(path);
        std::FILE* file = std::fopen(path.c_str(), "rb");
        bytes.resize(std::filesystem::file_size(path));
        if (file == nullptr || std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            std::abort();
        }
        std::fclose(file);
    }

    standin::StandinScene scene{"Scene Root"};
    standin::StandinInterface host;
    NamesUtility tool;
    bench::ScratchFolder folder{"velkora-bench"};
    std::string path;
    std::string bytes;  // the file that a save writes
};

void BM_SaveNames(benchmark::State& state) {
    NamesBenchSetup& setup = bench::SetupOfSize<NamesBenchSetup>(state);
    for (auto _ : state) {
        if (setup.tool.SaveNames(setup.path).outcome != names_tool::SaveOutcome::Replaced) {
            state.SkipWithError("the file was not replaced");
        }
    }
    bench::CountBytes(state, setup.bytes.size());
}

void BM_LoadNames(benchmark::State& state) {
    NamesBenchSetup& setup = bench::SetupOfSize<NamesBenchSetup>(state);
    for (auto _ : state) {
        if (!setup.tool.LoadNames(setup.path).loaded) {
            state.SkipWithError("the file was not loaded");
        }
    }
    bench::CountBytes(state, setup.bytes.size());
}

void BM_RawWrite(benchmark::State& state) {
    NamesBenchSetup& setup = bench::SetupOfSize<NamesBenchSetup>(state);
    bench::TimeRawWrites(state, setup.folder.File("raw.txt"), setup.bytes);
    bench::CountBytes(state, setup.bytes.size());
}

void BM_RawRead(benchmark::State& state) {
    NamesBenchSetup& setup = bench::SetupOfSize<NamesBenchSetup>(state);
    bench::TimeRawReads(state, setup.path, setup.bytes.size());
    bench::CountBytes(state, setup.bytes.size());
}

// The host calls of a save alone, without keeping or writing anything: the
// part of a save that the host's own speed sets.
void BM_SaveWalkOnly(benchmark::State& state) {
    NamesBenchSetup& setup = bench::SetupOfSize<NamesBenchSetup>(state);
    for (auto _ : state) {
        std::size_t characters = 0;
        VisitPreOrder(setup.host.RootNode(), [&characters](SceneNode* node) {
            characters += std::strlen(node->NodeName());
            return true;
        });
        benchmark::DoNotOptimize(characters);
    }
    bench::CountBytes(state, setup.bytes.size());
}

}  // namespace

BENCHMARK(BM_SaveWalkOnly)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveNames)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadNames)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWrite)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawRead)->Arg(1000000)->Unit(benchmark::kMillisecond);
