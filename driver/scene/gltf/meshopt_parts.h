#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "scene/gltf/meshopt_decode.h"

// The parts of DecodeMeshopt: one decoder for each mode, the filters, and
// the reading of the compressed bytes that they share.
namespace driver::gltf::meshopt {

// The bytes [at, end) of a compressed stream, read in order: a read past
// `end` is a MeshoptError.
class Cursor {
public:
    Cursor(const std::string& bytes, std::size_t at, std::size_t end) : bytes_(bytes), at_(at), end_(end) {}

    std::uint8_t Byte() {
        Need(1);
        return static_cast<std::uint8_t>(bytes_[at_++]);
    }
    // The next `size` bytes, passed over.
    const unsigned char* Take(std::size_t size) {
        Need(size);
        const auto* taken = reinterpret_cast<const unsigned char*>(bytes_.data() + at_);
        at_ += size;
        return taken;
    }
    // An unsigned LEB128 number of at most five bytes, its bits past 32 dropped.
    std::uint32_t Varint() {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            const std::uint8_t byte = Byte();
            value |= static_cast<std::uint32_t>(byte & 0x7f) << shift;
            if ((byte & 0x80) == 0) {
                return value;
            }
        }
        throw MeshoptError("a number of its data runs longer than five bytes");
    }
    // Every byte up to `end` read, as a stream must leave it.
    void CheckAllRead() const {
        if (at_ != end_) {
            throw MeshoptError(std::to_string(end_ - at_) + " bytes of its data are left over after its elements");
        }
    }

private:
    void Need(std::size_t size) const {
        if (size > end_ - at_) {
            throw MeshoptError("its data ends before all its elements are decoded");
        }
    }
    const std::string& bytes_;
    std::size_t at_;
    std::size_t end_;
};

// Mode ATTRIBUTES: `count` elements of `stride` bytes (version 1 only
// where `khr`).
std::string DecodeAttributes(const std::string& encoded, std::size_t count, std::size_t stride, bool khr);
// Modes TRIANGLES and INDICES: `count` indices of `stride` (2 or 4) bytes.
std::string DecodeTriangles(const std::string& encoded, std::size_t count, std::size_t stride);
std::string DecodeIndices(const std::string& encoded, std::size_t count, std::size_t stride);
// `filter` undone, in place, on decoded elements of `stride` bytes.
void Unfilter(MeshoptFilter filter, std::string& bytes, std::size_t stride);

// The header byte of a stream, which names its mode (and version).
inline std::uint8_t HeaderOf(const std::string& encoded, std::size_t tail, const char* mode) {
    if (encoded.size() < 1 + tail) {
        throw MeshoptError("its " + std::to_string(encoded.size()) + " bytes are too few for a " + mode + " stream");
    }
    return static_cast<std::uint8_t>(encoded[0]);
}

inline std::string HeaderFault(std::uint8_t header, const char* wanted) {
    const char* digits = "0123456789abcdef";
    return std::string("its first byte is 0x") + digits[header >> 4] + digits[header & 15] + ", not " + wanted;
}

}  // namespace driver::gltf::meshopt
