// A generated glTF file of up to 100 000 nodes (generated_gltf.h): reading
// it (to be written, looked at, or listed with its boxes), and writing it back after every node was renamed and every
// group moved (so that every node gets a new name and every leaf a new local transform), beside copying its bytes; and
// a node of many members.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "generated_gltf.h"
#include "scene/scene_format.h"

namespace {

void GltfRead(benchmark::State& state) {
    const std::string text = bench::GeneratedGltf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(driver::ParseScene(text, "scene.gltf"));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

// Read to be looked at (a shortcut without -o), and to be listed with the
// box of every node's mesh (`list`): what only the listing pays for.
void GltfReadFor(benchmark::State& state, driver::SceneUse use) {
    const std::string text = bench::GeneratedGltf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(driver::ParseScene(text, "scene.gltf", use));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void GltfWriteEverythingChanged(benchmark::State& state) {
    const auto file = driver::ParseScene(bench::GeneratedGltf(static_cast<int>(state.range(0))), "scene.gltf");
    for (standin::StandinNode* node : file->Document().scene->PreOrder()) {
        node->SetName(node->Name() + " renamed");
        if (!node->Children().empty() && node->Parent() != nullptr) {
            NodeMatrix moved = node->Transform();
            moved.row[3] = moved.row[3] + Point3(1, 1, 1);
            node->SetTransform(moved);
        }
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(file->Content("scene.gltf", {}).Joined());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// One node with `count` members besides its name, which the reader checks
// for a key given twice: linear in the members.
void GltfReadObjectOfManyMembers(benchmark::State& state) {
    std::string node = "{\"name\": \"Wide\"";
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        node += ", \"member" + std::to_string(i) + "\": " + std::to_string(i);
    }
    const std::string text =
        "{\"asset\": {\"version\": \"2.0\"}, \"scenes\": [{\"nodes\": [0]}], \"nodes\": [" + node + "}]}";
    for (auto _ : state) {
        benchmark::DoNotOptimize(driver::ParseScene(text, "scene.gltf"));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void GltfCopyBytes(benchmark::State& state) {
    const std::string text = bench::GeneratedGltf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::string copy = text;
        benchmark::DoNotOptimize(copy);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

}  // namespace

BENCHMARK(GltfRead)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GltfReadFor, LookedAt, driver::SceneUse::LookedAt)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GltfReadFor, Listed, driver::SceneUse::Listed)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(GltfWriteEverythingChanged)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(GltfReadObjectOfManyMembers)->Arg(1000)->Arg(80000)->Unit(benchmark::kMillisecond);
BENCHMARK(GltfCopyBytes)->Arg(100000)->Unit(benchmark::kMillisecond);
