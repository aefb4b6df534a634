// Sessions of many actions, read, checked and replayed on the built tools:
// the time an action stays the same however many there are.
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "bench_support.h"
#include "files/run_files.h"
#include "hosting/plugin_directory.h"
#include "hosting/session_host.h"
#include "process_run.h"
#include "scene/scene_format.h"
#include "session/session.h"
#include "session/session_check.h"
#include "session/session_replay.h"

namespace {

// Reads, checks and replays `session` on `scene`, as morvane-host does
// (the kept scenes are not written).
void RunSession(benchmark::State& state, const std::string& scene, const std::string& session) {
    for (auto _ : state) {
        const std::unique_ptr<driver::SceneFile> file = driver::ParseScene(scene, "scene.json");
        std::vector<driver::Action> actions = driver::ParseSession(session, "bench.session");
        driver::SessionHost host(*file, driver::PluginDirectory());
        driver::RunFiles files;
        driver::CheckSession(actions, host, files);
        std::ostringstream out;
        driver::Transcript transcript(out);
        driver::SessionReplay replay(host, transcript, false, true);
        if (!replay.Run(actions)) {
            state.SkipWithError(replay.Failure()->message.c_str());
        }
        benchmark::DoNotOptimize(out.str().size());
    }
}

void BM_SessionOfSaves(benchmark::State& state) {
    static const bench::ScratchFolder folder("morvane-session-bench");
    std::string session = "open Tarvel\n";
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        session += "save " + folder.File("out" + std::to_string(i) + ".json") + "\n";
    }
    RunSession(state, bench::NamesakePairScene(8), session + "close\n");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SessionSelectingMany(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::string session = "select";
    for (int i = 1; i <= count; ++i) {
        session += " " + std::to_string(i);
    }
    RunSession(state, bench::NamesakePairScene(count), session + "\n");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Names without wildcards, each fitting a pair of namesakes.
void BM_SessionSelectingManyByName(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::string session = "select-name";
    for (int i = 0; i < count / 2; ++i) {
        session += " N" + std::to_string(i);
    }
    RunSession(state, bench::NamesakePairScene(count), session + "\n");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A user's work repeated: select a pair, align it, move a pivot by
// picking, in lines of every kind.
void BM_SessionOfManyActions(benchmark::State& state) {
    std::string session = "open Tarvel\n";
    for (std::int64_t i = 0; i < state.range(0) / 10; ++i) {
        const std::string node = std::to_string(1 + i % 16);
        session += "select " + node + "\npress Align\nselect-name N" + std::to_string(i % 8) + "\nselect " + node +
                   "\nradio Y\npress Pick\nclick 1 2 3\nclick 1 5 3\nendpick\nprint\n";
    }
    RunSession(state, bench::NamesakePairScene(16), session + "close\n");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// One line of 15 MiB (under the bound of a line), of each kind a line can be long in, run by
// morvane-host: its peak memory is a few times the line's bytes (the
// counters: peak over line), whether the line is refused at its second
// word or read whole.
void BM_SessionOfOneLongLine(benchmark::State& state) {
    static const bench::ScratchFolder folder("morvane-long-line-bench");
    constexpr std::size_t kLine = 15u << 20;
    const auto repeated = [](const std::string& verb, const std::string& word) {
        std::string line = verb;
        while (line.size() < kLine) {
            line += " " + word;
        }
        return line + "\n";
    };
    std::string distinct = "select-name";
    for (int i = 0; distinct.size() < kLine; ++i) {
        distinct += " n" + std::to_string(i);
    }
    const std::pair<const char*, std::string> lines[] = {
        {"select_repeated_x", repeated("select", "5")},
        {"select_name_repeated_x", repeated("select-name", "a")},
        {"select_name_distinct_x", distinct + "\n"},
        {"press_x", "press " + std::string(kLine, 'x') + "\n"},
    };
    const std::string scene = folder.File("scene.json");
    std::ofstream(scene) << bench::NamesakePairScene(8);
    for (auto _ : state) {
        for (const auto& [name, line] : lines) {
            const std::string session = folder.File("long.session");
            std::ofstream(session, std::ios::binary) << line;
            const bench::ProcessRun run = bench::RunProcess(MORVANE_HOST_PATH, {scene, session}, true);
            state.counters[name] = run.mebibytes / (static_cast<double>(line.size()) / (1 << 20));
        }
    }
}

// A tool opened and closed again and again, a million times, as
// morvane-host runs it: the time follows the pairs (the host's interfaces
// of the tool's buttons are looked up, not searched, and kept while held),
// and the peak memory stays a few times the session's bytes (the counter:
// peak over the session's size).
void BM_SessionOpeningAndClosing(benchmark::State& state) {
    static const bench::ScratchFolder folder("morvane-open-close-bench");
    const std::string scene = folder.File("scene.json");
    std::ofstream(scene) << bench::NamesakePairScene(8);
    const std::string session = folder.File("open-close.session");
    std::string text;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        text += "open Tarvel\nclose\n";
    }
    std::ofstream(session, std::ios::binary) << text;
    for (auto _ : state) {
        const bench::ProcessRun run = bench::RunProcess(MORVANE_HOST_PATH, {"-q", scene, session});
        state.counters["peak_over_session"] = run.mebibytes / (static_cast<double>(text.size()) / (1 << 20));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_SessionOpeningAndClosing)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionOfOneLongLine)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionOfSaves)->Arg(250)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionSelectingMany)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionSelectingManyByName)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SessionOfManyActions)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
