#include "scene/gltf/gltf_scene_file_class.h"

#include "files/native_path.h"
#include "scene/gltf/glb_container.h"
#include "scene/gltf/gltf_uri.h"
#include "scene/gltf/meshopt_decode.h"
#include "text/input_bounds.h"

namespace driver::gltf {

using standin::StandinNode;

std::string GltfSceneFile::ReadBuffer(std::size_t buffer, std::uint64_t offset, std::size_t size) const {
    return ReadBufferBytes(PlaceOfBuffer(buffer), offset, size);
}

std::string GltfSceneFile::ReadView(std::size_t view, std::uint64_t offset, std::size_t size) const {
    const std::string name = "bufferViews[" + std::to_string(view) + "]";
    if (view >= model_.data.views.size()) {
        throw BufferReadError(name + " is not in the file");
    }
    const BufferViewEntry& entry = model_.data.views[view];
    if (!entry.meshopt) {
        if (!entry.buffer || *entry.buffer >= model_.data.bufferUris.size()) {
            throw BufferReadError(name + " names no buffer of the file");
        }
        return ReadBuffer(*entry.buffer, entry.byteOffset + offset, size);
    }
    auto decoded = decodedViews_.find(view);
    if (decoded == decodedViews_.end()) {
        decoded = decodedViews_.emplace(view, DecodedView(view)).first;
    }
    const std::string& bytes = decoded->second;
    if (offset > bytes.size() || size > bytes.size() - offset) {
        throw BufferReadError(name + " decoded ends before the bytes " + std::to_string(offset) + " to " +
                              std::to_string(offset + size));
    }
    return bytes.substr(static_cast<std::size_t>(offset), size);
}

std::string GltfSceneFile::DecodedView(std::size_t view) const {
    const BufferViewEntry& entry = model_.data.views[view];
    const MeshoptSource& source = *entry.meshopt;
    const std::string where = "bufferViews[" + std::to_string(view) + "]: its " + source.extension + " data";
    const std::size_t buffer = source.buffer.value_or(model_.data.bufferUris.size());
    if (buffer >= model_.data.bufferUris.size()) {
        throw BufferReadError(where + " names no buffer of the file");
    }
    try {
        const MeshoptLayout layout = MeshoptLayoutOf(source.mode, source.filter, source.count, source.byteStride,
                                                     entry.byteLength, source.extension[0] == 'K');
        if (source.byteLength > BoundOf(InputBound::DecodedViewBytes)) {
            throw MeshoptError(PastBound(InputBound::DecodedViewBytes, std::to_string(source.byteLength) + " bytes"));
        }
        return DecodeMeshopt(ReadBuffer(buffer, source.byteOffset, static_cast<std::size_t>(source.byteLength)),
                             layout);
    } catch (const MeshoptError& e) {
        throw BufferReadError(where + " cannot be decoded: " + e.what());
    } catch (const BufferReadError& e) {
        throw BufferReadError(where + " cannot be read: " + e.what());
    }
}

void GltfSceneFile::OpenBufferFiles() {
    const std::vector<std::optional<std::string>>& uris = model_.data.bufferUris;
    bufferFiles_.resize(uris.size());
    bufferMissing_.resize(uris.size());
    for (std::size_t buffer = 0; buffer < uris.size(); ++buffer) {
        const std::optional<std::filesystem::path> file = uris[buffer] ? UriFile(*uris[buffer], FolderOf(source_))
                                                                       : std::nullopt;
        if (!file) {
            bufferMissing_[buffer] = "buffers[" + std::to_string(buffer) + "] names no file";
            continue;
        }
        try {
            bufferFiles_[buffer] = SourceBytes::OfFile(NativeText(*file));
        } catch (const InputFileError& e) {
            // Only what is read from it (matrices, keys, boxes) needs it.
            bufferMissing_[buffer] = e.what();
        }
    }
}

BufferPlace GltfSceneFile::PlaceOfBuffer(std::size_t buffer) const {
    BufferPlace place;
    const std::optional<std::string>& uri = model_.data.bufferUris[buffer];
    if (!uri) {
        place.file = &bytes_;
        place.at = binaryAt_;
        place.size = binarySize_;
        place.missing = "the GLB file has no binary chunk after its JSON";
        if (binarySize_ == 0 && binaryAt_ == 0) {
            place.file = nullptr;
        }
    } else if (uri->rfind("data:", 0) == 0) {
        place.dataUri = *uri;
    } else if (buffer < bufferFiles_.size() && bufferMissing_[buffer].empty()) {
        place.file = &bufferFiles_[buffer];
        place.size = bufferFiles_[buffer].Size();
    } else {
        place.missing = buffer < bufferMissing_.size() ? bufferMissing_[buffer] : "the buffer was not opened";
    }
    return place;
}

// The JSON with the edits made (a GLB file's alone, written as .gltf), and
// for GLB the file around it: its
// header and padding as they were where the JSON is as it was, else made
// anew for the JSON's new length.
// The binary chunk gains `binaryAppendix` at its end, or is made of it
// where the file has none, before any other chunk.
FileContent GltfSceneFile::WholeFile(TextEdits edits, const std::string& path, const std::string& binaryAppendix,
                                     bool asGlb) const {
    FileContent content;
    if (!asGlb) {
        content.Add(json_, std::move(edits));
        MadeFromBuffers(content);
        return content;
    }
    edits.Order();
    const bool same = edits.LeaveAsIs(*json_);
    const std::size_t jsonSize = edits.Size(json_->size());
    const bool binary = binaryAt_ != 0;
    const std::uint64_t binaryLength = (binary ? binarySize_ : 0) + binaryAppendix.size();
    const std::uint64_t chunksSize = chunksSize_ + binaryAppendix.size() + (binary || binaryAppendix.empty() ? 0 : 8);
    std::string head = same ? head_ : GlbHead(jsonSize, chunksSize);
    std::string padding = same ? padding_ : GlbPadding(jsonSize);
    const std::uint64_t size = std::uint64_t{head.size()} + jsonSize + padding.size() + chunksSize;
    if (size > UINT32_MAX) {
        throw SceneFileError(path + ": the file would be larger than a GLB file can be (4 GiB)");
    }
    content.Add(std::move(head));
    content.Add(json_, std::move(edits));
    content.Add(std::move(padding));
    MadeFromBuffers(content);
    if (binaryAppendix.empty()) {
        bytes_.AddTo(content, chunksAt_, chunksSize_);
        return content;
    }
    content.Add(GlbBinaryChunkHead(binaryLength));
    const std::uint64_t after = binary ? binaryAt_ + binarySize_ : chunksAt_;
    if (binary) {
        bytes_.AddTo(content, binaryAt_, binarySize_);
    }
    content.Add(binaryAppendix);
    if (after < chunksAt_ + chunksSize_) {
        bytes_.AddTo(content, after, chunksAt_ + chunksSize_ - after);
    }
    return content;
}

}  // namespace driver::gltf
