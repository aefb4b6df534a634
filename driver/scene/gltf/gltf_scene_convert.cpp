// A glTF scene written in the other format of the two: a .gltf file as
// GLB, its buffers merged into the binary chunk; a GLB file as .gltf, its
// binary chunk a .bin file beside it.
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "json/json_text.h"
#include "scene/gltf/glb_container.h"
#include "scene/gltf/gltf_data_uri.h"
#include "scene/gltf/gltf_scene_file_class.h"
#include "scene/gltf/gltf_uri.h"

namespace driver::gltf {

namespace {

// The .bin file beside the .gltf file at `gltfPath`, named for it.
std::string BinaryFileFor(const std::string& gltfPath) {
    return gltfPath.substr(0, gltfPath.size() - std::strlen(".gltf")) + ".bin";
}

std::string FileNameOf(const std::string& path) { return std::filesystem::u8path(path).filename().u8string(); }

}  // namespace

bool GltfSceneFile::WrittenAsGlb(const std::string& target) const {
    const std::string named = FormatNamedByPath(target);
    return named == "GLB" || (glb_ && named != "glTF");
}

DataPlace GltfSceneFile::PlaceOfNewData(bool asGlb, const std::optional<MergedLayout>& merged) const {
    if (merged) {
        return {true, merged->size, true};
    }
    return {asGlb, asGlb && binaryAt_ != 0 ? std::optional(binarySize_) : std::nullopt};
}

// The binary chunk is a buffer where buffer 0 has no URI: the bytes of
// its byteLength (the chunk's padding left out), or the whole chunk.
std::optional<std::uint64_t> GltfSceneFile::ChunkBufferLength() const {
    const BufferModel& data = model_.data;
    if (!glb_ || binaryAt_ == 0 || data.bufferUris.empty() || data.bufferUris[0]) {
        return std::nullopt;
    }
    const std::optional<std::size_t> length = IndexIn(JsonValue(*json_, data.buffers[0]).Member("byteLength"));
    return length && *length <= binarySize_ ? *length : binarySize_;
}

std::vector<FileBeside> GltfSceneFile::FilesBeside(const std::string& path) const {
    const std::optional<std::uint64_t> length = textKept_ && !WrittenAsGlb(path) ? ChunkBufferLength() : std::nullopt;
    if (!length) {
        return {};
    }
    FileBeside binary{BinaryFileFor(path), {}};
    bytes_.AddTo(binary.content, binaryAt_, *length);
    return {binary};
}

void GltfSceneFile::EditChunkUri(const std::string& target, TextEdits& edits) const {
    if (ChunkBufferLength()) {
        const std::string uri = FileNameUri(FileNameOf(BinaryFileFor(target)), target + ": buffers[0].uri");
        EditObject(*json_, model_.data.buffers[0], {{"uri", JsonString(uri)}}, edits);
    }
}

// The GLB file of the edited JSON and one binary chunk: every buffer, each
// padded to four bytes, then the new data.
FileContent GltfSceneFile::MergedGlb(TextEdits edits, const std::string& path, const MergedLayout& layout,
                                     const std::string& binaryAppendix) const {
    edits.Order();
    const std::size_t jsonSize = edits.Size(json_->size());
    const std::uint64_t binaryLength = layout.size + binaryAppendix.size();
    const std::uint64_t chunksSize = binaryLength == 0 ? 0 : 8 + binaryLength;
    std::string head = GlbHead(jsonSize, chunksSize);
    std::string padding = GlbPadding(jsonSize);
    if (std::uint64_t{head.size()} + jsonSize + padding.size() + chunksSize > UINT32_MAX) {
        throw SceneFileError(path + ": the file would be larger than a GLB file can be (4 GiB)");
    }
    FileContent content;
    content.Add(std::move(head));
    content.Add(json_, std::move(edits));
    content.Add(std::move(padding));
    MadeFromBuffers(content);
    if (binaryLength == 0) {
        return content;
    }
    content.Add(GlbBinaryChunkHead(binaryLength));
    for (std::size_t buffer = 0; buffer < layout.lengths.size(); ++buffer) {
        AddMergedBuffer(content, buffer, layout.lengths[buffer], path);
        content.Add(std::string(static_cast<std::size_t>(PaddingToFour(layout.lengths[buffer])), '\0'));
    }
    content.Add(binaryAppendix);
    return content;
}

void GltfSceneFile::AddMergedBuffer(FileContent& content, std::size_t buffer, std::uint64_t length,
                                    const std::string& path) const {
    const BufferPlace place = PlaceOfBuffer(buffer);
    const std::string where = path + ": buffers[" + std::to_string(buffer) + "]: ";
    if (!place.dataUri.empty()) {
        std::optional<std::string> bytes = DataUriBytes(place.dataUri);
        if (!bytes || bytes->size() < length) {
            throw SceneFileError(where + "its data: URI holds fewer bytes than its byteLength, " +
                                 std::to_string(length) + ", which the GLB file's binary chunk needs");
        }
        bytes->resize(static_cast<std::size_t>(length));
        content.Add(std::move(*bytes));
    } else if (place.file == nullptr) {
        throw SceneFileError(where +
                             "its bytes, which go into the GLB file's binary chunk, cannot be read: " + place.missing);
    } else if (place.size < length) {
        throw SceneFileError(where + "its file holds " + std::to_string(place.size) + " bytes, fewer than its " +
                             "byteLength, " + std::to_string(length) + ", which the GLB file's binary chunk needs");
    } else {
        place.file->AddTo(content, place.at, length);
    }
}

}  // namespace driver::gltf
