#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "text/refusal.h"

// The bitstreams of EXT_meshopt_compression and KHR_meshopt_compression,
// decoded: the bytes of a compressed buffer view, from its compressed
// bytes and the layout its extension object gives. Every length comes
// from that layout and is checked against the compressed bytes before
// anything is read or held; malformed data is a MeshoptError.
namespace driver::gltf {

enum class MeshoptMode { Attributes, Triangles, Indices };
enum class MeshoptFilter { None, Octahedral, Quaternion, Exponential, Color };

// What a view's extension object says of its data.
struct MeshoptLayout {
    MeshoptMode mode = MeshoptMode::Attributes;
    MeshoptFilter filter = MeshoptFilter::None;
    std::uint64_t count = 0;
    std::uint64_t byteStride = 0;
    // KHR_meshopt_compression: its attributes may be of version 1 and its
    // filter COLOR; EXT_meshopt_compression has neither.
    bool khr = false;
};

// Compressed data that cannot be decoded; what() says why.
class MeshoptError : public CodedError {
public:
    explicit MeshoptError(const std::string& why) : CodedError(RefusalCode::BadScene, why) {}
};

// The layout of `mode` and `filter` (the extension's names, "" for no
// filter), checked as the extension requires it of its `byteStride` and
// `count`; `viewLength`, the view's own byteLength, must be what they
// decode to, which must be within the bound of a decoded view.
MeshoptLayout MeshoptLayoutOf(const std::string& mode, const std::string& filter, std::uint64_t count,
                              std::uint64_t byteStride, std::uint64_t viewLength, bool khr);

// The count * byteStride bytes that `encoded` holds in `layout`.
std::string DecodeMeshopt(const std::string& encoded, const MeshoptLayout& layout);

}  // namespace driver::gltf
