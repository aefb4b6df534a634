// The viewer's server side on a glTF file of up to 100 000 nodes, with
// Tarvel open: a gesture (a selection, which the tool hears of) answered as
// JSON, the whole state that a page loads first, and an undo, which reads
// the scene anew and replays what stands.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "bench_support.h"
#include "generated_gltf.h"
#include "hosting/plugin_directory.h"
#include "view/view_json.h"
#include "view/view_session.h"

namespace {

// `count` nodes under the scene, each named, placed and holding a mesh.
std::string FlatGltf(int count) {
    std::string nodes, roots;
    for (int i = 0; i < count; ++i) {
        nodes += (i > 0 ? ", " : "") + std::string("{\"name\": \"Node") + std::to_string(i) + "\", \"translation\": [" +
                 std::to_string(i % 100) + ", 0, 1.5], \"mesh\": 0}";
        roots += (i > 0 ? ", " : "") + std::to_string(i);
    }
    return "{\"asset\": {\"version\": \"2.0\"}, \"scenes\": [{\"nodes\": [" + roots + "]}], \"nodes\": [" + nodes +
           "]}";
}

// A session on `path` that reaches its folder, and keeps its names files there.
driver::ViewSession ViewerSession(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return driver::ViewSession(path, driver::PluginDirectory(), "", driver::ViewFolders({folder}), folder);
}

struct ViewerScene {
    bench::ScratchFolder folder{"morvane-view-bench"};
    std::string path = folder.File("scene.gltf");
    explicit ViewerScene(int count) { std::ofstream(path, std::ios::binary) << FlatGltf(count); }
};

void ViewGesture(benchmark::State& state) {
    ViewerScene scene(static_cast<int>(state.range(0)));
    driver::ViewSession session = ViewerSession(scene.path);
    session.Apply("open Tarvel");
    std::size_t node = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(driver::ViewStateJson(session.Apply("select " + std::to_string(node))));
        node = node % 50 + 1;
    }
}

void ViewWholeState(benchmark::State& state) {
    ViewerScene scene(static_cast<int>(state.range(0)));
    driver::ViewSession session = ViewerSession(scene.path);
    for (auto _ : state) {
        benchmark::DoNotOptimize(driver::ViewStateJson(session.Whole()));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The state that the page loads first, for a file as artists' files are
// (deep trees, rotations and scales), written out as the server sends it.
void ViewWholeStateGenerated(benchmark::State& state) {
    bench::ScratchFolder folder{"morvane-view-bench"};
    const std::string path = folder.File("generated.gltf");
    std::ofstream(path, std::ios::binary) << bench::GeneratedGltf(static_cast<int>(state.range(0)));
    driver::ViewSession session = ViewerSession(path);
    for (auto _ : state) {
        benchmark::DoNotOptimize(driver::ViewStateJson(session.Whole()));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ViewUndo(benchmark::State& state) {
    ViewerScene scene(static_cast<int>(state.range(0)));
    driver::ViewSession session = ViewerSession(scene.path);
    session.Apply("open Tarvel");
    for (auto _ : state) {
        state.PauseTiming();
        session.Apply("select 1");
        state.ResumeTiming();
        benchmark::DoNotOptimize(driver::ViewStateJson(session.Undo()));
    }
}

}  // namespace

BENCHMARK(ViewGesture)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(ViewWholeState)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(ViewWholeStateGenerated)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(ViewUndo)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
