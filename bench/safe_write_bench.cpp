// The safe writer on many small pieces (a names file, a glTF file written
// as slices between edits): they are gathered into few writes, so staging
// a million ten-byte pieces should cost about what one write of the same
// bytes costs, plus the sync and the rename.
#include <string>
#include <string_view>
#include <vector>

#include "bench_support.h"
#include "replacement.h"

namespace {

void BM_SafeWriteSmallPieces(benchmark::State& state) {
    const bench::ScratchFolder folder("morvane-safe-write-bench");
    const std::string path = folder.File("pieces.txt");
    const std::string piece = "Node12345\n";
    const std::vector<std::string_view> pieces(static_cast<std::size_t>(state.range(0)), piece);
    for (auto _ : state) {
        safewrite::Replacement file(path, "bench");
        if (file.Stage(pieces) != safewrite::Error::None || file.Commit() != safewrite::Error::None) {
            state.SkipWithError("safe write failed");
        }
    }
    bench::CountBytes(state, pieces.size() * piece.size());
}

void BM_RawWriteOfTheSameBytes(benchmark::State& state) {
    const bench::ScratchFolder folder("morvane-safe-write-bench");
    std::string bytes;
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        bytes += "Node12345\n";
    }
    bench::TimeRawWrites(state, folder.File("raw.txt"), bytes);
    bench::CountBytes(state, bytes.size());
}

}  // namespace

BENCHMARK(BM_SafeWriteSmallPieces)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWriteOfTheSameBytes)->Arg(1000000)->Unit(benchmark::kMillisecond);
