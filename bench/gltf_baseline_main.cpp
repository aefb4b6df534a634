// gltf_baseline save-names SCENE NAMES | load-names SCENE NAMES -o OUTPUT:
// the baseline of the glTF names benchmarks as a program of its own, so
// that its peak memory is measured as morvane-host's is.
#include <string>

#include "gltf_baseline.h"

int main(int argc, char** argv) {
    const std::string job = argc > 1 ? argv[1] : "";
    if (job == "save-names" && argc == 4) {
        return baseline::SaveNames(argv[2], argv[3]) ? 0 : 1;
    }
    if (job == "load-names" && argc == 6 && std::string(argv[4]) == "-o") {
        return baseline::LoadNames(argv[2], argv[3], argv[5]) ? 0 : 1;
    }
    return 2;
}
