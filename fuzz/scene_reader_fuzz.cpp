// Arbitrary bytes as a scene file: as glTF JSON or GLB (told by the content)
// and as the project's own scene format. Reading never crashes, hangs or
// follows the file's nesting down the stack; a glTF file read and written
// without edits is the same bytes; the own format's written text reads back
// and writes the same; renamed nodes and an object moved off its pivot are
// written so that they read back as they were set. A glTF file is also
// read to be listed, so that its meshes' positions are read (and decoded,
// where a view is compressed).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scene/scene_format.h"

namespace {

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "mismatch: %s\n", what);
        std::abort();
    }
}

std::unique_ptr<driver::SceneFile> TryParse(const std::string& bytes, const std::string& path,
                                            driver::SceneUse use = driver::SceneUse::Written) {
    try {
        return driver::ParseScene(bytes, path, use);
    } catch (const driver::SceneFileError&) {
        return nullptr;
    }
}

void EditAndReadBack(driver::SceneFile& file, const std::string& path) {
    const auto nodes = file.Document().scene->PreOrder();
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        nodes[i]->SetName(i % 3 == 2 ? "" : "n" + std::to_string(i) + " \"\xc3\xa9\\");
    }
    NodeMatrix offset;
    offset.row[3] = {0, 0, 1};
    nodes.back()->SetObjectOffset(offset);
    std::string written;
    try {
        written = file.Content(path, {}).Joined();
    } catch (const driver::SceneFileError&) {
        return;  // a scene this format cannot hold, refused
    }
    const auto reread = TryParse(written, path);
    Check(reread != nullptr, "a written file reads back");
    const auto again = reread->Document().scene->PreOrder();
    Check(again.size() == nodes.size(), "the same nodes");
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        Check(again[i]->Name() == nodes[i]->Name(), "the names as set");
    }
}

// The name that writes a scene in the format it was read in: GLB bytes
// (told by their magic) are written to a .glb name, as -o takes it.
std::string SameFormatName(const std::string& bytes, const std::string& path) {
    return path == "fuzz.gltf" && bytes.compare(0, 4, "glTF") == 0 ? "fuzz.glb" : path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TryParse(bytes, "fuzz.gltf", driver::SceneUse::Listed);
    for (const std::string path : {"fuzz.gltf", "fuzz.json"}) {
        const auto file = TryParse(bytes, path);
        if (file == nullptr) {
            continue;
        }
        const std::string written = file->Content(SameFormatName(bytes, path), {}).Joined();
        if (file->FormatName() == "scene file") {
            const auto reread = TryParse(written, path);
            Check(reread != nullptr && reread->Content(path, {}).Joined() == written,
                  "a written scene file writes the same");
        } else {
            Check(written == bytes, "a glTF file written without edits is the same bytes");
        }
        EditAndReadBack(*file, file->FormatName() == "scene file" ? path : "elsewhere/" + SameFormatName(bytes, path));
    }
    return 0;
}
