#include "scene/gltf/gltf_skin_matrices.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "scene/gltf/gltf_buffer_bytes.h"
#include "scene/gltf/gltf_constants.h"
#include "scene/gltf/gltf_transform.h"
#include "scene/gltf/json_edit.h"
#include "standin/little_endian.h"

namespace driver::gltf {

namespace {

constexpr std::size_t kMatrixBytes = 64;

// The skin's matrices as read (the identity for a skin without them), each
// joint among `moved` followed by its map.
std::string NewMatrices(const BufferModel& buffers, const SkinEntry& skin,
                        const std::unordered_map<std::size_t, standin::Affine>& moved, const ViewReader& read) {
    const std::size_t size = kMatrixBytes * skin.joints.size();
    std::string bytes(size, '\0');
    if (skin.matrices) {
        const AccessorEntry& accessor = buffers.accessors[*skin.matrices];
        try {
            if (accessor.view) {  // else zeros, as glTF reads it
                bytes = read(*accessor.view, accessor.byteOffset, size);
            }
        } catch (const BufferReadError& e) {
            for (const std::size_t joint : skin.joints) {
                if (moved.count(joint) != 0) {
                    throw JointMatrixError(joint,
                                           std::string("its skin's inverse bind matrices cannot be read: ") + e.what());
                }
            }
        }
    } else {
        for (std::size_t j = 0; j < skin.joints.size(); ++j) {
            for (int d = 0; d < 4; ++d) {
                little_endian::PutFloat32(bytes, j * kMatrixBytes + static_cast<std::size_t>(20 * d), 1.0f);
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
            m[i] = little_endian::Float32(bytes, j * kMatrixBytes + 4 * i);
        }
        MatrixOfAffine(standin::FirstThen(AffineOfMatrix(m), found->second), m);
        for (std::size_t i = 0; i < 16; ++i) {
            const float value = static_cast<float>(m[i]);
            if (!std::isfinite(value)) {
                throw JointMatrixError(skin.joints[j], "its new inverse bind matrix would not be finite");
            }
            little_endian::PutFloat32(bytes, j * kMatrixBytes + 4 * i, value);
        }
    }
    return bytes;
}

}  // namespace

void EditSkinMatrices(const std::string& json, const SkinModel& model, const BufferModel& buffers,
                      const std::unordered_map<std::size_t, standin::Affine>& moved, const ViewReader& read,
                      NewData& data, TextEdits& edits) {
    std::vector<std::optional<std::string>> fresh(model.skins.size());
    for (std::size_t s = 0; s < model.skins.size(); ++s) {
        const std::vector<std::size_t>& joints = model.skins[s].joints;
        for (const std::size_t joint : joints) {
            if (moved.count(joint) != 0) {
                fresh[s] = NewMatrices(buffers, model.skins[s], moved, read);
                break;
            }
        }
    }
    // An accessor is the skin's own where every skin that uses it gets the
    // same matrices and nothing else uses it.
    auto own = [&](std::size_t s) {
        const std::optional<std::size_t> accessor = model.skins[s].matrices;
        if (!accessor || buffers.accessors[*accessor].otherUses != 0) {
            return false;
        }
        for (std::size_t t = 0; t < model.skins.size(); ++t) {
            if (model.skins[t].matrices == accessor && fresh[t] != fresh[s]) {
                return false;
            }
        }
        return true;
    };
    std::set<std::size_t> repointed;
    for (std::size_t s = 0; s < model.skins.size(); ++s) {
        if (!fresh[s]) {
            continue;
        }
        const SkinEntry& skin = model.skins[s];
        if (own(s)) {
            if (repointed.insert(*skin.matrices).second) {
                data.Add(*fresh[s], kMat4Type, skin.joints.size(), skin.matrices);
            }
            continue;
        }
        const std::size_t accessor = data.Add(*fresh[s], kMat4Type, skin.joints.size(), std::nullopt);
        EditObject(json, skin.object, {{"inverseBindMatrices", std::to_string(accessor)}}, edits);
    }
}

}  // namespace driver::gltf
