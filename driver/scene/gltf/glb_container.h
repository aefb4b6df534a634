#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "files/source_bytes.h"

namespace driver::gltf {

// A GLB file as read: a 12-byte header, a JSON chunk, then the binary chunk
// and any others, which the tools keep byte for byte without reading them:
// they stay in the file, and are copied from it when the file is written.
struct GlbParts {
    std::string head;                         // the header and the JSON chunk's header, as they were
    std::shared_ptr<const std::string> json;  // the JSON chunk's content, its padding of zero bytes removed
    std::string padding;                      // the zero bytes removed
    std::uint64_t chunksAt = 0;               // where the chunks after the JSON begin in the file
    std::uint64_t chunksSize = 0;             // every byte from there to the end
    // Where the binary chunk's data lies in the file (the chunk after the
    // JSON, of type "BIN"), for a positioned read of a buffer's bytes; a
    // size of 0 where the file has none.
    std::uint64_t binaryAt = 0;
    std::uint64_t binarySize = 0;
};

// True when `bytes` begin with the GLB magic "glTF".
bool HasGlbMagic(const std::string& bytes);

// The parts of a GLB file: its header, its JSON chunk and the headers of
// the chunks after it are read, nothing else. Throws SceneFileError, naming
// `source`, for a file that is not GLB version 2 or whose header or chunks
// do not add up, and InputFileError for a JSON chunk larger than
// kMaxInputBytes or a file that cannot be read.
GlbParts ReadGlb(const SourceBytes& bytes, const std::string& source);

// A GLB file of JSON of `jsonSize` bytes and of other chunks of
// `chunksSize` bytes is: GlbHead, the JSON, GlbPadding, the chunks.
std::string GlbHead(std::size_t jsonSize, std::uint64_t chunksSize);
// The header of a binary chunk of `length` bytes.
std::string GlbBinaryChunkHead(std::uint64_t length);
// The spaces that pad the JSON to four bytes.
std::string GlbPadding(std::size_t jsonSize);

}  // namespace driver::gltf
