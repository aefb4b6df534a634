// Scene files of a million nodes (the grouped scene of the names
// benchmarks): reading and writing them, beside a raw read and write of
// the same bytes, and the whole save-names shortcut of morvane-host on
// such a file, from reading the scene to the transcript.
#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "cli/command_line.h"
#include "hosting/plugin_directory.h"
#include "hosting/session_host.h"
#include "scene/project/scene_file.h"
#include "scene/scene_format.h"
#include "session/session_check.h"
#include "session/session_replay.h"
#include "session/transcript.h"
#include "tools/shortcut_session.h"

namespace {

struct SceneFileSetup {
    explicit SceneFileSetup(int nodes) {
        standin::StandinScene scene;
        bench::BuildGroupedScene(scene, nodes);
        bytes = driver::WriteSceneFile(scene, {}, {0, 100}, 0);
        path = folder.File("scene.json");
        if (!bench::WriteRaw(path, bytes)) {
            std::abort();
        }
    }

    bench::ScratchFolder folder{"scene-bench"};
    std::string path;
    std::string bytes;
};

void BM_ReadSceneFile(benchmark::State& state) {
    SceneFileSetup& setup = bench::SetupOfSize<SceneFileSetup>(state);
    for (auto _ : state) {
        const std::unique_ptr<driver::SceneFile> file = driver::ReadScene(setup.path);
        benchmark::DoNotOptimize(file->Document().scene->NodeCount());
    }
    bench::CountBytes(state, setup.bytes.size());
}

void BM_WriteSceneFile(benchmark::State& state) {
    SceneFileSetup& setup = bench::SetupOfSize<SceneFileSetup>(state);
    const std::unique_ptr<driver::SceneFile> read = driver::ReadScene(setup.path);
    const std::string written = setup.folder.File("written.json");
    for (auto _ : state) {
        if (!bench::WriteRaw(written, read->Content(written, {}).Joined())) {
            state.SkipWithError("write failed");
        }
    }
    bench::CountBytes(state, setup.bytes.size());
}

void BM_RawSceneRead(benchmark::State& state) {
    SceneFileSetup& setup = bench::SetupOfSize<SceneFileSetup>(state);
    bench::TimeRawReads(state, setup.path, setup.bytes.size());
    bench::CountBytes(state, setup.bytes.size());
}

void BM_RawSceneWrite(benchmark::State& state) {
    SceneFileSetup& setup = bench::SetupOfSize<SceneFileSetup>(state);
    bench::TimeRawWrites(state, setup.folder.File("raw.json"), setup.bytes);
    bench::CountBytes(state, setup.bytes.size());
}

// morvane-host save-names SCENE NAMES without the process around it: the
// scene read, the run checked and replayed with the built Velkora, the
// transcript written to memory.
void BM_SaveNamesShortcut(benchmark::State& state) {
    SceneFileSetup& setup = bench::SetupOfSize<SceneFileSetup>(state);
    const driver::Invocation invocation =
        driver::ParseCommandLine({"save-names", setup.path, setup.folder.File("names.txt")});
    for (auto _ : state) {
        const std::unique_ptr<driver::SceneFile> file = driver::ReadScene(setup.path);
        driver::SessionHost host(*file, driver::PluginDirectory());
        std::vector<driver::Action> actions = driver::BuildShortcutSession(*invocation.shortcut, host).actions;
        driver::RunFiles files;
        files.Add(setup.path, driver::RunFiles::Use::OnlyRead, "the scene file");
        driver::CheckSession(actions, host, files);
        std::ostringstream out;
        driver::Transcript transcript(out);
        driver::SessionReplay replay(host, transcript, true, false);
        if (!replay.Run(actions)) {
            state.SkipWithError(replay.Failure()->message.c_str());
        }
    }
    bench::CountBytes(state, setup.bytes.size());
}

}  // namespace

BENCHMARK(BM_ReadSceneFile)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteSceneFile)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawSceneRead)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawSceneWrite)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveNamesShortcut)->Arg(1000000)->Unit(benchmark::kMillisecond);
