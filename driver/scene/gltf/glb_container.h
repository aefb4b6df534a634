#pragma once

#include <string>

namespace driver::gltf {

// A GLB file: a 12-byte header, a JSON chunk, then the binary chunk and any
// others, which the tools keep byte for byte without looking inside.
struct GlbParts {
    std::string head;    // the header and the JSON chunk, as they were
    std::string json;    // the JSON chunk's content, its padding removed
    std::string chunks;  // every byte after the JSON chunk, as it was
};

// True when `bytes` begin with the GLB magic "glTF".
bool HasGlbMagic(const std::string& bytes);

// The parts of a GLB file. Throws SceneFileError, naming `source`, for a
// file that is not GLB version 2 or whose header or chunks do not add up.
GlbParts SplitGlb(const std::string& bytes, const std::string& source);

// A GLB file of `json`, padded with spaces to four bytes, and `chunks`.
std::string JoinGlb(std::string json, const std::string& chunks);

}  // namespace driver::gltf
