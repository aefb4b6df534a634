// The names jobs of morvane-host on generated glTF files (see
// generated_gltf.h) beside a minimal program on RapidJSON doing the same
// jobs on the same bytes (gltf_baseline.h), pair by pair in one run: the
// baseline first, then ours with its time as a multiple of the baseline's
// ("x_baseline"). Peak memory is measured by running both programs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "bench_support.h"
#include "cli/command_line.h"
#include "files/output_file.h"
#include "generated_gltf.h"
#include "gltf_baseline.h"
#include "hosting/plugin_directory.h"
#include "hosting/session_host.h"
#include "process_run.h"
#include "scene/scene_format.h"
#include "session/session_check.h"
#include "session/session_replay.h"
#include "session/transcript.h"
#include "tools/shortcut_session.h"

namespace {

// A run of morvane-host with `arguments` without the process around it, as
// its main function runs a shortcut; the transcript goes to memory. The
// failure's message, or "".
std::string RunLikeMorvaneHost(const std::vector<std::string>& arguments) try {
    const driver::Invocation invocation = driver::ParseCommandLine(arguments);
    const std::unique_ptr<driver::SceneFile> sceneFile =
        driver::ReadScene(invocation.scenePath,
                          invocation.outputPath.empty() ? driver::SceneUse::LookedAt : driver::SceneUse::Written);
    driver::RunFiles runFiles = driver::FilesOfRun(invocation, sceneFile->ReferencedFiles());
    if (!invocation.outputPath.empty()) {
        driver::CheckWritable(invocation.outputPath, "-o");
    }
    driver::SessionHost host(*sceneFile, driver::PluginDirectory());
    driver::ShortcutSession session = driver::BuildShortcutSession(*invocation.shortcut, host);
    std::vector<driver::Action>& actions = session.actions;
    driver::CheckSession(actions, host, runFiles);
    driver::CheckShortcutJob(*invocation.shortcut, session, host, runFiles.Proxies());
    std::ostringstream out;
    driver::Transcript transcript(out);
    driver::SessionReplay replay(host, transcript, true, false);
    if (!replay.Run(actions)) {
        return replay.Failure()->message;
    }
    if (!invocation.outputPath.empty()) {
        driver::WriteOutputFiles({{invocation.outputPath, sceneFile->Content(invocation.outputPath, {})}});
        transcript.Written(invocation.outputPath);
    }
    return "";
} catch (const std::exception& e) {
    return e.what();
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The generated file of the benchmark's size, the names that save-names
// writes of it and, for load-names, other names for every node.
struct GltfPairSetup {
    explicit GltfPairSetup(int nodes) : bytes(bench::GeneratedGltf(nodes)) {
        if (!bench::WriteRaw(scene, bytes) || !RunLikeMorvaneHost({"save-names", scene, names}).empty() ||
            !baseline::SaveNames(scene, baselineNames) || ReadFile(names) != ReadFile(baselineNames)) {
            std::fputs("gltf pair: save-names and the baseline do not write the same names\n", stderr);
            std::abort();
        }
        std::istringstream lines(ReadFile(names));
        std::string renamed;
        for (std::string line; std::getline(lines, line);) {
            renamed += line + " 2\n";
        }
        if (!bench::WriteRaw(otherNames, renamed)) {
            std::abort();
        }
    }

    bench::ScratchFolder folder{"gltf-pair-bench"};
    std::string bytes;
    std::string scene = folder.File("scene.gltf");
    std::string names = folder.File("names.txt");
    std::string baselineNames = folder.File("baseline-names.txt");
    std::string otherNames = folder.File("other-names.txt");
    std::string output = folder.File("output.gltf");
};

// Times `job` in the state's loop, with the file's bytes as the bytes
// processed; the baseline's processor seconds a run (which other loads on
// the machine change less than the time that passes) are kept by the name
// of the pair and size, for ours to be given as a multiple of them.
std::map<std::string, double> baselineSeconds;

template <typename Job>
void TimePair(benchmark::State& state, const char* pair, bool isBaseline, Job job) {
    const GltfPairSetup& setup = bench::SetupOfSize<GltfPairSetup>(state);
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        if (!job(setup)) {
            state.SkipWithError("the job failed");
            break;
        }
    }
    const double seconds =
        static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC / static_cast<double>(state.iterations());
    const std::string key = pair + std::to_string(state.range(0));
    if (isBaseline) {
        baselineSeconds[key] = seconds;
    } else if (baselineSeconds.count(key) != 0) {
        state.counters["x_baseline"] = seconds / baselineSeconds[key];
    }
    bench::CountBytes(state, setup.bytes.size());
}

void GltfSaveNames_RapidJSON(benchmark::State& state) {
    TimePair(state, "save", true, [](const GltfPairSetup& s) { return baseline::SaveNames(s.scene, s.names); });
}
void GltfSaveNames_Morvane(benchmark::State& state) {
    TimePair(state, "save", false, [](const GltfPairSetup& s) {
        return RunLikeMorvaneHost({"save-names", s.scene, s.names}).empty();
    });
}

void GltfLoadNames_RapidJSON(benchmark::State& state) {
    TimePair(state, "load", true,
             [](const GltfPairSetup& s) { return baseline::LoadNames(s.scene, s.otherNames, s.output); });
}
void GltfLoadNames_Morvane(benchmark::State& state) {
    TimePair(state, "load", false, [](const GltfPairSetup& s) {
        return RunLikeMorvaneHost({"load-names", s.scene, s.otherNames, "-o", s.output}).empty();
    });
}

// The read alone, from bytes in memory: a parse in place of a copy, and
// the project's reader building the scene.
void GltfParse_RapidJSON(benchmark::State& state) {
    TimePair(state, "read", true, [](const GltfPairSetup& s) {
        std::vector<char> text(s.bytes.begin(), s.bytes.end());
        text.push_back('\0');
        rapidjson::Document document;
        return !document.ParseInsitu(text.data()).HasParseError();
    });
}
void GltfParse_Morvane(benchmark::State& state) {
    TimePair(state, "read", false, [](const GltfPairSetup& s) {
        return driver::ParseScene(s.bytes, s.scene)->Document().scene->NodeCount() > 0;
    });
}

// The write alone, to bytes in memory, of a file whose every node was
// renamed: the baseline writes the whole document whatever changed.
struct GltfWriteSetup {
    explicit GltfWriteSetup(int nodes)
        : bytes(bench::GeneratedGltf(nodes)), ours(driver::ParseScene(bytes, "scene.gltf")) {
        for (standin::StandinNode* node : ours->Document().scene->PreOrder()) {
            node->SetName(node->Name() + " 2");
        }
        text.assign(bytes.begin(), bytes.end());
        text.push_back('\0');
        theirs.ParseInsitu(text.data());
    }

