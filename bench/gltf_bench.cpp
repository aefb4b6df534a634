// A glTF file of up to 100 000 nodes: reading it, and writing it back after
// every node was renamed and every group moved (so that every node gets a
// new name and every leaf a new local transform), beside copying its bytes;
// and a node of many members.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "scene/scene_format.h"

namespace {

std::string Node(int index, const std::string& rest) {
    return "{\"name\": \"Node" + std::to_string(100000 + index) +
           "\", \"translation\": [1.5, -2.25, 3], \"rotation\": [0, 0.38268343, 0, 0.9238795], \"scale\": [2, 2, 2]" +
           rest + "}";
}

// Groups of 99 leaves under one scene, in index order; every node named,
// with a translation, rotation and scale, every leaf with a mesh.
std::string ManyNodes(int count) {
    std::string nodes;
    std::string roots;
    for (int group = 0; group < count; group += 100) {
        const int end = std::min(group + 100, count);
        std::string children;
        for (int leaf = group + 1; leaf < end; ++leaf) {
            children += (leaf > group + 1 ? ", " : "") + std::to_string(leaf);
        }
        roots += (group > 0 ? ", " : "") + std::to_string(group);
        nodes += (group > 0 ? ", " : "") + Node(group, ", \"children\": [" + children + "]");
        for (int leaf = group + 1; leaf < end; ++leaf) {
            nodes += ", " + Node(leaf, ", \"mesh\": 0");
        }
    }
    return "{\"asset\": {\"version\": \"2.0\"}, \"scenes\": [{\"nodes\": [" + roots + "]}], \"nodes\": [" + nodes +
           "]}";
}

void GltfRead(benchmark::State& state) {
    const std::string text = ManyNodes(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(driver::ParseScene(text, "scene.gltf"));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void GltfWriteEverythingChanged(benchmark::State& state) {
    const auto file = driver::ParseScene(ManyNodes(static_cast<int>(state.range(0))), "scene.gltf");
    for (standin::StandinNode* node : file->Document().scene->PreOrder()) {
        node->SetName(node->Name() + " renamed");
        if (!node->Children().empty() && node->Parent() != nullptr) {
            NodeMatrix moved = node->Transform();
            moved.row[3] = moved.row[3] + Point3(1, 1, 1);
            node->SetTransform(moved);
        }
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(file->Write("scene.gltf", {}));
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
    const std::string text = ManyNodes(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::string copy = text;
        benchmark::DoNotOptimize(copy);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

}  // namespace

BENCHMARK(GltfRead)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(GltfWriteEverythingChanged)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(GltfReadObjectOfManyMembers)->Arg(1000)->Arg(80000)->Unit(benchmark::kMillisecond);
BENCHMARK(GltfCopyBytes)->Arg(100000)->Unit(benchmark::kMillisecond);
