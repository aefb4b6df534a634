// Scene files of a million nodes (the grouped scene of the names
// benchmarks): reading and writing them, beside a raw read and write of
// the same bytes, and the whole save-names shortcut of morvane-host on
// such a file, from reading the scene to the transcript.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_scenes.h"
#include "plugin_directory.h"
#include "scene_format.h"
#include "session_check.h"
#include "session_host.h"
#include "session_replay.h"
#include "shortcut.h"
#include "transcript.h"

namespace {

struct SceneFileSetup {
    explicit SceneFileSetup(int nodes) {
        standin::StandinScene scene;
        bench::BuildGroupedScene(scene, nodes);
        bytes = driver::WriteSceneFile(scene, {}, {0, 100}, 0);
        std::string pattern = (std::filesystem::temp_directory_path() / "scene-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        folder = pattern;
        path = (folder / "scene.json").string();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            std::abort();
        }
        std::fclose(file);
    }
    ~SceneFileSetup() {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }

    std::filesystem::path folder;
    std::string path;
    std::string bytes;
};

SceneFileSetup& Setup(int nodes) {
    static std::map<int, std::unique_ptr<SceneFileSetup>> setups;
    std::unique_ptr<SceneFileSetup>& setup = setups[nodes];
    if (!setup) {
        setup = std::make_unique<SceneFileSetup>(nodes);
    }
    return *setup;
}

void Processed(benchmark::State& state, const SceneFileSetup& setup) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(setup.bytes.size()));
}

void WriteFile(benchmark::State& state, const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        state.SkipWithError("write failed");
    }
    if (file != nullptr) {
        std::fclose(file);
    }
}

void BM_ReadSceneFile(benchmark::State& state) {
    SceneFileSetup& setup = Setup(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const std::unique_ptr<driver::SceneFile> file = driver::ReadScene(setup.path);
        benchmark::DoNotOptimize(file->Document().scene->NodeCount());
    }
    Processed(state, setup);
}

void BM_WriteSceneFile(benchmark::State& state) {
    SceneFileSetup& setup = Setup(static_cast<int>(state.range(0)));
    const std::unique_ptr<driver::SceneFile> read = driver::ReadScene(setup.path);
    const std::string written = (setup.folder / "written.json").string();
    for (auto _ : state) {
        WriteFile(state, written, read->Write(written, {}));
    }
    Processed(state, setup);
}

void BM_RawSceneRead(benchmark::State& state) {
    SceneFileSetup& setup = Setup(static_cast<int>(state.range(0)));
    std::vector<char> buffer(setup.bytes.size());
    for (auto _ : state) {
        std::FILE* file = std::fopen(setup.path.c_str(), "rb");
        if (file == nullptr || std::fread(buffer.data(), 1, buffer.size(), file) != buffer.size()) {
            state.SkipWithError("raw read failed");
        }
        if (file != nullptr) {
            std::fclose(file);
        }
        benchmark::DoNotOptimize(buffer.data());
    }
    Processed(state, setup);
}

void BM_RawSceneWrite(benchmark::State& state) {
    SceneFileSetup& setup = Setup(static_cast<int>(state.range(0)));
    const std::string raw = (setup.folder / "raw.json").string();
    for (auto _ : state) {
        WriteFile(state, raw, setup.bytes);
    }
    Processed(state, setup);
}

// morvane-host save-names SCENE NAMES without the process around it: the
// scene read, the run checked and replayed with the built Velkora, the
// transcript written to memory.
void BM_SaveNamesShortcut(benchmark::State& state) {
    SceneFileSetup& setup = Setup(static_cast<int>(state.range(0)));
    driver::Shortcut shortcut;
    shortcut.command = "save-names";
    shortcut.names = (setup.folder / "names.txt").string();
    const std::vector<driver::Action> actions = driver::ShortcutActions(shortcut);
    for (auto _ : state) {
        const std::unique_ptr<driver::SceneFile> file = driver::ReadScene(setup.path);
        driver::SessionHost host(*file, driver::PluginDirectory());
        driver::CheckSession(actions, host, {setup.path});
        std::ostringstream out;
        driver::Transcript transcript(out);
        driver::SessionReplay replay(host, transcript, true, false);
        if (!replay.Run(actions)) {
            state.SkipWithError(replay.Failure().c_str());
        }
    }
    Processed(state, setup);
}

}  // namespace

BENCHMARK(BM_ReadSceneFile)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteSceneFile)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawSceneRead)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawSceneWrite)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveNamesShortcut)->Arg(1000000)->Unit(benchmark::kMillisecond);
