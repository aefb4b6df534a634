#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "standin/standin_scene.h"

// What the benchmarks of large scenes and their files share.
namespace bench {

// The large scene of the names and scene file benchmarks: `nodes` nodes,
// the root with groups under it, 999 leaves a group, names of ten
// characters, every transform the identity.
inline void BuildGroupedScene(standin::StandinScene& scene, int nodes) {
    standin::StandinNode* group = nullptr;
    for (int i = 1; i < nodes; ++i) {
        std::string name = "Node" + std::to_string(100000 + i % 900000);
        if ((i - 1) % 1000 == 0) {
            group = &scene.AddNode(scene.Root(), std::move(name));
        } else {
            scene.AddNode(*group, std::move(name));
        }
    }
}

// A folder of its own in the temporary folder, removed with its files.
class ScratchFolder {
public:
    explicit ScratchFolder(const char* prefix) {
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The setup of the benchmark's size (its first argument), made on first use
// and kept for every later run of that size.
template <typename Setup>
Setup& SetupOfSize(const benchmark::State& state) {
    static std::map<std::int64_t, std::unique_ptr<Setup>> setups;
    std::unique_ptr<Setup>& setup = setups[state.range(0)];
    if (!setup) {
        setup = std::make_unique<Setup>(static_cast<int>(state.range(0)));
    }
    return *setup;
}

// Counts `size` bytes for each run of the state's loop.
inline void CountBytes(benchmark::State& state, std::size_t size) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

// One write of the bytes with one call, as a file is written at its
// fastest; false when it failed.
inline bool WriteRaw(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file != nullptr) {
        std::fclose(file);
    }
    return written;
}

// The raw write of `bytes` and the raw read of the file at `path` (of
// `size` bytes, into one buffer), timed by the state's loop.
inline void TimeRawWrites(benchmark::State& state, const std::string& path, const std::string& bytes) {
    for (auto _ : state) {
        if (!WriteRaw(path, bytes)) {
            state.SkipWithError("raw write failed");
        }
    }
}

inline void TimeRawReads(benchmark::State& state, const std::string& path, std::size_t size) {
    std::vector<char> buffer(size);
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr || std::fread(buffer.data(), 1, buffer.size(), file) != buffer.size()) {
            state.SkipWithError("raw read failed");
        }
        if (file != nullptr) {
            std::fclose(file);
        }
        benchmark::DoNotOptimize(buffer.data());
    }
}

// A scene of the project's format: the root and `nodes` children, each
// with a namesake for Align.
inline std::string NamesakePairScene(int nodes) {
    std::string text =
        "{\"root\": {\"name\": \"Scene Root\", \"transform\": [[1,0,0],[0,1,0],[0,0,1],[0,0,0]], "
        "\"children\": [";
    for (int i = 0; i < nodes; ++i) {
        text += std::string(i == 0 ? "" : ", ") + "{\"name\": \"N" + std::to_string(i / 2) +
                "\", \"transform\": [[1,0,0],[0,1,0],[0,0,1],[" + std::to_string(i) + ",0,0]]}";
    }
    return text + "]}}";
}

}  // namespace bench
