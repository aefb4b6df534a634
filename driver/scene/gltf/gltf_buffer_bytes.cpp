#include "scene/gltf/gltf_buffer_bytes.h"

#include <cstring>
#include <optional>

#include "files/input_file.h"
#include "scene/gltf/gltf_data_uri.h"

namespace driver::gltf {

namespace {

void CheckWithin(std::uint64_t total, std::uint64_t offset, std::size_t size, const char* what) {
    if (offset > total || size > total - offset) {
        throw BufferReadError(std::string(what) + " ends before the bytes " + std::to_string(offset) + " to " +
                              std::to_string(offset + size));
    }
}

}  // namespace

std::string ReadBufferBytes(const BufferPlace& place, std::uint64_t offset, std::size_t size) {
    if (place.file != nullptr) {
        CheckWithin(place.size, offset, size, "the buffer");
        try {
            return *place.file->Read(place.at + offset, size);
        } catch (const InputFileError& e) {
            throw BufferReadError(e.what());
        }
    }
    if (!place.dataUri.empty()) {
        const std::optional<std::string> bytes = DataUriBytes(place.dataUri);
        if (!bytes) {
            throw BufferReadError("its data: URI is not base64");
        }
        CheckWithin(bytes->size(), offset, size, "its data: URI");
        return bytes->substr(static_cast<std::size_t>(offset), size);
    }
    throw BufferReadError(place.missing);
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
