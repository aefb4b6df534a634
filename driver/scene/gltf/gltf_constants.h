#pragma once

#include <cstdint>

// The numbers that glTF 2.0 and its binary container GLB give meaning to,
// named once for the readers and the writers.
namespace driver::gltf {

// A GLB file: its magic and version, and the kinds of its chunks, as the
// little-endian words of the file ("JSON", "BIN\0").
constexpr char kGlbMagic[] = "glTF";
constexpr std::uint32_t kGlbVersion = 2;
constexpr std::uint32_t kJsonChunk = 0x4E4F534A;
constexpr std::uint32_t kBinaryChunk = 0x004E4942;

// An accessor's componentType.
constexpr std::uint32_t kByteComponent = 5120;
constexpr std::uint32_t kUnsignedByteComponent = 5121;
constexpr std::uint32_t kShortComponent = 5122;
constexpr std::uint32_t kUnsignedShortComponent = 5123;
constexpr std::uint32_t kUnsignedIntComponent = 5125;
constexpr std::uint32_t kFloatComponent = 5126;

// An accessor's type, and the components of an element of it.
struct AccessorType {
    const char* name;
    std::uint8_t components;
};
constexpr const char* kMat4Type = "MAT4";  // an inverse bind matrix's
constexpr AccessorType kAccessorTypes[] = {
    {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT2", 4}, {"MAT3", 9}, {kMat4Type, 16},
};

}  // namespace driver::gltf