    std::string bytes;
    std::unique_ptr<driver::SceneFile> ours;
    std::vector<char> text;
    rapidjson::Document theirs;
};

void GltfWrite_RapidJSON(benchmark::State& state) {
    GltfWriteSetup& setup = bench::SetupOfSize<GltfWriteSetup>(state);
    TimePair(state, "write", true, [&setup](const GltfPairSetup&) {
        rapidjson::StringBuffer written;
        rapidjson::Writer<rapidjson::StringBuffer> writer(written);
        return setup.theirs.Accept(writer) && written.GetSize() > 0;
    });
}
void GltfWrite_Morvane(benchmark::State& state) {
    GltfWriteSetup& setup = bench::SetupOfSize<GltfWriteSetup>(state);
    TimePair(state, "write", false,
             [&setup](const GltfPairSetup&) { return !setup.ours->Content("scene.gltf", {}).Joined().empty(); });
}

// The middle of `values` (the mean of the two middle ones for an even count).
double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.empty() ? 0 : values.size() % 2 == 1 ? values[half] : (values[half - 1] + values[half]) / 2;
}

// Pairs of runs of a job (MORVANE_BENCH_PAIRS, 3 unless set), each pair
// the two programs one right after the other, which goes first taking
// turns: the load of a shared machine falls on both alike, and the ratio
// of each pair cancels it.
int PairCount() {
    const char* pairs = std::getenv("MORVANE_BENCH_PAIRS");
    return pairs != nullptr && std::atoi(pairs) > 0 ? std::atoi(pairs) : 3;
}

