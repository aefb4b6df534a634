// Arbitrary bytes as a names file: reading never crashes or hangs, and the
// names that reach the scene are those of the model of the format below,
// which splits the whole text at once instead of streaming it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "name_reader.h"
#include "names_utility.h"
#include "standin/standin_interface.h"

namespace {

using Names = std::vector<std::string>;

// One name per line: a line ends at LF, which a CR directly before it
// joins; a last line without LF counts; a name stops at its first NUL and
// after 511 characters.
Names ModelNames(const std::string& text) {
    Names names;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        const bool ended = lf != std::string::npos;
        std::string line = text.substr(start, (ended ? lf : text.size()) - start);
        if (ended && !line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        names.push_back(line.substr(0, std::min(line.find('\0'), std::size_t{511})));
        start = ended ? lf + 1 : text.size();
    }
    return names;
}

Names Strings(const names_tool::NameList& list) {
    Names names;
    for (std::size_t i = 0; i < list.size(); ++i) {
        names.emplace_back(list[i]);
    }
    return names;
}

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "mismatch: %s\n", what);
        std::abort();
    }
}

// The reader fed in pieces whose lengths come from the input itself.
Names ReadInPieces(const std::string& text) {
    names_tool::NameList list;
    names_tool::NameLineReader reader(list);
    std::size_t at = 0;
    std::size_t step = 0;
    while (at < text.size()) {
        const std::size_t length =
            std::min(text.size() - at, std::size_t{1} + static_cast<unsigned char>(text[step++ % text.size()]) % 13);
        reader.Feed(text.data() + at, length);
        at += length;
    }
    reader.Finish();
    return Strings(list);
}

// In memory where the system has a memory file system: opening files is
// most of the cost of one run.
struct ScratchFolder {
    std::string path;
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(path, error);
    }
};

const std::string& ScratchFile() {
    static ScratchFolder folder;
    static const std::string path = [] {
        std::error_code error;
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm", error) ? "/dev/shm" : std::filesystem::temp_directory_path();
        std::string made = (base / "velkora-fuzz-XXXXXX").string();
        if (::mkdtemp(made.data()) == nullptr) {
            std::abort();
        }
        folder.path = made;
        return made + "/names.txt";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Names model = ModelNames(text);
    Check(ReadInPieces(text) == model, "reader fed in pieces");
    // A reader that wants fewer names than the text holds stops at them.
    const std::size_t wanted = size > 0 ? data[0] % 8 : 0;
    names_tool::NameList first;
    names_tool::NameLineReader limited(first, wanted);
    limited.Feed(text.data(), text.size());
    limited.Finish();
    const auto kept = static_cast<std::ptrdiff_t>(std::min(wanted, model.size()));
    Check(Strings(first) == Names(model.begin(), model.begin() + kept), "reader that wants fewer names");

    if (std::FILE* file = std::fopen(ScratchFile().c_str(), "wb")) {
        const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        Check(std::fclose(file) == 0 && written, "scratch file written");
    }
    // Root(k1(k2), k3(k4, k5)): names in pre-order k0..k5.
    standin::StandinScene scene("k0");
    standin::StandinNode& k1 = scene.AddNode(scene.Root(), "k1");
    scene.AddNode(k1, "k2");
    standin::StandinNode& k3 = scene.AddNode(scene.Root(), "k3");
    scene.AddNode(k3, "k4");
    scene.AddNode(k3, "k5");
    scene.Journal().SetEnabled(false);
    standin::StandinInterface host(scene);
    NamesUtility tool;
    tool.SetInterface(&host);
    tool.LoadNames(ScratchFile());

    const std::vector<standin::StandinNode*> order = scene.PreOrder();
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::string expected = i < model.size() ? model[i] : "k" + std::to_string(i);
        Check(order[i]->Name() == expected, "names applied to the scene");
    }
    Check(scene.Violations().empty(), "host contract");
    return 0;
}
