#include "scene/gltf/gltf_merged_buffers.h"

#include <algorithm>

#include "scene/gltf/json_edit.h"
#include "scene/scene_error.h"

namespace driver::gltf {

MergedLayout LayOutMerged(const std::string& json, const BufferModel& model, const std::string& path) {
    for (std::size_t view = 0; view < model.views.size(); ++view) {
        if (model.views[view].meshopt) {
            throw SceneFileError(path + ": bufferViews[" + std::to_string(view) +
                                 "]: is compressed by EXT_meshopt_compression, whose buffers cannot be merged "
                                 "into a GLB file's one buffer: write the scene to a .gltf file");
        }
    }
    MergedLayout layout;
    for (std::size_t buffer = 0; buffer < model.buffers.size(); ++buffer) {
        const std::optional<std::size_t> length = IndexIn(JsonValue(json, model.buffers[buffer]).Member("byteLength"));
        if (!length) {
            throw SceneFileError(path + ": buffers[" + std::to_string(buffer) +
                                 "]: has no byteLength, which its bytes in a GLB file's binary chunk need");
        }
        layout.lengths.push_back(*length);
        layout.bases.push_back(layout.size);
        layout.size += *length + PaddingToFour(*length);
    }
    return layout;
}

void EditForMerged(const std::string& json, const BufferModel& model, const MergedLayout& layout, std::uint64_t length,
                   const std::vector<std::size_t>& taken, TextEdits& edits) {
    for (std::size_t index = 0; index < model.views.size(); ++index) {
        const BufferViewEntry& view = model.views[index];
        // Buffer 0 begins the chunk: its views stay as they are.
        if (!view.buffer || *view.buffer == 0 || *view.buffer >= layout.bases.size() ||
            std::find(taken.begin(), taken.end(), index) != taken.end()) {
            continue;
        }
        const std::uint64_t offset = layout.bases[*view.buffer] + view.byteOffset;
        EditObject(json, view.object,
                   {{"buffer", "0"},
                    {"byteOffset", offset == 0 ? std::nullopt : std::optional(std::to_string(offset))}},
                   edits);
    }
    const std::string byteLength = std::to_string(length);
    if (!model.buffers.empty()) {
        const std::string buffer =
            ChangedObject(JsonValue(json, model.buffers.front()), {{"uri", std::nullopt}, {"byteLength", byteLength}});
        edits.Replace(*model.buffersArray, "[" + buffer + "]");
    } else if (length > 0 && model.buffersArray) {
        edits.Replace(*model.buffersArray, "[{\"byteLength\": " + byteLength + "}]");
    } else if (length > 0) {
        edits.Replace({model.documentEnd, model.documentEnd}, ", \"buffers\": [{\"byteLength\": " + byteLength + "}]");
    }
}

}  // namespace driver::gltf
