// Writes the benchmarks' generated glTF file of N nodes to standard
// output, for the viewer's benchmark page (tools/viewer-bench).
//   generated_gltf_file N
#include <cstdio>
#include <cstdlib>
#include <string>

#include "generated_gltf.h"

int main(int argc, char** argv) {
    const int nodes = argc == 2 ? std::atoi(argv[1]) : 0;
    if (nodes <= 0) {
        std::fputs("usage: generated_gltf_file N\n", stderr);
        return 2;
    }
    const std::string text = bench::GeneratedGltf(nodes);
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
