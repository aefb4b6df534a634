#include "scene/gltf/glb_container.h"

#include <algorithm>

#include "files/input_file.h"
#include "scene/gltf/gltf_constants.h"
#include "scene/scene_error.h"
#include "standin/little_endian.h"

namespace driver::gltf {

namespace {

constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kChunkHeaderSize = 8;
// The chunk headers after the JSON are read this much at a time, so that
// a file of many small chunks costs few reads.
constexpr std::size_t kHeaderWindow = std::size_t{64} * 1024;

// The headers of the chunks of a file, read a window at a time.
class ChunkHeaders {
public:
    explicit ChunkHeaders(const SourceBytes& bytes) : bytes_(bytes) {}
    // The length and type of the chunk whose header is at `at`, whole in the file.
    std::pair<std::uint32_t, std::uint32_t> At(std::uint64_t at) {
        if (at < windowAt_ || at + kChunkHeaderSize > windowAt_ + window_->size()) {
            windowAt_ = at;
            window_ =
                bytes_.Read(at, static_cast<std::size_t>(std::min<std::uint64_t>(kHeaderWindow, bytes_.Size() - at)));
        }
        const auto offset = static_cast<std::size_t>(at - windowAt_);
        return {little_endian::Uint32(*window_, offset), little_endian::Uint32(*window_, offset + 4)};
    }

private:
    const SourceBytes& bytes_;
    std::uint64_t windowAt_ = 0;
    std::shared_ptr<const std::string> window_ = std::make_shared<const std::string>();
};

[[noreturn]] void Malformed(const std::string& source, const std::string& why) {
    throw SceneFileError(source + ": malformed GLB: " + why);
}

// Where the chunks lie: every chunk must lie within the file, and the first
// must be the JSON.
void FindChunks(const SourceBytes& bytes, const std::string& source, GlbParts& parts) {
    const std::uint64_t size = bytes.Size();
    ChunkHeaders headers(bytes);
    for (std::uint64_t at = kHeaderSize, chunk = 0; at < size; ++chunk) {
        if (size - at < kChunkHeaderSize) {
            Malformed(source,
                      "chunk " + std::to_string(chunk) + " at byte " + std::to_string(at) + " has no complete header");
        }
        const auto [chunkLength, type] = headers.At(at);
        if (size - at - kChunkHeaderSize < chunkLength) {
            Malformed(source, "chunk " + std::to_string(chunk) + " at byte " + std::to_string(at) +
                                  " runs past the end: it gives " + std::to_string(chunkLength) +
                                  " bytes, the file has " + std::to_string(size - at - kChunkHeaderSize) +
                                  " after its header");
        }
        if (chunk == 0 && type != kJsonChunk) {
            Malformed(source, "the first chunk is not the JSON chunk");
        }
        if (chunk == 1 && type == kBinaryChunk) {
            parts.binaryAt = at + kChunkHeaderSize;
            parts.binarySize = chunkLength;
        }
        at += kChunkHeaderSize + chunkLength;
        parts.chunksAt = chunk == 0 ? at : parts.chunksAt;
    }
    if (parts.chunksAt == 0) {
        Malformed(source, "there is no JSON chunk");
    }
}

}  // namespace

bool HasGlbMagic(const std::string& bytes) { return bytes.rfind(kGlbMagic, 0) == 0; }

GlbParts ReadGlb(const SourceBytes& bytes, const std::string& source) {
    const std::uint64_t size = bytes.Size();
    const std::shared_ptr<const std::string> header =
        bytes.Read(0, static_cast<std::size_t>(std::min<std::uint64_t>(size, kHeaderSize + kChunkHeaderSize)));
    if (!HasGlbMagic(*header)) {
        throw SceneFileError(source + ": not a GLB file: it does not begin with \"glTF\"");
    }
    if (size < kHeaderSize) {
        Malformed(source, "the file is shorter than the 12-byte header");
    }
    const std::uint32_t version = little_endian::Uint32(*header, 4);
    if (version != kGlbVersion) {
        throw SceneFileError(source + ": not glTF 2.0: GLB version " + std::to_string(version));
    }
    const std::uint32_t length = little_endian::Uint32(*header, 8);
    if (length != size) {
        Malformed(source,
                  "the header gives a length of " + std::to_string(length) + " bytes, the file has " +
                      std::to_string(size) +
                      (length > size ? ": the file is cut short" : ": the file has more than the header counts"));
    }
    GlbParts parts;
    FindChunks(bytes, source, parts);
    const std::uint64_t jsonSize = parts.chunksAt - kHeaderSize - kChunkHeaderSize;
    if (jsonSize > kMaxInputBytes) {
        throw InputFileError(source + ": cannot be read: its JSON chunk is larger than " +
                             std::to_string(kMaxInputBytes >> 20) + " MiB, the most that morvane-host reads");
    }
    parts.head = *header;
    parts.json = bytes.Read(kHeaderSize + kChunkHeaderSize, static_cast<std::size_t>(jsonSize));
    parts.chunksSize = size - parts.chunksAt;
    // Padding is spaces; some writers pad with zero bytes instead.
    const std::size_t kept = parts.json->find_last_not_of('\0') + 1;
    if (kept < parts.json->size()) {
        parts.padding.assign(parts.json->size() - kept, '\0');
        parts.json = std::make_shared<const std::string>(parts.json->substr(0, kept));
    }
    return parts;
}

std::string GlbHead(std::size_t jsonSize, std::uint64_t chunksSize) {
    const std::size_t padded = jsonSize + GlbPadding(jsonSize).size();
    std::string head = kGlbMagic;
    little_endian::AppendUint32(head, kGlbVersion);
    little_endian::AppendUint32(head, static_cast<std::uint32_t>(kHeaderSize + kChunkHeaderSize + padded + chunksSize));
    little_endian::AppendUint32(head, static_cast<std::uint32_t>(padded));
    little_endian::AppendUint32(head, kJsonChunk);
    return head;
}

std::string GlbBinaryChunkHead(std::uint64_t length) {
    std::string head;
    little_endian::AppendUint32(head, static_cast<std::uint32_t>(length));
    little_endian::AppendUint32(head, kBinaryChunk);
    return head;
}

std::string GlbPadding(std::size_t jsonSize) { return std::string((4 - jsonSize % 4) % 4, ' '); }

}  // namespace driver::gltf
