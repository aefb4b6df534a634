// The names file on a scene of a million nodes, beside writing and reading
// the same bytes with one call each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "names_utility.h"
#include "scene_order.h"
#include "standin/standin_interface.h"

namespace {

// A scene of `nodes` nodes: the root, groups under it, 999 leaves a group;
// names of ten characters. The journal is off, the file in a scratch folder.
struct NamesBenchSetup {
    explicit NamesBenchSetup(int nodes) : host(scene) {
        scene.Journal().SetEnabled(false);
        standin::StandinNode* group = nullptr;
        for (int i = 1; i < nodes; ++i) {
            const std::string name = "Node" + std::to_string(100000 + i % 900000);
            if ((i - 1) % 1000 == 0) {
                group = &scene.AddNode(scene.Root(), name);
            } else {
                scene.AddNode(*group, name);
            }
        }
        tool.SetInterface(&host);
        std::string pattern = (std::filesystem::temp_directory_path() / "velkora-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        folder = pattern;
        path = (folder / "names.txt").string();
        tool.SaveNames(path);
        std::FILE* file = std::fopen(path.c_str(), "rb");
        bytes.resize(std::filesystem::file_size(path));
        if (file == nullptr || std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            std::abort();
        }
        std::fclose(file);
    }
    ~NamesBenchSetup() {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }

    standin::StandinScene scene{"Scene Root"};
    standin::StandinInterface host;
    NamesUtility tool;
    std::filesystem::path folder;
    std::string path;
    std::string bytes;  // the file that a save writes
};

NamesBenchSetup& Setup(int nodes) {
    static std::map<int, std::unique_ptr<NamesBenchSetup>> setups;
    std::unique_ptr<NamesBenchSetup>& setup = setups[nodes];
    if (!setup) {
        setup = std::make_unique<NamesBenchSetup>(nodes);
    }
    return *setup;
}

void Processed(benchmark::State& state, const NamesBenchSetup& setup) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(setup.bytes.size()));
}

void BM_SaveNames(benchmark::State& state) {
    NamesBenchSetup& setup = Setup(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        if (setup.tool.SaveNames(setup.path).outcome != SaveOutcome::Replaced) {
            state.SkipWithError("the file was not replaced");
        }
    }
    Processed(state, setup);
}

void BM_LoadNames(benchmark::State& state) {
    NamesBenchSetup& setup = Setup(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        if (!setup.tool.LoadNames(setup.path).loaded) {
            state.SkipWithError("the file was not loaded");
        }
    }
    Processed(state, setup);
}

void BM_RawWrite(benchmark::State& state) {
    NamesBenchSetup& setup = Setup(static_cast<int>(state.range(0)));
    const std::string raw = (setup.folder / "raw.txt").string();
    for (auto _ : state) {
        std::FILE* file = std::fopen(raw.c_str(), "wb");
        if (file == nullptr || std::fwrite(setup.bytes.data(), 1, setup.bytes.size(), file) != setup.bytes.size()) {
            state.SkipWithError("raw write failed");
        }
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    Processed(state, setup);
}

void BM_RawRead(benchmark::State& state) {
    NamesBenchSetup& setup = Setup(static_cast<int>(state.range(0)));
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

// The host calls of a save alone, without keeping or writing anything: the
// part of a save that the host's own speed sets.
void BM_SaveWalkOnly(benchmark::State& state) {
    NamesBenchSetup& setup = Setup(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::size_t characters = 0;
        VisitPreOrder(setup.host.RootNode(), [&characters](SceneNode* node) {
            characters += std::strlen(node->NodeName());
            return true;
        });
        benchmark::DoNotOptimize(characters);
    }
    Processed(state, setup);
}

}  // namespace

BENCHMARK(BM_SaveWalkOnly)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveNames)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadNames)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWrite)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawRead)->Arg(1000000)->Unit(benchmark::kMillisecond);
