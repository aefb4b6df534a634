#pragma once

#include <cstddef>
#include <string>

namespace driver::gltf {

// A GLB file: a 12-byte header, a JSON chunk, then the binary chunk and any
// others, which the tools keep byte for byte without looking inside.
struct GlbParts {
    std::string head;     // the header and the JSON chunk's header, as they were
    std::string json;     // the JSON chunk's content, its padding of zero bytes removed
    std::string padding;  // the zero bytes removed
    std::string chunks;   // every byte after the JSON chunk, as it was
};

// True when `bytes` begin with the GLB magic "glTF".
bool HasGlbMagic(const std::string& bytes);

// The parts of a GLB file. Throws SceneFileError, naming `source`, for a
// file that is not GLB version 2 or whose header or chunks do not add up.
GlbParts SplitGlb(std::string bytes, const std::string& source);

// A GLB file of JSON of `jsonSize` bytes and of other chunks of
// `chunksSize` bytes is: GlbHead, the JSON, GlbPadding, the chunks.
std::string GlbHead(std::size_t jsonSize, std::size_t chunksSize);
// The spaces that pad the JSON to four bytes.
std::string GlbPadding(std::size_t jsonSize);

}  // namespace driver::gltf
