// Align of every node of a scene made of namesake pairs spread through a tree.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "module_state.h"
#include "pivot_utility.h"
#include "standin/standin_interface.h"
#include "standin/standin_scene.h"
#include "win32/standin_extensions.h"

namespace {

// n nodes under the root, four children a node, named in n/2 pairs whose two
// nodes lie at random places of the tree.
struct PairedScene {
    explicit PairedScene(int n) {
        std::mt19937 rng(42);
        std::vector<int> pairOf(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            pairOf[static_cast<std::size_t>(i)] = i / 2;
        }
        std::shuffle(pairOf.begin(), pairOf.end(), rng);
        std::uniform_real_distribution<float> value(-50.0f, 50.0f);
        std::uniform_real_distribution<float> scale(0.5f, 3.0f);
        nodes.reserve(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) {
            standin::StandinNode& parent = i < 4 ? scene.Root() : *nodes[static_cast<std::size_t>(i / 4 - 1)];
            NodeMatrix placement;
            placement.row[0] = Normalize(Point3(value(rng), value(rng), value(rng)));
            placement.row[1] = Normalize(CrossProd(placement.row[0], Point3(value(rng), value(rng), value(rng))));
            placement.row[2] = CrossProd(placement.row[0], placement.row[1]) * scale(rng);
            placement.row[0] = placement.row[0] * scale(rng);
            placement.row[3] = Point3(value(rng), value(rng), value(rng));
            nodes.push_back(
                &scene.AddNode(parent, "Pair" + std::to_string(pairOf[static_cast<std::size_t>(i)]), placement));
            placements.push_back(placement);
        }
        scene.Journal().SetEnabled(false);
        host.SetSelection(nodes);
    }

    void Reset() {
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            nodes[i]->SetTransform(placements[i]);
        }
    }

    standin::StandinScene scene;
    standin::StandinInterface host{scene};
    std::vector<standin::StandinNode*> nodes;
    std::vector<NodeMatrix> placements;
};

void BM_AlignAllSelected(benchmark::State& state) {
    PairedScene paired(static_cast<int>(state.range(0)));
    // Align runs from the tool's panel, made from the Tarvel resources.
    static const HINSTANCE module = win32standin::LoadModuleFromResFile(TARVEL_RES_PATH);
    SetModuleHandle(module);
    PivotUtility tool;
    tool.BeginEditParams(&paired.host, nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        paired.Reset();
        state.ResumeTiming();
        tool.AlignSelected();
    }
    tool.EndEditParams(&paired.host, nullptr);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_AlignAllSelected)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
