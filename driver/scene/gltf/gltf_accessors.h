#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scene/gltf/gltf_constants.h"
#include "scene/gltf/json_view.h"

// The accessors, buffer views and buffers of a glTF file, as far as the
// binary data that an edit rewrites needs them (a skin's inverse bind
// matrices, an animation's keys): where an accessor's numbers lie, and
// what else reads them. What does not fit is passed over here, and told
// by AccessorFault when it is asked for.
namespace driver::gltf {

struct AccessorEntry {
    Span object;
    std::optional<std::size_t> view;
    std::uint64_t byteOffset = 0;
    std::uint64_t count = 0;
    std::uint32_t componentType = 0;
    std::uint8_t components = 0;  // of its type: 1 SCALAR, 3 VEC3, 4 VEC4, 16 MAT4, ...; 0 for another
    bool normalized = false;
    bool sparse = false;
    // References from meshes, animations and GPU instances; skinUses
    // from skins.
    std::uint32_t otherUses = 0;
    std::uint32_t skinUses = 0;
};

// Where a view's compressed bytes are and how they decode, as its
// EXT_meshopt_compression or KHR_meshopt_compression object says.
struct MeshoptSource {
    const char* extension = "";
    std::optional<std::size_t> buffer;
    std::uint64_t byteOffset = 0;
    std::uint64_t byteLength = 0;
    std::uint64_t byteStride = 0;
    std::uint64_t count = 0;
    std::string mode, filter;
};

struct BufferViewEntry {
    Span object;
    std::optional<std::size_t> buffer;
    std::uint64_t byteOffset = 0;
    std::uint64_t byteLength = 0;
    std::uint64_t byteStride = 0;  // 0 where it has none
    std::uint32_t uses = 0;        // accessors and images that refer to it
    // Where it is compressed: its bytes are decoded from there, and its
    // own buffer (a fallback) is not read.
    std::optional<MeshoptSource> meshopt;
};

// The buffer whose bytes a view's data comes from: its compressed
// source's where it has one.
inline std::optional<std::size_t> DataBufferOf(const BufferViewEntry& view) {
    return view.meshopt ? view.meshopt->buffer : view.buffer;
}

struct BufferModel {
    std::vector<AccessorEntry> accessors;
    std::vector<BufferViewEntry> views;
    std::vector<std::optional<std::string>> bufferUris;  // by buffer; none without a URI
    std::vector<Span> buffers;                           // the buffers' objects
    std::optional<Span> accessorsArray, viewsArray, buffersArray;
    std::size_t documentEnd = 0;  // the closing brace of the file's object
};

// The accessors, views and buffers of a file, from its top-level members
// and the objects of its nodes that have EXT_mesh_gpu_instancing.
BufferModel ReadBufferModel(const std::vector<JsonMember>& top, const std::vector<JsonValue>& instanced,
                            const std::string& json);

// Why accessor `accessor` is not `count` elements of `components` floats
// one after another, in a buffer whose bytes the tools can read: a GLB
// file's binary chunk (`glb`: a buffer without a URI), a file beside the
// scene or a data: URI, or zeros (no buffer view); none where it is. A
// compressed view's bytes are those of its compressed source, decoded.
// `quantized`: normalized 8- and 16-bit integers pass too (the keys of an
// animation may be stored so).
std::optional<std::string> AccessorFault(const BufferModel& model, std::size_t accessor, std::size_t components,
                                         std::uint64_t count, bool glb, bool quantized = false);

// The bytes of one component of accessor `accessor`: 4 for a float, 1 or
// 2 for a normalized integer.
std::size_t ComponentSize(const AccessorEntry& accessor);

// Component `i` of `bytes`, the elements of `accessor`, as a number:
// a normalized integer as glTF maps it onto [-1, 1] or [0, 1].
double ComponentValue(const AccessorEntry& accessor, const std::string& bytes, std::size_t i);

}  // namespace driver::gltf
