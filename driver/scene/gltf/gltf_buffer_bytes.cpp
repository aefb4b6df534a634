#include "scene/gltf/gltf_buffer_bytes.h"

#include <cstring>
#include <fstream>
#include <optional>

#include "files/native_path.h"
#include "scene/gltf/gltf_data_uri.h"

namespace driver::gltf {

namespace {

std::string ReadAt(const std::string& path, std::uint64_t at, std::size_t size) {
    std::ifstream file(NativePath(path), std::ios::binary);
    if (!file) {
        throw BufferReadError("\"" + path + "\" cannot be opened");
    }
    std::string bytes(size, '\0');
    file.seekg(static_cast<std::streamoff>(at));
    if (!file.read(bytes.data(), static_cast<std::streamsize>(size))) {
        throw BufferReadError("\"" + path + "\" ends before the bytes " + std::to_string(at) + " to " +
                              std::to_string(at + size));
    }
    return bytes;
}

}  // namespace

std::string ReadBufferBytes(const BufferPlace& place, std::uint64_t offset, std::size_t size) {
    switch (place.kind) {
        case BufferPlace::Kind::File:
            return ReadAt(place.text, offset, size);
        case BufferPlace::Kind::DataUri: {
            const std::optional<std::string> bytes = DataUriBytes(place.text);
            if (!bytes) {
                throw BufferReadError("its data: URI is not base64");
            }
            if (offset > bytes->size() || size > bytes->size() - offset) {
                throw BufferReadError("its data: URI ends before the bytes " + std::to_string(offset) + " to " +
                                      std::to_string(offset + size));
            }
            return bytes->substr(static_cast<std::size_t>(offset), size);
        }
    }
    throw BufferReadError("unknown kind of buffer");
}

float FloatAt(const std::string& bytes, std::size_t at) {
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) {
        bits = (bits << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void PutFloatAt(std::string& bytes, std::size_t at, float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    }
}

}  // namespace driver::gltf
