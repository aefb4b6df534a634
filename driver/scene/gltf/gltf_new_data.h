#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scene/gltf/gltf_accessors.h"
#include "text/text_edits.h"

// The binary data that writing adds to a glTF file (a skin's new inverse
// bind matrices, an animation's new keys): each piece is the values of an
// accessor, a new one or one that nothing else reads, which keeps its
// index and is pointed at them (its buffer view too, where nothing else
// uses that and it is not compressed). No byte that an accessor reads changes. In a GLB file whose
// buffer 0 is its binary chunk, the pieces are appended to that chunk; a
// GLB file without buffers gets a binary chunk and a buffer for them;
// otherwise they make a new buffer, a data: URI. A .gltf file written as
// GLB, whose buffers become one binary chunk, has them appended to it.
namespace driver::gltf {

// Where a file's new data goes.
struct DataPlace {
    bool glb = false;
    // A GLB file's binary chunk, the chunk after the JSON: its data's size,
    // none where the file has no such chunk.
    std::optional<std::uint64_t> binaryChunk;
    // The file's buffers merged into one binary chunk of `binaryChunk`
    // bytes, buffer 0 (a .gltf file written as GLB): the pieces follow
    // them; the buffers are left to the merging to make.
    bool merged = false;
};

class NewData {
public:
    NewData(const std::string& json, const BufferModel& model, const DataPlace& place, TextEdits& edits);

    // `bytes` as the values of `count` elements of floats of the accessor
    // type `type` ("MAT4", "VEC3", ...): the accessor `own`, which nothing
    // else reads, or else a new one. Returns the accessor's index.
    std::size_t Add(const std::string& bytes, const char* type, std::uint64_t count, std::optional<std::size_t> own);
    // Adds the new accessors, views and buffer to the file's arrays.
    void Finish();
    // What the GLB binary chunk gains at its end (from its old data's end,
    // padded to four bytes), made by Finish; empty for none.
    const std::string& BinaryAppendix() const { return appendix_; }
    // The buffer views that the pieces took over, pointed at them.
    const std::vector<std::size_t>& ViewsTaken() const { return viewsTaken_; }

private:
    bool InBinaryChunk() const;
    std::string BufferIndex() const;
    // Where a piece at `offset` of the new data lies in its buffer.
    std::uint64_t Base() const;

    const std::string& json_;
    const BufferModel& model_;
    DataPlace place_;
    TextEdits& edits_;
    std::string blob_;
    std::string appendix_;
    std::vector<std::string> views_, accessors_;
    std::vector<std::size_t> viewsTaken_;
    std::size_t nextView_, nextAccessor_;
};

}  // namespace driver::gltf
