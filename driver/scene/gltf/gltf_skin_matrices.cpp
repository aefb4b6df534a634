#include "scene/gltf/gltf_skin_matrices.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "json/json_text.h"
#include "scene/gltf/gltf_buffer_bytes.h"
#include "scene/gltf/gltf_data_uri.h"
#include "scene/gltf/gltf_transform.h"
#include "scene/gltf/json_edit.h"

namespace driver::gltf {

namespace {

constexpr std::size_t kMatrixBytes = 64;

using Members = std::vector<std::pair<std::string, std::string>>;

void PutFloat(std::string& bytes, std::size_t at, float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    }
}

float GetFloat(const std::string& bytes, std::size_t at) {
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) {
        bits = (bits << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    }
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The skin's matrices as read (the identity for a skin without them), each
// joint among `moved` followed by its map.
std::string NewMatrices(const SkinModel& model, const SkinEntry& skin,
                        const std::unordered_map<std::size_t, standin::Affine>& moved, const BufferReader& read) {
    const std::size_t size = kMatrixBytes * skin.joints.size();
    std::string bytes(size, '\0');
    if (skin.matrices) {
        const AccessorEntry& accessor = model.accessors[*skin.matrices];
        const BufferViewEntry& view = model.views[*accessor.view];
        try {
            bytes = read(*view.buffer, view.byteOffset + accessor.byteOffset, size);
        } catch (const BufferReadError& e) {
            for (const std::size_t joint : skin.joints) {
                if (moved.count(joint) != 0) {
                    throw JointMatrixError{joint,
                                           std::string("its skin's inverse bind matrices cannot be read: ") + e.what()};
                }
            }
        }
    } else {
        for (std::size_t j = 0; j < skin.joints.size(); ++j) {
            for (int d = 0; d < 4; ++d) {
                PutFloat(bytes, j * kMatrixBytes + static_cast<std::size_t>(20 * d), 1.0f);
            }
        }
    }
    for (std::size_t j = 0; j < skin.joints.size(); ++j) {
        const auto found = moved.find(skin.joints[j]);
        if (found == moved.end()) {
            continue;
        }
        double m[16];
        for (std::size_t i = 0; i < 16; ++i) {
            m[i] = GetFloat(bytes, j * kMatrixBytes + 4 * i);
        }
        MatrixOfAffine(standin::FirstThen(AffineOfMatrix(m), found->second), m);
        for (std::size_t i = 0; i < 16; ++i) {
            const float value = static_cast<float>(m[i]);
            if (!std::isfinite(value)) {
                throw JointMatrixError{skin.joints[j], "its new inverse bind matrix would not be finite"};
            }
            PutFloat(bytes, j * kMatrixBytes + 4 * i, value);
        }
    }
    return bytes;
}

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

class MatrixWriter {
public:
    MatrixWriter(const std::string& json, const SkinModel& model, TextEdits& edits)
        : json_(json),
          model_(model),
          edits_(edits),
          nextView_(model.views.size()),
          nextAccessor_(model.accessors.size()) {}

    // Skin `skin` gets `bytes`; `ownAccessor`: its accessor is used by
    // nothing else, or by skins that get the same.
    void Write(std::size_t skin, const std::string& bytes, bool ownAccessor) {
        const SkinEntry& entry = model_.skins[skin];
        if (ownAccessor && !repointed_.insert(*entry.matrices).second) {
            return;  // another skin pointed it at the same matrices
        }
        const std::size_t offset = blob_.size();
        blob_ += bytes;
        const std::string count = std::to_string(entry.joints.size());
        const std::string buffer = std::to_string(model_.bufferUris.size());
        const std::optional<std::string> at = offset == 0 ? std::nullopt : std::optional(std::to_string(offset));
        std::size_t view = nextView_;
        const std::optional<std::size_t> oldView = ownAccessor ? model_.accessors[*entry.matrices].view : std::nullopt;
        if (oldView && model_.views[*oldView].uses == 1) {
            view = *oldView;
            EditObject(json_, model_.views[view].object,
                       {{"buffer", buffer},
                        {"byteOffset", at},
                        {"byteLength", std::to_string(bytes.size())},
                        {"byteStride", std::nullopt},
                        {"target", std::nullopt}},
                       edits_);
        } else {
            Members members{{"buffer", buffer}};
            if (at) {
                members.emplace_back("byteOffset", *at);
            }
            members.emplace_back("byteLength", std::to_string(bytes.size()));
            views_.push_back(Object(model_.viewsArray, json_, members));
            ++nextView_;
        }
        if (ownAccessor) {
            EditObject(json_, model_.accessors[*entry.matrices].object,
                       {{"bufferView", std::to_string(view)},
                        {"byteOffset", std::nullopt},
                        {"componentType", "5126"},
                        {"normalized", std::nullopt},
                        {"count", count},
                        {"type", "\"MAT4\""},
                        {"sparse", std::nullopt},
                        {"min", std::nullopt},
                        {"max", std::nullopt}},
                       edits_);
            return;
        }
        accessors_.push_back(Object(
            model_.accessorsArray, json_,
            {{"bufferView", std::to_string(view)}, {"componentType", "5126"}, {"count", count}, {"type", "\"MAT4\""}}));
        EditObject(json_, entry.object, {{"inverseBindMatrices", std::to_string(nextAccessor_++)}}, edits_);
    }

    void Finish() {
        if (blob_.empty()) {
            return;
        }
        Append(json_, model_.accessorsArray, "accessors", model_.documentEnd, accessors_, edits_);
        Append(json_, model_.viewsArray, "bufferViews", model_.documentEnd, views_, edits_);
        const std::string buffer =
            Object(model_.buffersArray, json_,
                   {{"byteLength", std::to_string(blob_.size())}, {"uri", JsonString(BufferDataUri(blob_))}});
        Append(json_, model_.buffersArray, "buffers", model_.documentEnd, {buffer}, edits_);
    }

private:
    const std::string& json_;
    const SkinModel& model_;
    TextEdits& edits_;
    std::string blob_;
    std::vector<std::string> views_, accessors_;
    std::size_t nextView_, nextAccessor_;
    std::set<std::size_t> repointed_;
};

}  // namespace

void EditSkinMatrices(const std::string& json, const SkinModel& model,
                      const std::unordered_map<std::size_t, standin::Affine>& moved, const BufferReader& read,
                      TextEdits& edits) {
    std::vector<std::optional<std::string>> fresh(model.skins.size());
    for (std::size_t s = 0; s < model.skins.size(); ++s) {
        const std::vector<std::size_t>& joints = model.skins[s].joints;
        for (const std::size_t joint : joints) {
            if (moved.count(joint) != 0) {
                fresh[s] = NewMatrices(model, model.skins[s], moved, read);
                break;
            }
        }
    }
    // An accessor is the skin's own where every skin that uses it gets the
    // same matrices and nothing else uses it.
    auto own = [&](std::size_t s) {
        const std::optional<std::size_t> accessor = model.skins[s].matrices;
        if (!accessor || model.accessors[*accessor].otherUses != 0) {
            return false;
        }
        for (std::size_t t = 0; t < model.skins.size(); ++t) {
            if (model.skins[t].matrices == accessor && fresh[t] != fresh[s]) {
                return false;
            }
        }
        return true;
    };
    MatrixWriter writer(json, model, edits);
    for (std::size_t s = 0; s < model.skins.size(); ++s) {
        if (fresh[s]) {
            writer.Write(s, *fresh[s], own(s));
        }
    }
    writer.Finish();
}

}  // namespace driver::gltf
