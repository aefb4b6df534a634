// Drawing a large scene as the SVG picture of --svg: the grouped scene,
// whose pivots all fall on one spot (one stack of labels), and a scene
// whose pivots are scattered over the view, so that labels crowd and move.
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
        standin::StandinScene spread;
        for (int i = 1; i < nodes; ++i) {
            NodeMatrix transform;
            transform.SetTrans(Point3(float(i * 7919 % 1000), float(i * 104729 % 1000), float(i % 100)));
            spread.AddNode(spread.Root(), "Node" + std::to_string(i), transform);
        }
        scattered = driver::TakeSnapshot(spread);
    }

    driver::SceneSnapshot stacked;
    driver::SceneSnapshot scattered;
};

void DrawSvg(benchmark::State& state, const driver::SceneSnapshot& snapshot) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(driver::DrawSceneSvg(snapshot, snapshot, driver::UpAxis::Z));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_DrawStackedSceneSvg(benchmark::State& state) { DrawSvg(state, bench::SetupOfSize<DrawSetup>(state).stacked); }

void BM_DrawScatteredSceneSvg(benchmark::State& state) {
    DrawSvg(state, bench::SetupOfSize<DrawSetup>(state).scattered);
}

}  // namespace

BENCHMARK(BM_DrawStackedSceneSvg)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawScatteredSceneSvg)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
