// A GLB file of 1.5 GiB with a few nodes, as a scanned or detailed asset
// is: what save-names and align -o cost as processes (peak memory, time),
// beside cp of the same file in the same run (alone, and followed by sync,
// as durable as a safe write). Argument: 0, a binary chunk
// that is a hole (a sparse file, which cp keeps sparse); 1, one of bytes
// on the disk. Each figure is the median of three rounds, the three
// programs taking turns.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench_support.h"
#include "process_run.h"

namespace {

constexpr std::uint64_t kBinary = std::uint64_t{1536} << 20;
constexpr int kRounds = 3;

std::string Word(std::uint64_t value) {
    std::string word;
    for (int i = 0; i < 4; ++i) {
        word += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return word;
}

// Two namesakes and a lamp over a buffer of kBinary bytes.
std::string GlbStart() {
    std::string json = R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0, 1, 2]}], )"
                       R"("nodes": [{"name": "Box", "mesh": 0, "translation": [1, 2, 3]}, )"
                       R"({"name": "Box", "translation": [4, 5, 6], "rotation": [0, 0.7071068, 0, 0.7071068]}, )"
                       R"({"name": "Lamp"}], "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}], )"
                       R"("accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3"}], )"
                       R"("bufferViews": [{"buffer": 0, "byteLength": 36}], )"
                       R"("buffers": [{"byteLength": )" +
                       std::to_string(kBinary) + "}]}";
    json.append((4 - json.size() % 4) % 4, ' ');
    const std::uint64_t size = 12 + 8 + json.size() + 8 + kBinary;
    return "glTF" + Word(2) + Word(size) + Word(json.size()) + "JSON" + json + Word(kBinary) + std::string("BIN\0", 4);
}

struct GlbSetup {
    explicit GlbSetup(int dense) {
        std::ofstream file(scene, std::ios::binary);
        file << GlbStart();
        if (dense != 0) {
            // Bytes that no file system can compress or share.
            std::vector<std::uint64_t> block(1 << 17);
            std::uint64_t state = 88172645463325252ull;
            for (std::uint64_t written = 0; written < kBinary; written += block.size() * 8) {
                for (std::uint64_t& word : block) {
                    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
                    word = state;
                }
                file.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
            }
        }
        file.close();
        std::filesystem::resize_file(scene, GlbStart().size() + kBinary);
    }

    bench::ScratchFolder folder{"glb-file-bench"};
    std::string scene = folder.File("scene.glb");
    std::string names = folder.File("names.txt");
    std::string output = folder.File("aligned.glb");
    std::string copy = folder.File("copy.glb");
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Each program starts with nothing of the others' left to write back, so
// that none pays for another's writes.
bench::ProcessRun RunAfterSync(const char* program, const std::vector<std::string>& arguments) {
    ::sync();
    return bench::RunProcess(program, arguments);
}

void GlbProcesses(benchmark::State& state) {
    const GlbSetup& setup = bench::SetupOfSize<GlbSetup>(state);
    std::map<std::string, std::vector<double>> figures;
    for (auto _ : state) {
        for (int round = 0; round < kRounds; ++round) {
            std::remove(setup.copy.c_str());
            std::remove(setup.output.c_str());
            // cp leaves the copy to be written back; the safe writer puts it on
            // the disk before the rename, as cp followed by sync does.
            const bench::ProcessRun cp = RunAfterSync("/bin/cp", {setup.scene, setup.copy});
            std::remove(setup.copy.c_str());
            const bench::ProcessRun cpSync =
                RunAfterSync("/bin/sh", {"-c", "cp \"$0\" \"$1\" && sync \"$1\"", setup.scene, setup.copy});
            const bench::ProcessRun align =
                RunAfterSync(MORVANE_HOST_PATH, {"align", setup.scene, "--select", "1", "-o", setup.output});
            const bench::ProcessRun save = RunAfterSync(MORVANE_HOST_PATH, {"save-names", setup.scene, setup.names});
            std::error_code error;
            if (cp.seconds == 0 || cpSync.seconds == 0 || align.seconds == 0 || save.seconds == 0 ||
                std::filesystem::file_size(setup.output, error) < kBinary) {
                state.SkipWithError("a program failed");
                return;
            }
            figures["save_MiB"].push_back(save.mebibytes);
            figures["save_s"].push_back(save.seconds);
            figures["align_MiB"].push_back(align.mebibytes);
            figures["align_s"].push_back(align.seconds);
            figures["cp_MiB"].push_back(cp.mebibytes);
            figures["cp_s"].push_back(cp.seconds);
            figures["cp_sync_s"].push_back(cpSync.seconds);
        }
    }
    for (const auto& [name, values] : figures) {
        state.counters[name] = Median(values);
    }
    state.counters["align_x_cp"] = state.counters["align_s"] / state.counters["cp_s"];
    state.counters["align_x_cp_sync"] = state.counters["align_s"] / state.counters["cp_sync_s"];
}

}  // namespace

BENCHMARK(GlbProcesses)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