// Argument 0: the nodes; argument 1: save-names (0) or load-names -o (1).
// The ratios (x_baseline_s by the time that passed, x_baseline_cpu by the
// processor time, the better measure on a loaded machine) are the medians
// of the pairs'.
void GltfNamesProcesses(benchmark::State& state) {
    const GltfPairSetup& setup = bench::SetupOfSize<GltfPairSetup>(state);
    const bool load = state.range(1) == 1;
    std::vector<std::string> job = {load ? "load-names" : "save-names", setup.scene};
    job.push_back(load ? setup.otherNames : setup.names);
    if (load) {
        job.insert(job.end(), {"-o", setup.output});
    }
    bench::ProcessRun ours, theirs;
    std::vector<double> wallRatios, processorRatios;
    for (auto _ : state) {
        for (int pair = 0; pair < PairCount(); ++pair) {
            const bool oursFirst = pair % 2 == 1;
            if (oursFirst) {
                ours = bench::RunProcess(MORVANE_HOST_PATH, job);
            }
            theirs = bench::RunProcess(GLTF_BASELINE_PATH, job);
            if (!oursFirst) {
                ours = bench::RunProcess(MORVANE_HOST_PATH, job);
            }
            if (ours.seconds == 0 || theirs.seconds == 0 || theirs.processorSeconds == 0) {
                state.SkipWithError("a program failed");
                return;
            }
            wallRatios.push_back(ours.seconds / theirs.seconds);
            processorRatios.push_back(ours.processorSeconds / theirs.processorSeconds);
        }
    }
    const double fileMiB = static_cast<double>(setup.bytes.size()) / (1 << 20);
    state.counters["file_MiB"] = fileMiB;
    state.counters["ours_MiB"] = ours.mebibytes;
    state.counters["baseline_MiB"] = theirs.mebibytes;
    state.counters["ours_x_file"] = ours.mebibytes / fileMiB;
    state.counters["x_baseline_MiB"] = ours.mebibytes / theirs.mebibytes;
    state.counters["ours_s"] = ours.seconds;
    state.counters["baseline_s"] = theirs.seconds;
    state.counters["x_baseline_s"] = Median(wallRatios);
    state.counters["x_baseline_cpu"] = Median(processorRatios);
    state.counters["pairs"] = static_cast<double>(wallRatios.size());
}

// A million nodes (110 MiB of glTF) takes minutes and gigabytes: only
// when MORVANE_BENCH_MILLION is set.
std::vector<std::int64_t> Sizes() {
    if (std::getenv("MORVANE_BENCH_MILLION") != nullptr) {
        return {1000, 100000, 1000000};
    }
    return {1000, 100000};
}

void PairSizes(benchmark::internal::Benchmark* benchmark) {
    for (const std::int64_t nodes : Sizes()) {
        benchmark->Arg(nodes);
    }
    benchmark->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(GltfParse_RapidJSON)->Apply(PairSizes);
BENCHMARK(GltfParse_Morvane)->Apply(PairSizes);
BENCHMARK(GltfWrite_RapidJSON)->Apply(PairSizes);
BENCHMARK(GltfWrite_Morvane)->Apply(PairSizes);
BENCHMARK(GltfSaveNames_RapidJSON)->Apply(PairSizes);
BENCHMARK(GltfSaveNames_Morvane)->Apply(PairSizes);
BENCHMARK(GltfLoadNames_RapidJSON)->Apply(PairSizes);
BENCHMARK(GltfLoadNames_Morvane)->Apply(PairSizes);
BENCHMARK(GltfNamesProcesses)->ArgsProduct({Sizes(), {0, 1}})->Iterations(1)->Unit(benchmark::kMillisecond);
