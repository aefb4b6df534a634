// Drawing a large scene as the SVG picture of --svg: the grouped scene,
// whose pivots all fall on one spot (one crowd of labels); a scene whose
// pivots are scattered over the view, so that labels crowd and move; and a
// chain, each node a step further. The time grows with the nodes, and the
// picture's size stays bounded (counter "bytes_per_node").
#include <benchmark/benchmark.h>

#include <string>

#include "bench_support.h"
#include "scene/node_state.h"
#include "scene/svg/scene_svg.h"

namespace {

struct DrawSetup {
    explicit DrawSetup(int nodes) {
        standin::StandinScene grouped;
        bench::BuildGroupedScene(grouped, nodes);
        stacked = driver::TakeSnapshot(grouped);
        scattered.push_back(stacked.front());
        chain.push_back(stacked.front());
        for (long long i = 1; i < nodes; ++i) {
            driver::NodeState node{"Node" + std::to_string(i), {}, {}};
            node.transform.SetTrans(Point3(float(i * 7919 % 1000), float(i * 104729 % 1000), float(i % 100)));
            node.objectWorld = node.transform;
            scattered.push_back(node);
            node.transform.SetTrans(Point3(float(i), float(i) / 2, 0));
            node.objectWorld = node.transform;
            chain.push_back(node);
        }
    }

    driver::SceneSnapshot stacked;
    driver::SceneSnapshot scattered;
    driver::SceneSnapshot chain;
};

void DrawSvg(benchmark::State& state, const driver::SceneSnapshot& snapshot) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string svg = driver::DrawSceneSvg(snapshot, snapshot, driver::UpAxis::Z);
        bytes = svg.size();
        benchmark::DoNotOptimize(svg.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["bytes_per_node"] = double(bytes) / double(state.range(0));
    state.counters["megabytes"] = double(bytes) / 1e6;
}

void BM_DrawStackedSceneSvg(benchmark::State& state) { DrawSvg(state, bench::SetupOfSize<DrawSetup>(state).stacked); }
void BM_DrawScatteredSceneSvg(benchmark::State& state) {
    DrawSvg(state, bench::SetupOfSize<DrawSetup>(state).scattered);
}
void BM_DrawChainSvg(benchmark::State& state) { DrawSvg(state, bench::SetupOfSize<DrawSetup>(state).chain); }

}  // namespace

BENCHMARK(BM_DrawStackedSceneSvg)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawScatteredSceneSvg)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawChainSvg)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
