#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// Numbers as the binary files the project reads keep them, least
// significant byte first: GLB headers and chunks, glTF buffers, ELF and PE
// images. The callers check that the bytes are there.
namespace little_endian {

// The unsigned number of `size` bytes (at most 8) at `at` of `bytes`, any
// container of char.
template <typename Bytes>
std::uint64_t Unsigned(const Bytes& bytes, std::size_t at, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

inline std::uint32_t Uint32(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(Unsigned(bytes, at, 4));
}

inline void AppendUint32(std::string& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// An IEEE 754 single-precision number.
inline float Float32(const std::string& bytes, std::size_t at) {
    const std::uint32_t bits = Uint32(bytes, at);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void PutFloat32(std::string& bytes, std::size_t at, float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    }
}

}  // namespace little_endian
