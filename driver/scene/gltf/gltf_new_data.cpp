#include "scene/gltf/gltf_new_data.h"

#include <utility>

#include "json/json_text.h"
#include "scene/gltf/gltf_data_uri.h"
#include "scene/gltf/json_edit.h"

namespace driver::gltf {

namespace {

using Members = std::vector<std::pair<std::string, std::string>>;

// A new element of `array`, laid out like its first element.
std::string Object(const std::optional<Span>& array, const std::string& json, const Members& members) {
    if (array) {
        const std::vector<JsonValue> elements = JsonValue(json, *array).Elements();
        if (!elements.empty()) {
            return NewObjectLike(elements.front(), members);
        }
    }
    std::string text;
    for (const auto& [key, value] : members) {
        text += (text.empty() ? "{" : ", ") + JsonString(key) + ": " + value;
    }
    return text + "}";
}

// Appends `elements` to the top-level array `name`, made where the file has none.
void Append(const std::string& json, const std::optional<Span>& array, const char* name, std::size_t documentEnd,
            const std::vector<std::string>& elements, TextEdits& edits) {
    if (elements.empty()) {
        return;
    }
    if (array) {
        const auto [at, text] = ArrayAppendix(JsonValue(json, *array), elements);
        edits.Replace({at, at}, text);
        return;
    }
    std::string text = ", " + JsonString(name) + ": [";
    for (std::size_t i = 0; i < elements.size(); ++i) {
        text += (i == 0 ? "" : ", ") + elements[i];
    }
    edits.Replace({documentEnd, documentEnd}, text + "]");
}

std::uint64_t Padded(std::uint64_t size) { return (size + 3) / 4 * 4; }

}  // namespace

NewData::NewData(const std::string& json, const BufferModel& model, const DataPlace& place, TextEdits& edits)
    : json_(json),
      model_(model),
      place_(place),
      edits_(edits),
      nextView_(model.views.size()),
      nextAccessor_(model.accessors.size()) {}

// The binary chunk holds buffer 0 where that has no URI; a file without
// buffers and without a chunk gets both.
bool NewData::InBinaryChunk() const {
    if (!place_.glb) {
        return false;
    }
    if (place_.merged) {
        return true;
    }
    return place_.binaryChunk ? !model_.bufferUris.empty() && !model_.bufferUris[0] : model_.bufferUris.empty();
}

std::string NewData::BufferIndex() const { return InBinaryChunk() ? "0" : std::to_string(model_.bufferUris.size()); }

std::uint64_t NewData::Base() const { return InBinaryChunk() ? Padded(place_.binaryChunk.value_or(0)) : 0; }

std::size_t NewData::Add(const std::string& bytes, const char* type, std::uint64_t count,
                         std::optional<std::size_t> own) {
    const std::uint64_t offset = Base() + blob_.size();
    blob_ += bytes;
    const std::optional<std::string> at = offset == 0 ? std::nullopt : std::optional(std::to_string(offset));
    std::size_t view = nextView_;
    const std::optional<std::size_t> oldView = own ? model_.accessors[*own].view : std::nullopt;
    // A compressed view is left as it was: its extension would decode its old bytes.
    if (oldView && *oldView < model_.views.size() && model_.views[*oldView].uses == 1 &&
        !model_.views[*oldView].meshopt) {
        view = *oldView;
        viewsTaken_.push_back(view);
        EditObject(json_, model_.views[view].object,
                   {{"buffer", BufferIndex()},
                    {"byteOffset", at},
                    {"byteLength", std::to_string(bytes.size())},
                    {"byteStride", std::nullopt},
                    {"target", std::nullopt}},
                   edits_);
    } else {
        Members members{{"buffer", BufferIndex()}};
        if (at) {
            members.emplace_back("byteOffset", *at);
        }
        members.emplace_back("byteLength", std::to_string(bytes.size()));
        views_.push_back(Object(model_.viewsArray, json_, members));
        ++nextView_;
    }
    const std::string quotedType = JsonString(type);
    if (own) {
        EditObject(json_, model_.accessors[*own].object,
                   {{"bufferView", std::to_string(view)},
                    {"byteOffset", std::nullopt},
                    {"componentType", std::to_string(kFloatComponent)},
                    {"normalized", std::nullopt},
                    {"count", std::to_string(count)},
                    {"type", quotedType},
                    {"sparse", std::nullopt},
                    {"min", std::nullopt},
                    {"max", std::nullopt}},
                   edits_);
        return *own;
    }
    accessors_.push_back(Object(model_.accessorsArray, json_,
                                {{"bufferView", std::to_string(view)},
                                 {"componentType", std::to_string(kFloatComponent)},
                                 {"count", std::to_string(count)},
                                 {"type", quotedType}}));
    return nextAccessor_++;
}

void NewData::Finish() {
    if (blob_.empty()) {
        return;
    }
    Append(json_, model_.accessorsArray, "accessors", model_.documentEnd, accessors_, edits_);
    Append(json_, model_.viewsArray, "bufferViews", model_.documentEnd, views_, edits_);
    if (!InBinaryChunk()) {
        const std::string buffer =
            Object(model_.buffersArray, json_,
                   {{"byteLength", std::to_string(blob_.size())}, {"uri", JsonString(BufferDataUri(blob_))}});
        Append(json_, model_.buffersArray, "buffers", model_.documentEnd, {buffer}, edits_);
        return;
    }
    const std::uint64_t length = Base() + blob_.size();
    if (place_.merged) {
        // The merging makes the one buffer, of the chunk's whole length.
    } else if (place_.binaryChunk) {
        EditObject(json_, model_.buffers[0], {{"byteLength", std::to_string(length)}}, edits_);
    } else {
        Append(json_, model_.buffersArray, "buffers", model_.documentEnd,
               {Object(model_.buffersArray, json_, {{"byteLength", std::to_string(length)}})}, edits_);
    }
    appendix_.assign(static_cast<std::size_t>(Base() - place_.binaryChunk.value_or(0)), '\0');
    appendix_ += blob_;
    appendix_.append(static_cast<std::size_t>(Padded(length) - length), '\0');
}

}  // namespace driver::gltf
