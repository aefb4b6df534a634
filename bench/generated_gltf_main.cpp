// Writes the benchmarks' generated glTF file of N nodes to standard
// output, for the viewer's benchmark page (tools/viewer-bench).
//   generated_gltf_file N
#include <cstdio>
#include <cstdlib>
#include <string>

#include "generated_gltf.h"

int main(int argc, char** argv) {
    char* end = nullptr;
    const long nodes = argc == 2 ? std::strtol(argv[1], &end, 10) : 0;
    if (nodes <= 0 || nodes > 10000000 || *end != '\0') {
        (void)std::fputs("usage: generated_gltf_file N (1 to 10 000 000)\n", stderr);
        return 2;
    }
    const std::string text = bench::GeneratedGltf(static_cast<int>(nodes));
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
