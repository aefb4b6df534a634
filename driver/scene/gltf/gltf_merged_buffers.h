#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scene/gltf/gltf_accessors.h"
#include "text/text_edits.h"

// A .gltf file written as GLB: its buffers (files beside it, data: URIs)
// laid end to end in the one binary chunk, each from a multiple of four
// bytes, so that every buffer view and every accessor in it keeps the
// alignment it had (glTF's components are of 1, 2 or 4 bytes).
namespace driver::gltf {

struct MergedLayout {
    std::vector<std::uint64_t> lengths;  // by buffer: its byteLength
    std::vector<std::uint64_t> bases;    // by buffer: where it begins in the chunk
    std::uint64_t size = 0;              // the buffers' bytes, padded to four
};

// Where each buffer of the file goes. Throws SceneFileError, led by
// `path`, for a buffer without a byteLength and for a view compressed by
// EXT_meshopt_compression, whose extension names buffers of its own.
MergedLayout LayOutMerged(const std::string& json, const BufferModel& model, const std::string& path);

// The edits that point every buffer view (but those in `taken`, which new
// data already points at the chunk) at buffer 0 at its new offset, and
// make "buffers" the one buffer of the chunk, `length` bytes, without a
// URI: none where the file has no buffers and gains none.
void EditForMerged(const std::string& json, const BufferModel& model, const MergedLayout& layout, std::uint64_t length,
                   const std::vector<std::size_t>& taken, TextEdits& edits);

// Bytes that pad `size` to a multiple of four.
inline std::uint64_t PaddingToFour(std::uint64_t size) { return (4 - size % 4) % 4; }

}  // namespace driver::gltf
