#include "scene/gltf/meshopt_decode.h"

#include "scene/gltf/meshopt_parts.h"
#include "text/input_bounds.h"

namespace driver::gltf {

namespace {

MeshoptMode ModeNamed(const std::string& name) {
    if (name == "ATTRIBUTES") {
        return MeshoptMode::Attributes;
    }
    if (name == "TRIANGLES") {
        return MeshoptMode::Triangles;
    }
    if (name == "INDICES") {
        return MeshoptMode::Indices;
    }
    throw MeshoptError("its mode \"" + name + "\" is none of ATTRIBUTES, TRIANGLES, INDICES");
}

MeshoptFilter FilterNamed(const std::string& name, bool khr) {
    static const struct {
        const char* name;
        MeshoptFilter filter;
    } filters[] = {{"", MeshoptFilter::None},
                   {"NONE", MeshoptFilter::None},
                   {"OCTAHEDRAL", MeshoptFilter::Octahedral},
                   {"QUATERNION", MeshoptFilter::Quaternion},
                   {"EXPONENTIAL", MeshoptFilter::Exponential},
                   {"COLOR", MeshoptFilter::Color}};
    for (const auto& row : filters) {
        if (name == row.name && (khr || row.filter != MeshoptFilter::Color)) {
            return row.filter;
        }
    }
    throw MeshoptError("its filter \"" + name + "\" is none of NONE, OCTAHEDRAL, QUATERNION, EXPONENTIAL" +
                       (khr ? ", COLOR" : ""));
}

// Why `stride` does not fit the mode and the filter; "" where it does.
std::string StrideFault(const MeshoptLayout& layout) {
    const std::uint64_t stride = layout.byteStride;
    if (layout.mode != MeshoptMode::Attributes) {
        if (stride != 2 && stride != 4) {
            return "its byteStride is not 2 or 4, as indices must be";
        }
        if (layout.filter != MeshoptFilter::None) {
            return "its indices have a filter";
        }
        return layout.mode == MeshoptMode::Triangles && layout.count % 3 != 0 ? "its count is no number of triangles"
                                                                              : "";
    }
    if (stride % 4 != 0 || stride < 4 || stride > 256) {
        return "its byteStride is not a multiple of 4 from 4 to 256, as attributes must be";
    }
    const bool four = stride == 4 || stride == 8;
    switch (layout.filter) {
        case MeshoptFilter::Octahedral:
        case MeshoptFilter::Color:
            return four ? "" : "its filter takes a byteStride of 4 or 8";
        case MeshoptFilter::Quaternion:
            return stride == 8 ? "" : "its filter QUATERNION takes a byteStride of 8";
        default:
            return "";
    }
}

// The layout as the extension requires it, and its bytes within their bound.
void CheckLayout(const MeshoptLayout& layout) {
    if (const std::string fault = StrideFault(layout); !fault.empty()) {
        throw MeshoptError(fault);
    }
    if (layout.count > BoundOf(InputBound::DecodedViewBytes) / layout.byteStride) {
        throw MeshoptError(PastBound(InputBound::DecodedViewBytes, std::to_string(layout.count) + " elements of " +
                                                                       std::to_string(layout.byteStride) + " bytes"));
    }
}

}  // namespace

MeshoptLayout MeshoptLayoutOf(const std::string& mode, const std::string& filter, std::uint64_t count,
                              std::uint64_t byteStride, std::uint64_t viewLength, bool khr) {
    MeshoptLayout layout;
    layout.mode = ModeNamed(mode);
    layout.filter = FilterNamed(filter, khr);
    layout.count = count;
    layout.byteStride = byteStride;
    layout.khr = khr;
    CheckLayout(layout);
    if (count * byteStride != viewLength) {
        throw MeshoptError("its " + std::to_string(count) + " elements of " + std::to_string(byteStride) +
                           " bytes are not the view's byteLength, " + std::to_string(viewLength));
    }
    return layout;
}

std::string DecodeMeshopt(const std::string& encoded, const MeshoptLayout& layout) {
    CheckLayout(layout);
    const auto count = static_cast<std::size_t>(layout.count);
    const auto stride = static_cast<std::size_t>(layout.byteStride);
    switch (layout.mode) {
        case MeshoptMode::Triangles:
            return meshopt::DecodeTriangles(encoded, count, stride);
        case MeshoptMode::Indices:
            return meshopt::DecodeIndices(encoded, count, stride);
        case MeshoptMode::Attributes:
            break;
    }
    std::string decoded = meshopt::DecodeAttributes(encoded, count, stride, layout.khr);
    meshopt::Unfilter(layout.filter, decoded, stride);
    return decoded;
}

}  // namespace driver::gltf
